#include "runtime/exceptions.h"

#include "runtime/message_text.h"

const TClassInfo TObject::ClassInfoRecord{"TObject", nullptr};
const TClassInfo Exception::ClassInfoRecord{"Exception", &TObject::ClassInfoRecord};
const TClassInfo EHeapException::ClassInfoRecord{"EHeapException", &Exception::ClassInfoRecord};
const TClassInfo EOutOfMemory::ClassInfoRecord{"EOutOfMemory", &EHeapException::ClassInfoRecord};
const TClassInfo EInvalidPointer::ClassInfoRecord{"EInvalidPointer",
                                                  &EHeapException::ClassInfoRecord};
const TClassInfo EInOutError::ClassInfoRecord{"EInOutError", &Exception::ClassInfoRecord};
const TClassInfo EExternal::ClassInfoRecord{"EExternal", &Exception::ClassInfoRecord};
const TClassInfo EExternalException::ClassInfoRecord{"EExternalException",
                                                     &EExternal::ClassInfoRecord};
const TClassInfo EIntError::ClassInfoRecord{"EIntError", &EExternal::ClassInfoRecord};
const TClassInfo EDivByZero::ClassInfoRecord{"EDivByZero", &EIntError::ClassInfoRecord};
const TClassInfo ERangeError::ClassInfoRecord{"ERangeError", &EIntError::ClassInfoRecord};
const TClassInfo EIntOverflow::ClassInfoRecord{"EIntOverflow", &EIntError::ClassInfoRecord};
const TClassInfo EMathError::ClassInfoRecord{"EMathError", &EExternal::ClassInfoRecord};
const TClassInfo EInvalidOp::ClassInfoRecord{"EInvalidOp", &EMathError::ClassInfoRecord};
const TClassInfo EZeroDivide::ClassInfoRecord{"EZeroDivide", &EMathError::ClassInfoRecord};
const TClassInfo EOverflow::ClassInfoRecord{"EOverflow", &EMathError::ClassInfoRecord};
const TClassInfo EUnderflow::ClassInfoRecord{"EUnderflow", &EMathError::ClassInfoRecord};
const TClassInfo EInvalidCast::ClassInfoRecord{"EInvalidCast", &Exception::ClassInfoRecord};
const TClassInfo EConvertError::ClassInfoRecord{"EConvertError", &Exception::ClassInfoRecord};
const TClassInfo EAccessViolation::ClassInfoRecord{"EAccessViolation",
                                                   &EExternal::ClassInfoRecord};
const TClassInfo EPrivilege::ClassInfoRecord{"EPrivilege", &EExternal::ClassInfoRecord};
const TClassInfo EStackOverflow::ClassInfoRecord{"EStackOverflow", &EExternal::ClassInfoRecord};
const TClassInfo EControlC::ClassInfoRecord{"EControlC", &EExternal::ClassInfoRecord};
const TClassInfo EVariantError::ClassInfoRecord{"EVariantError", &Exception::ClassInfoRecord};
const TClassInfo EAssertionFailed::ClassInfoRecord{"EAssertionFailed",
                                                   &Exception::ClassInfoRecord};
const TClassInfo EAbstractError::ClassInfoRecord{"EAbstractError", &Exception::ClassInfoRecord};
const TClassInfo EIntfCastError::ClassInfoRecord{"EIntfCastError", &Exception::ClassInfoRecord};
const TClassInfo ESafecallException::ClassInfoRecord{"ESafecallException",
                                                     &Exception::ClassInfoRecord};

bool TObject::InheritsFrom(const TClassInfo& ancestor) const {
  for (const TClassInfo* info = &ClassType(); info != nullptr; info = info->parent) {
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
