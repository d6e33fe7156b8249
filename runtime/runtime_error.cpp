#include "runtime/runtime_error.h"

#include "platform/modules.h"
#include "runtime/exception_report.h"
#include "runtime/exception_support.h"
#include "runtime/lifetime.h"
#include "runtime/message_text.h"
#include "runtime/string_ids.h"
#include "textio/text_stream.h"

namespace {

template <class E>
Exception* Make(std::string_view message) {
  return new E(message);
}

}  // namespace

RuntimeErrorHookFunction RuntimeErrorHook = nullptr;
UnhandledExceptionHookFunction UnhandledExceptionHook = nullptr;
FaultObjectHookFunction FaultObjectHook = nullptr;

EOutOfMemory* SharedOutOfMemory = nullptr;
EInvalidPointer* SharedInvalidPointer = nullptr;

const TReasonInfo ReasonTable[ReasonCount] = {
    {0, &EInOutError::ClassInfoRecord, Make<EInOutError>, StringIdIoError},
    {203, &EOutOfMemory::ClassInfoRecord, Make<EOutOfMemory>, StringIdOutOfMemory},
    {204, &EInvalidPointer::ClassInfoRecord, Make<EInvalidPointer>, StringIdInvalidPointer},
    {200, &EDivByZero::ClassInfoRecord, Make<EDivByZero>, StringIdDivByZero},
    {201, &ERangeError::ClassInfoRecord, Make<ERangeError>, StringIdRangeError},
    {215, &EIntOverflow::ClassInfoRecord, Make<EIntOverflow>, StringIdIntOverflow},
    {207, &EInvalidOp::ClassInfoRecord, Make<EInvalidOp>, StringIdInvalidOp},
    {200, &EZeroDivide::ClassInfoRecord, Make<EZeroDivide>, StringIdZeroDivide},
    {205, &EOverflow::ClassInfoRecord, Make<EOverflow>, StringIdOverflow},
    {206, &EUnderflow::ClassInfoRecord, Make<EUnderflow>, StringIdUnderflow},
    {219, &EInvalidCast::ClassInfoRecord, Make<EInvalidCast>, StringIdInvalidCast},
    {216, &EAccessViolation::ClassInfoRecord, Make<EAccessViolation>, StringIdAccessViolation},
    {218, &EPrivilege::ClassInfoRecord, Make<EPrivilege>, StringIdPrivilege},
    {217, &EControlC::ClassInfoRecord, Make<EControlC>, StringIdControlC},
    {202, &EStackOverflow::ClassInfoRecord, Make<EStackOverflow>, StringIdStackOverflow},
    {220, &EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantTypeConversion},
    {221, &EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantOperation},
    {222, &EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantMethodCall},
    {223, &EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantArrayCreation},
    {224, &EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdInvalidArgument},
    {225, &EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantArrayIndex},
    {227, &EAssertionFailed::ClassInfoRecord, Make<EAssertionFailed>, StringIdAssertionFailed},
    {0, &EExternalException::ClassInfoRecord, Make<EExternalException>,
     StringIdExternalException},
    {228, &EIntfCastError::ClassInfoRecord, Make<EIntfCastError>, StringIdIntfCast},
    {229, &ESafecallException::ClassInfoRecord, Make<ESafecallException>, StringIdSafecall},
};

TExceptRec ExceptMap[ReasonCount];

TErrorRec IoErrorMap[IoErrorRecordCount] = {
    {2, StringIdFileNotFound, {}},     {3, StringIdInvalidFilename, {}},
    {4, StringIdTooManyOpenFiles, {}}, {5, StringIdFileAccessDenied, {}},
    {100, StringIdEndOfFile, {}},      {101, StringIdDiskFull, {}},
    {106, StringIdInvalidInput, {}},
};

const TStatusRec StatusTable[StatusRecordCount] = {
    {platform::EXCEPTION_ACCESS_VIOLATION, ReasonAccessViolation, 216},
    {platform::EXCEPTION_ARRAY_BOUNDS_EXCEEDED, ReasonRangeError, 201},
    {platform::EXCEPTION_FLT_DENORMAL_OPERAND, ReasonUnderflow, 206},
    {platform::EXCEPTION_FLT_DIVIDE_BY_ZERO, ReasonZeroDivide, 200},
    {platform::EXCEPTION_FLT_INEXACT_RESULT, ReasonInvalidOp, 207},
    {platform::EXCEPTION_FLT_INVALID_OPERATION, ReasonInvalidOp, 207},
    {platform::EXCEPTION_FLT_OVERFLOW, ReasonOverflow, 205},
    {platform::EXCEPTION_FLT_STACK_CHECK, ReasonInvalidOp, 207},
    {platform::EXCEPTION_FLT_UNDERFLOW, ReasonUnderflow, 206},
    {platform::EXCEPTION_INT_DIVIDE_BY_ZERO, ReasonDivByZero, 200},
    {platform::EXCEPTION_INT_OVERFLOW, ReasonIntOverflow, 215},
    {platform::EXCEPTION_PRIV_INSTRUCTION, ReasonPrivilege, 218},
    {platform::EXCEPTION_STACK_OVERFLOW, ReasonStackOverflow, 202},
    {platform::STATUS_CONTROL_C_EXIT, ReasonControlC, 217},
};

uint8_t RuntimeErrorCodeOf(uint8_t reason) {
  return reason < ReasonCount ? ReasonTable[reason].code : UnknownStatusCode;
}

void RaiseRuntimeError(uint8_t reason, const void* address) {
  reason &= 0x7F;
  if (RuntimeErrorHook != nullptr) RuntimeErrorHook(reason, address);
  uint8_t code = reason == ReasonIoError ? static_cast<uint8_t>(PeekPendingIoError() & 0xFF)
                                         : RuntimeErrorCodeOf(reason);
  // A code of 0 would end a failed run with the exit code of success.
  if (code == 0) code = UnknownStatusCode;
  ExitProgram(code, address);
}

void RaiseReasonException(uint8_t reason, const void* address) {
  TObject* object;
  if (reason == ReasonOutOfMemory) {
    object = SharedOutOfMemory;
  } else if (reason == ReasonInvalidPointer) {
    object = SharedInvalidPointer;
  } else if (reason == ReasonIoError) {
    object = CreateIoException();
  } else if (reason < ReasonCount && ExceptMap[reason].create != nullptr) {
    object = ExceptMap[reason].create(ExceptMap[reason].message);
  } else {
    object = new EExternalException(ResourceId{StringIdExternalException},
                                    {static_cast<uint32_t>(reason)});
  }
  RaiseObject(object, address);
}

EInOutError* CreateIoException() {
  const int32_t code = TakePendingIoError();
  EInOutError* error = nullptr;
  for (const TErrorRec& record : IoErrorMap) {
    if (record.code == code) {
      error = new EInOutError(record.message);
      break;
    }
  }
  if (error == nullptr) error = new EInOutError(ResourceId{StringIdIoError}, {code});
  error->IoErrorCode = code;
  return error;
}

uint8_t MapPlatformStatus(platform::DWORD status) {
  for (const TStatusRec& record : StatusTable) {
    if (record.status == status) return record.reason;
  }
  return ReasonExternal;
}

std::string ModuleNameOfPath(std::string_view path, bool colonSeparates) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (c == '\\' || c == '/' || (colonSeparates && c == ':')) start = i + 1;
  }
  std::string_view name = path.substr(start);
  if (name.size() > platform::MAX_PATH) name = name.substr(0, platform::MAX_PATH);
  return std::string(name);
}

EAccessViolation* BuildAccessViolation(const platform::EXCEPTION_RECORD* record) {
  const std::string operation =
      LoadMessageText(record->ExceptionInformation[0] == 0 ? StringIdRead : StringIdWrite);
  const FormatArg target = FormatArg::Address(record->ExceptionInformation[1]);
  const void* faultAddress = record->ExceptionAddress;

  platform::MEMORY_BASIC_INFORMATION region{};
  char path[platform::MAX_PATH + 1];
  if (platform::VirtualQuery(faultAddress, &region, sizeof region) != 0 &&
      region.State == platform::MEM_COMMIT &&
      platform::GetModuleFileNameA(reinterpret_cast<platform::HMODULE>(region.AllocationBase),
                                   path, sizeof path) != 0) {
    const std::string moduleName = ModuleNameOfPath(path, true);
    return new EAccessViolation(ResourceId{StringIdAccessViolationInModule},
                                {faultAddress, moduleName, operation, target});
  }
  return new EAccessViolation(ResourceId{StringIdAccessViolationNoModule},
                              {faultAddress, operation, target});
}

TObject* CreateFaultException(const platform::EXCEPTION_RECORD* record) {
  const uint8_t reason = MapPlatformStatus(record->ExceptionCode);
  Exception* object;
  if (reason == ReasonAccessViolation) {
    object = BuildAccessViolation(record);
  } else if (reason == ReasonExternal) {
    object = new EExternalException(ResourceId{StringIdExternalException},
                                    {static_cast<uint32_t>(record->ExceptionCode)});
  } else {
    object = ExceptMap[reason].create != nullptr
                 ? ExceptMap[reason].create(ExceptMap[reason].message)
                 : ReasonTable[reason].create(LoadMessageText(ReasonTable[reason].messageId));
  }
  if (IsInstanceOf<EExternal>(object)) static_cast<EExternal*>(object)->FaultRecord = record;
  return object;
}

void FaultToRuntimeError(const platform::EXCEPTION_RECORD* record) {
  uint8_t code = UnknownStatusCode;
  for (const TStatusRec& status : StatusTable) {
    if (status.status == record->ExceptionCode) code = status.code;
  }
  ExitProgram(code, record->ExceptionAddress);
}

void InstallExceptionSupport() {
  for (uint8_t reason = ReasonDivByZero; reason < ReasonCount; ++reason) {
    ExceptMap[reason].exceptClass = ReasonTable[reason].exceptClass;
    ExceptMap[reason].create = ReasonTable[reason].create;
    ExceptMap[reason].message = LoadMessageText(ReasonTable[reason].messageId);
  }
  for (TErrorRec& record : IoErrorMap) record.message = LoadMessageText(record.messageId);
  SharedOutOfMemory = new EOutOfMemory(ResourceId{StringIdOutOfMemory});
  SharedInvalidPointer = new EInvalidPointer(ResourceId{StringIdInvalidPointer});
  RuntimeErrorHook = RaiseReasonException;
  UnhandledExceptionHook = ReportUnhandledException;
  FaultObjectHook = CreateFaultException;
}

void RemoveExceptionSupport() {
  if (SharedOutOfMemory != nullptr) {
    SharedOutOfMemory->FreeAllowed = true;
    SharedOutOfMemory->Free();
    SharedOutOfMemory = nullptr;
  }
  if (SharedInvalidPointer != nullptr) {
    SharedInvalidPointer->FreeAllowed = true;
    SharedInvalidPointer->Free();
    SharedInvalidPointer = nullptr;
  }
  RuntimeErrorHook = nullptr;
  UnhandledExceptionHook = nullptr;
  FaultObjectHook = nullptr;
}
