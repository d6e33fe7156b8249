// The exception support: the hooks that turn run-time errors and platform faults into exception
// objects, with their tables and the two shared memory-failure objects.
#include "runtime/exception_support.h"

#include "platform/modules.h"
#include "path_rules.h"
#include "runtime/exception_report.h"
#include "baseruntime/exit_program.h"
#include "runtime/message_text.h"
#include "runtime/string_ids.h"
#include "textio/text_stream.h"

namespace {

template <class E>
Exception* Make(std::string_view message) {
  return new E(message);
}

}  // namespace

UnhandledExceptionHookFunction UnhandledExceptionHook = nullptr;
FaultObjectHookFunction FaultObjectHook = nullptr;

EOutOfMemory* SharedOutOfMemory = nullptr;
EInvalidPointer* SharedInvalidPointer = nullptr;

const ReasonEntry ReasonTable[ReasonCount] = {
    {&EInOutError::ClassInfoRecord, Make<EInOutError>, StringIdIoError},
    {&EOutOfMemory::ClassInfoRecord, Make<EOutOfMemory>, StringIdOutOfMemory},
    {&EInvalidPointer::ClassInfoRecord, Make<EInvalidPointer>, StringIdInvalidPointer},
    {&EDivByZero::ClassInfoRecord, Make<EDivByZero>, StringIdDivByZero},
    {&ERangeError::ClassInfoRecord, Make<ERangeError>, StringIdRangeError},
    {&EIntOverflow::ClassInfoRecord, Make<EIntOverflow>, StringIdIntOverflow},
    {&EInvalidOp::ClassInfoRecord, Make<EInvalidOp>, StringIdInvalidOp},
    {&EZeroDivide::ClassInfoRecord, Make<EZeroDivide>, StringIdZeroDivide},
    {&EOverflow::ClassInfoRecord, Make<EOverflow>, StringIdOverflow},
    {&EUnderflow::ClassInfoRecord, Make<EUnderflow>, StringIdUnderflow},
    {&EInvalidCast::ClassInfoRecord, Make<EInvalidCast>, StringIdInvalidCast},
    {&EAccessViolation::ClassInfoRecord, Make<EAccessViolation>, StringIdAccessViolation},
    {&EPrivilege::ClassInfoRecord, Make<EPrivilege>, StringIdPrivilege},
    {&EControlC::ClassInfoRecord, Make<EControlC>, StringIdControlC},
    {&EStackOverflow::ClassInfoRecord, Make<EStackOverflow>, StringIdStackOverflow},
    {&EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantTypeConversion},
    {&EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantOperation},
    {&EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantMethodCall},
    {&EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantArrayCreation},
    {&EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdInvalidArgument},
    {&EVariantError::ClassInfoRecord, Make<EVariantError>, StringIdVariantArrayIndex},
    {&EAssertionFailed::ClassInfoRecord, Make<EAssertionFailed>, StringIdAssertionFailed},
    {&EExternalException::ClassInfoRecord, Make<EExternalException>, StringIdExternalException},
    {&EIntfCastError::ClassInfoRecord, Make<EIntfCastError>, StringIdIntfCast},
    {&ESafecallException::ClassInfoRecord, Make<ESafecallException>, StringIdSafecall},
};

TExceptRec ExceptMap[ReasonCount];

namespace {
// Whether the reason and I/O messages have been read since InstallExceptionSupport.
bool ExceptionTextsLoaded = false;
}  // namespace

void LoadExceptionTexts() {
  if (ExceptionTextsLoaded) return;
  for (uint8_t reason = ReasonDivByZero; reason < ReasonCount; ++reason) {
    ExceptMap[reason].message = LoadMessageText(ReasonTable[reason].messageId);
  }
  for (TErrorRec& record : IoErrorMap) record.message = LoadMessageText(record.messageId);
  ExceptionTextsLoaded = true;
}

TErrorRec IoErrorMap[IoErrorRecordCount] = {
    {2, StringIdFileNotFound, {}},     {3, StringIdInvalidFilename, {}},
    {4, StringIdTooManyOpenFiles, {}}, {5, StringIdFileAccessDenied, {}},
    {100, StringIdEndOfFile, {}},      {101, StringIdDiskFull, {}},
    {106, StringIdInvalidInput, {}},
};

const StatusEntry StatusTable[StatusRecordCount] = {
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

void RaiseReasonException(uint8_t reason, const void* address) {
  TObject* object;
  if (reason == ReasonOutOfMemory) {
    object = SharedOutOfMemory;
  } else if (reason == ReasonInvalidPointer) {
    object = SharedInvalidPointer;
  } else if (reason == ReasonIoError) {
    object = CreateIoException();
  } else if (reason < ReasonCount && ExceptMap[reason].create != nullptr) {
    LoadExceptionTexts();
    object = ExceptMap[reason].create(ExceptMap[reason].message);
  } else {
    object = new EExternalException(ResourceId{StringIdExternalException},
                                    {static_cast<uint32_t>(reason)});
  }
  RaiseObject(object, address);
}

EInOutError* CreateIoException() {
  const int32_t code = TakePendingIoError();
  LoadExceptionTexts();
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
  for (const StatusEntry& record : StatusTable) {
    if (record.status == status) return record.reason;
  }
  return ReasonExternal;
}

std::string ModuleNameOfPath(std::string_view path, bool colonSeparates) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (platform::IsPathDelimiter(c) ||
        (colonSeparates && platform::DriveColonInPaths && c == ':')) {
      start = i + 1;
    }
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
  char path[ModulePathBufferSize];
  if (platform::VirtualQuery(faultAddress, &region, sizeof region) != 0 &&
      region.State == platform::MEM_COMMIT &&
      platform::GetModuleFileNameA(reinterpret_cast<platform::HMODULE>(region.AllocationBase), path,
                                   sizeof path) != 0) {
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
    LoadExceptionTexts();
    object = ExceptMap[reason].create != nullptr
                 ? ExceptMap[reason].create(ExceptMap[reason].message)
                 : ReasonTable[reason].create(LoadMessageText(ReasonTable[reason].messageId));
  }
  if (IsInstanceOf<EExternal>(object)) static_cast<EExternal*>(object)->FaultRecord = record;
  return object;
}

void FaultToRuntimeError(const platform::EXCEPTION_RECORD* record) {
  uint8_t code = UnknownStatusCode;
  for (const StatusEntry& status : StatusTable) {
    if (status.status == record->ExceptionCode) code = status.code;
  }
  ExitProgram(code, record->ExceptionAddress);
}

void InstallExceptionSupport() {
  for (uint8_t reason = ReasonDivByZero; reason < ReasonCount; ++reason) {
    ExceptMap[reason].exceptClass = ReasonTable[reason].exceptClass;
    ExceptMap[reason].create = ReasonTable[reason].create;
  }
  // The two shared objects are made now, with their texts, so that an out-of-memory failure
  // needs no allocation; making them also makes the language choice for the whole run. The other
  // messages are read from the module chosen now when a failure first needs them: a run that
  // ends normally shows none of them.
  ExceptionTextsLoaded = false;
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
