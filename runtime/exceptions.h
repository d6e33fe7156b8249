// TObject, the exception class tree, and raising an object.
//
// Every class carries a class-information record with its name (exactly as the report prints it)
// and its parent's record, so that "is this object an EExternal?" is a walk up the records.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "platform/faults.h"
#include "baseruntime/raised_exception.h"
#include "runtime/format_text.h"

struct ClassInfo {
  const char* name;
  const ClassInfo* parent;  // null for TObject
};

class TObject {
 public:
  static const ClassInfo ClassInfoRecord;

  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  virtual const ClassInfo& ClassType() const { return ClassInfoRecord; }
  const char* ClassName() const { return ClassType().name; }
  // True when the object's class is `ancestor` or derives from it.
  bool InheritsFrom(const ClassInfo& ancestor) const;

  // Releases the object (a class may refuse, see EHeapException).
  virtual void Free();
};

template <class T>
bool IsInstanceOf(const TObject* object) {
  return object != nullptr && object->InheritsFrom(T::ClassInfoRecord);
}

// A string-table identifier, for the constructors that take their text from the string table.
struct ResourceId {
  uint32_t id;
};

class Exception : public TObject {
 public:
  static const ClassInfo ClassInfoRecord;
  const ClassInfo& ClassType() const override { return ClassInfoRecord; }

  // The four forms of construction; the message is fixed here and never changes.
  explicit Exception(std::string_view message);
  Exception(std::string_view format, std::span<const FormatArg> arguments);
  Exception(std::string_view format, std::initializer_list<FormatArg> arguments);
  explicit Exception(ResourceId message);
  Exception(ResourceId format, std::initializer_list<FormatArg> arguments);

  const std::string& Message() const { return message_; }
  int32_t HelpContext() const { return helpContext_; }

 private:
  std::string message_;
  int32_t helpContext_ = 0;  // left at 0 by every constructor; nothing reads it
};

#define FRAMECALC_EXCEPTION_CLASS(Name, Parent)                             \
  class Name : public Parent {                                              \
   public:                                                                  \
    using Parent::Parent;                                                   \
    static const ClassInfo ClassInfoRecord;                                 \
    const ClassInfo& ClassType() const override { return ClassInfoRecord; } \
  }

// The memory failures: their two shared objects survive any release until FreeAllowed is set.
class EHeapException : public Exception {
 public:
  using Exception::Exception;
  static const ClassInfo ClassInfoRecord;
  const ClassInfo& ClassType() const override { return ClassInfoRecord; }
  void Free() override;

  bool FreeAllowed = false;
};

FRAMECALC_EXCEPTION_CLASS(EOutOfMemory, EHeapException);
FRAMECALC_EXCEPTION_CLASS(EInvalidPointer, EHeapException);

class EInOutError : public Exception {
 public:
  using Exception::Exception;
  static const ClassInfo ClassInfoRecord;
  const ClassInfo& ClassType() const override { return ClassInfoRecord; }

  int32_t IoErrorCode = 0;
};

// The platform faults. FaultRecord is valid only while the fault is being handled.
class EExternal : public Exception {
 public:
  using Exception::Exception;
  static const ClassInfo ClassInfoRecord;
  const ClassInfo& ClassType() const override { return ClassInfoRecord; }

  const platform::EXCEPTION_RECORD* FaultRecord = nullptr;
};

FRAMECALC_EXCEPTION_CLASS(EExternalException, EExternal);
FRAMECALC_EXCEPTION_CLASS(EIntError, EExternal);
FRAMECALC_EXCEPTION_CLASS(EDivByZero, EIntError);
FRAMECALC_EXCEPTION_CLASS(ERangeError, EIntError);
FRAMECALC_EXCEPTION_CLASS(EIntOverflow, EIntError);
FRAMECALC_EXCEPTION_CLASS(EMathError, EExternal);
FRAMECALC_EXCEPTION_CLASS(EInvalidOp, EMathError);
FRAMECALC_EXCEPTION_CLASS(EZeroDivide, EMathError);
FRAMECALC_EXCEPTION_CLASS(EOverflow, EMathError);
FRAMECALC_EXCEPTION_CLASS(EUnderflow, EMathError);
FRAMECALC_EXCEPTION_CLASS(EInvalidCast, Exception);
FRAMECALC_EXCEPTION_CLASS(EConvertError, Exception);
FRAMECALC_EXCEPTION_CLASS(EAccessViolation, EExternal);
FRAMECALC_EXCEPTION_CLASS(EPrivilege, EExternal);
FRAMECALC_EXCEPTION_CLASS(EStackOverflow, EExternal);
FRAMECALC_EXCEPTION_CLASS(EControlC, EExternal);
FRAMECALC_EXCEPTION_CLASS(EVariantError, Exception);
FRAMECALC_EXCEPTION_CLASS(EAssertionFailed, Exception);
FRAMECALC_EXCEPTION_CLASS(EAbstractError, Exception);
FRAMECALC_EXCEPTION_CLASS(EIntfCastError, Exception);
FRAMECALC_EXCEPTION_CLASS(ESafecallException, Exception);

#undef FRAMECALC_EXCEPTION_CLASS

// Raises `object` with `address` as its raise address. Never returns.
[[noreturn]] void RaiseObject(TObject* object, const void* address);
