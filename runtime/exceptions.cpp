#include "runtime/exceptions.h"

#include "runtime/message_text.h"

const ClassInfo TObject::ClassInfoRecord{"TObject", nullptr};
const ClassInfo Exception::ClassInfoRecord{"Exception", &TObject::ClassInfoRecord};
const ClassInfo EHeapException::ClassInfoRecord{"EHeapException", &Exception::ClassInfoRecord};
const ClassInfo EOutOfMemory::ClassInfoRecord{"EOutOfMemory", &EHeapException::ClassInfoRecord};
const ClassInfo EInvalidPointer::ClassInfoRecord{"EInvalidPointer",
                                                 &EHeapException::ClassInfoRecord};
const ClassInfo EInOutError::ClassInfoRecord{"EInOutError", &Exception::ClassInfoRecord};
const ClassInfo EExternal::ClassInfoRecord{"EExternal", &Exception::ClassInfoRecord};
const ClassInfo EExternalException::ClassInfoRecord{"EExternalException",
                                                    &EExternal::ClassInfoRecord};
const ClassInfo EIntError::ClassInfoRecord{"EIntError", &EExternal::ClassInfoRecord};
const ClassInfo EDivByZero::ClassInfoRecord{"EDivByZero", &EIntError::ClassInfoRecord};
const ClassInfo ERangeError::ClassInfoRecord{"ERangeError", &EIntError::ClassInfoRecord};
const ClassInfo EIntOverflow::ClassInfoRecord{"EIntOverflow", &EIntError::ClassInfoRecord};
const ClassInfo EMathError::ClassInfoRecord{"EMathError", &EExternal::ClassInfoRecord};
const ClassInfo EInvalidOp::ClassInfoRecord{"EInvalidOp", &EMathError::ClassInfoRecord};
const ClassInfo EZeroDivide::ClassInfoRecord{"EZeroDivide", &EMathError::ClassInfoRecord};
const ClassInfo EOverflow::ClassInfoRecord{"EOverflow", &EMathError::ClassInfoRecord};
const ClassInfo EUnderflow::ClassInfoRecord{"EUnderflow", &EMathError::ClassInfoRecord};
const ClassInfo EInvalidCast::ClassInfoRecord{"EInvalidCast", &Exception::ClassInfoRecord};
const ClassInfo EConvertError::ClassInfoRecord{"EConvertError", &Exception::ClassInfoRecord};
const ClassInfo EAccessViolation::ClassInfoRecord{"EAccessViolation", &EExternal::ClassInfoRecord};
const ClassInfo EPrivilege::ClassInfoRecord{"EPrivilege", &EExternal::ClassInfoRecord};
const ClassInfo EStackOverflow::ClassInfoRecord{"EStackOverflow", &EExternal::ClassInfoRecord};
const ClassInfo EControlC::ClassInfoRecord{"EControlC", &EExternal::ClassInfoRecord};
const ClassInfo EVariantError::ClassInfoRecord{"EVariantError", &Exception::ClassInfoRecord};
const ClassInfo EAssertionFailed::ClassInfoRecord{"EAssertionFailed", &Exception::ClassInfoRecord};
const ClassInfo EAbstractError::ClassInfoRecord{"EAbstractError", &Exception::ClassInfoRecord};
const ClassInfo EIntfCastError::ClassInfoRecord{"EIntfCastError", &Exception::ClassInfoRecord};
const ClassInfo ESafecallException::ClassInfoRecord{"ESafecallException",
                                                    &Exception::ClassInfoRecord};

bool TObject::InheritsFrom(const ClassInfo& ancestor) const {
  for (const ClassInfo* info = &ClassType(); info != nullptr; info = info->parent) {
    if (info == &ancestor) return true;
  }
  return false;
}

void TObject::Free() { delete this; }

void EHeapException::Free() {
  if (FreeAllowed) delete this;
}

Exception::Exception(std::string_view message) : message_(message) {}

Exception::Exception(std::string_view format, std::span<const FormatArg> arguments)
    : message_(FormatText(format, arguments)) {}

Exception::Exception(std::string_view format, std::initializer_list<FormatArg> arguments)
    : message_(FormatText(format, arguments)) {}

Exception::Exception(ResourceId message) : message_(LoadMessageText(message.id)) {}

Exception::Exception(ResourceId format, std::initializer_list<FormatArg> arguments)
    : message_(FormatText(LoadMessageText(format.id), arguments)) {}

void RaiseObject(TObject* object, const void* address) { RaiseObjectRecord(object, address); }
