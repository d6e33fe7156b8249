// The Windows backend's calls into the system. The only file of the program that includes
// windows.h: everything else reaches these calls through win32_api.h.
#include "win32_api.h"

#include "string_blocks.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <exception>

namespace platform::win32 {

void* StdHandle(unsigned long which) { return ::GetStdHandle(which); }

unsigned long FileType(void* handle) { return ::GetFileType(handle); }

int ReadFile(void* handle, void* buffer, unsigned long size, unsigned long* read) {
  DWORD count = 0;
  const BOOL ok = ::ReadFile(handle, buffer, size, &count, nullptr);
  if (read != nullptr) *read = count;
  return ok;
}

int WriteFile(void* handle, const void* buffer, unsigned long size, unsigned long* written) {
  DWORD count = 0;
  const BOOL ok = ::WriteFile(handle, buffer, size, &count, nullptr);
  if (written != nullptr) *written = count;
  return ok;
}

int CloseHandle(void* handle) { return ::CloseHandle(handle); }

void* CreateFileHandle(const char* fileName, unsigned long desiredAccess, unsigned long shareMode,
                       unsigned long creationDisposition, unsigned long flagsAndAttributes) {
  return ::CreateFileA(fileName, desiredAccess, shareMode, nullptr, creationDisposition,
                       flagsAndAttributes, nullptr);
}

unsigned long MoveFilePointer(void* file, long distance, long* distanceHigh,
                              unsigned long moveMethod) {
  return ::SetFilePointer(file, distance, distanceHigh, moveMethod);
}

int EndFileHere(void* file) { return ::SetEndOfFile(file); }

unsigned long LastError() { return ::GetLastError(); }

void SetLastError(unsigned long code) { ::SetLastError(code); }

void ExitProcess(unsigned int exitCode) { ::ExitProcess(exitCode); }

uintptr_t ModuleHandle(const char* moduleName) {
  return reinterpret_cast<uintptr_t>(::GetModuleHandleA(moduleName));
}

unsigned long ModuleFileName(uintptr_t module, char* fileName, unsigned long size) {
  return ::GetModuleFileNameA(reinterpret_cast<HMODULE>(module), fileName, size);
}

size_t QueryRegion(const void* address, RegionInfo& info) {
  MEMORY_BASIC_INFORMATION region;
  std::memset(&region, 0, sizeof region);
  const SIZE_T size = ::VirtualQuery(address, &region, sizeof region);
  if (size == 0) return 0;
  info.baseAddress = region.BaseAddress;
  info.allocationBase = region.AllocationBase;
  info.allocationProtect = region.AllocationProtect;
  info.regionSize = region.RegionSize;
  info.state = region.State;
  info.protect = region.Protect;
  info.type = region.Type;
  return size;
}

void* LongPathNameFunction() {
  const HMODULE kernel = ::GetModuleHandleA("kernel32");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(kernel, "GetLongPathNameA"));
}

unsigned long CallLongPathName(void* function, const char* shortPath, char* longPath,
                               unsigned long size) {
  using LongPathCall = decltype(&::GetLongPathNameA);
  return reinterpret_cast<LongPathCall>(function)(shortPath, longPath, size);
}

bool FindFileName(const char* path, char* name, unsigned long size) {
  WIN32_FIND_DATAA found;
  std::memset(&found, 0, sizeof found);
  const HANDLE search = ::FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  const size_t length = std::strlen(found.cFileName);
  if (size == 0 || length >= size) return false;
  std::memcpy(name, found.cFileName, length + 1);
  return true;
}

const char* NextChar(const char* text) { return ::CharNextA(text); }

int LoadStringFrom(uintptr_t module, unsigned int id, char* buffer, int bufferMax) {
  return ::LoadStringA(reinterpret_cast<HINSTANCE>(module), id, buffer, bufferMax);
}

namespace {

struct BlockCheck {
  bool wellFormed = true;
};

BOOL CALLBACK CheckBlockLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                                 LONG_PTR context) {
  auto* check = reinterpret_cast<BlockCheck*>(context);
  const HRSRC found = ::FindResourceExA(module, type, name, language);
  const DWORD size = found != nullptr ? ::SizeofResource(module, found) : 0;
  const HGLOBAL loaded = found != nullptr ? ::LoadResource(module, found) : nullptr;
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (!StringBlockWellFormed(data, size)) check->wellFormed = false;
  return check->wellFormed;  // the first malformed block ends the check
}

BOOL CALLBACK CheckBlock(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context) {
  auto* check = reinterpret_cast<BlockCheck*>(context);
  if (!::EnumResourceLanguagesA(module, type, name, &CheckBlockLanguage, context) &&
      check->wellFormed) {
    check->wellFormed = false;  // a block whose languages cannot be listed is not used either
  }
  return check->wellFormed;
}

}  // namespace

bool StringBlocksWellFormed(uintptr_t module) {
  BlockCheck check;
  const HMODULE handle = reinterpret_cast<HMODULE>(module);
  ::SetLastError(ERROR_SUCCESS);
  if (!::EnumResourceNamesA(handle, MAKEINTRESOURCEA(6) /* RT_STRING */, &CheckBlock,
                            reinterpret_cast<LONG_PTR>(&check))) {
    // No string table at all has no malformed block; any other failure of the listing leaves
    // the module unchecked, and so unused.
    const DWORD error = ::GetLastError();
    if (check.wellFormed && error != ERROR_RESOURCE_TYPE_NOT_FOUND &&
        error != ERROR_RESOURCE_DATA_NOT_FOUND) {
      check.wellFormed = false;
    }
  }
  return check.wellFormed;
}

uintptr_t LoadAsData(const char* fileName, void* reserved, unsigned long flags) {
  return reinterpret_cast<uintptr_t>(::LoadLibraryExA(fileName, reserved, flags));
}

int FreeLibrary(uintptr_t module) { return ::FreeLibrary(reinterpret_cast<HMODULE>(module)); }

void* ProcAddress(uintptr_t module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

long OpenRegistryKey(uintptr_t key, const char* subKey, unsigned long options, unsigned long access,
                  uintptr_t* result) {
  // The predefined keys are 32-bit values that windows.h sign-extends to the pointer's width.
  HKEY root = reinterpret_cast<HKEY>(key);
  if (key >= 0x80000000u && key <= 0x8000000Fu) {
    root = reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(key)));
  }
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExA(root, subKey, options, access, &opened);
  if (result != nullptr) *result = reinterpret_cast<uintptr_t>(opened);
  return status;
}

long QueryRegistryValue(uintptr_t key, const char* valueName, unsigned long* reserved,
                     unsigned long* type, unsigned char* data, unsigned long* dataSize) {
  return ::RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName, reserved, type, data, dataSize);
}

long CloseRegistryKey(uintptr_t key) { return ::RegCloseKey(reinterpret_cast<HKEY>(key)); }

unsigned long ThreadLocale() { return ::GetThreadLocale(); }

int LocaleInfo(unsigned long locale, unsigned long type, char* data, int size) {
  return ::GetLocaleInfoA(locale, type, data, size);
}

int KeyboardType(int typeFlag) { return ::GetKeyboardType(typeFlag); }

int ConvertToOem(const char* source, char* destination) { return ::CharToOemA(source, destination); }

void ReserveStackForFaults() {
  ULONG guarantee = 64 * 1024;
  ::SetThreadStackGuarantee(&guarantee);
}

void SetBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace platform::win32

// ---------------------------------------------------------------------------------------------
// Static thread-local storage: the loader gives every thread its own copy of the image's TLS
// template (the .tls sections, from _tls_start to _tls_end) and keeps the copies' addresses in
// the array at the thread environment block's ThreadLocalStoragePointer, indexed by _tls_index.

extern "C" {
extern ULONG _tls_index;
extern const IMAGE_TLS_DIRECTORY _tls_used;
}

namespace platform::win32 {

void* StaticTlsAddress(const void* templateVariable) {
  char** slots;
#if defined(__x86_64__)
  asm("movq %%gs:0x58, %0" : "=r"(slots));
#else
  asm("movl %%fs:0x2C, %0" : "=r"(slots));
#endif
  const uintptr_t offset = reinterpret_cast<uintptr_t>(templateVariable) -
                           static_cast<uintptr_t>(_tls_used.StartAddressOfRawData);
  return slots[_tls_index] + offset;
}

}  // namespace platform::win32

// ---------------------------------------------------------------------------------------------
// The fault guard: a frame on the thread's own exception handler chain. A fault inside the
// guarded routine is dispatched by the system to the frames of the chain, innermost first; the
// guard's handler takes the processor faults and resumes execution at the guard's landing
// point, with the stack and registers the guard had when it called the routine. Exceptions that
// are not faults (C++ exceptions, RaiseException) and faults that an inner frame handles (the
// system DLLs' own guards) never reach it.

namespace {

bool IsGuardedFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_IN_PAGE_ERROR:
      return true;
    default:
      return false;
  }
}

// What the guard keeps while its routine runs. On 32-bit x86 it starts with the registration
// record of the handler chain (the link and the handler), as the system expects.
struct GuardFrame {
#if !defined(__x86_64__)
  GuardFrame* previous;  // +0: the next frame of the chain
  void* handler;         // +4: GuardHandler
  uintptr_t savedStack;  // +8: esp after the guard's prologue
  uintptr_t savedBase;   // +12: ebp of the guard
#endif
  EXCEPTION_RECORD* record;
  bool faulted;
  bool stackOverflow;
  bool takesRaised;  // a frame of DispatchRaised: takes back the raised object's status
};

constexpr DWORD RaisedObjectStatus = 0x0EEDFADE;

bool IsX87Fault(DWORD code) {
  return code >= EXCEPTION_FLT_DENORMAL_OPERAND && code <= EXCEPTION_FLT_UNDERFLOW;
}

// An x87 fault is reported by the next waiting instruction (the FWAIT after the operation); the
// unit keeps the address of the instruction that caused it. That one is the fault's address,
// when it lies just before the reporting one (as it does where an FWAIT follows every operation
// that may fault). Some systems give it as the exception address already.
uintptr_t CausingInstruction(uintptr_t reporting, uint64_t unitPointer) {
  constexpr uintptr_t Window = 64;
  const auto causing = static_cast<uintptr_t>(unitPointer);
  if (causing != 0 && causing <= reporting && reporting - causing < Window) return causing;
  return reporting;
}

void TakeFault(GuardFrame& frame, const EXCEPTION_RECORD& record, uint64_t unitPointer) {
  std::memcpy(frame.record, &record, sizeof record);
  frame.record->ExceptionRecord = nullptr;
  if (IsX87Fault(record.ExceptionCode)) {
    frame.record->ExceptionAddress = reinterpret_cast<void*>(CausingInstruction(
        reinterpret_cast<uintptr_t>(record.ExceptionAddress), unitPointer));
  }
  frame.faulted = true;
  frame.stackOverflow = record.ExceptionCode == EXCEPTION_STACK_OVERFLOW;
}

}  // namespace

extern "C" {
int GuardCall(GuardFrame* frame, void (*trampoline)(void*), void* argument);
void GuardLanding();
void GuardRaiseLanding();
EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                   CONTEXT* context, void* dispatcherContext);
}

#if !defined(__x86_64__)

// int GuardCall(GuardFrame* frame, void (*trampoline)(void*), void* argument)
// Links the frame into the chain at fs:[0], calls trampoline(argument), unlinks it and returns
// 1; GuardHandler resumes at GuardLanding with esp and ebp as saved, which unlinks and returns 0.
asm(R"(
  .text
  .globl _GuardCall
  .globl _GuardLanding
  .globl _GuardRaiseLanding
  .globl _GuardResume
  .def _GuardCall; .scl 2; .type 32; .endef
_GuardCall:
  pushl %ebp
  movl %esp, %ebp
  pushl %ebx
  pushl %esi
  pushl %edi
  movl 8(%ebp), %eax
  movl %esp, 8(%eax)
  movl %ebp, 12(%eax)
  movl %fs:0, %ecx
  movl %ecx, (%eax)
  movl %eax, %fs:0
  pushl 16(%ebp)
  call *12(%ebp)
  addl $4, %esp
  movl 8(%ebp), %eax
  movl (%eax), %ecx
  movl %ecx, %fs:0
  movl $1, %eax
  jmp 1f
_GuardRaiseLanding:
  movl 8(%ebp), %eax
  movl (%eax), %ecx
  movl %ecx, %fs:0
  xorl %eax, %eax
  jmp 1f
_GuardLanding:
  fninit
  movl 8(%ebp), %eax
  movl (%eax), %ecx
  movl %ecx, %fs:0
  xorl %eax, %eax
1:
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret

# void GuardResume(GuardFrame* frame): back into GuardCall with the stack and frame it had when it
# called the routine, at the landing for a raised object (the frame is still linked at fs:[0]).
  .def _GuardResume; .scl 2; .type 32; .endef
_GuardResume:
  movl 4(%esp), %eax
  movl 8(%eax), %esp
  movl 12(%eax), %ebp
  jmp _GuardRaiseLanding
)");

extern "C" [[noreturn]] void GuardResume(GuardFrame* frame);

EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                   CONTEXT* context, void*) {
  if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
    return ExceptionContinueSearch;
  }
  auto* frame = static_cast<GuardFrame*>(establisherFrame);
  if (record->ExceptionCode == RaisedObjectStatus && frame->takesRaised) {
    // Non-continuable: the frames above (the dispatcher's own) are unwound and the guard goes on
    // at its landing for a raised object.
    frame->faulted = true;
    RtlUnwind(establisherFrame, nullptr, record, nullptr);
    GuardResume(frame);
  }
  if (!IsGuardedFault(record->ExceptionCode)) return ExceptionContinueSearch;
  TakeFault(*frame, *record, context->FloatSave.ErrorOffset);
  // The x87 state that the system restores on resuming: empty, all exceptions masked, nothing
  // pending (a pending exception would fault again at the next x87 instruction).
  context->FloatSave.ControlWord = 0x037F;
  context->FloatSave.StatusWord = 0;
  context->FloatSave.TagWord = 0xFFFF;
  context->Esp = static_cast<DWORD>(frame->savedStack);
  context->Ebp = static_cast<DWORD>(frame->savedBase);
  context->Eip = reinterpret_cast<DWORD>(&GuardLanding);
  return ExceptionContinueExecution;
}

#else  // x86-64: the handler is attached to GuardCall's unwind information.

// int GuardCall(GuardFrame* frame, void (*trampoline)(void*), void* argument)
// Saves every callee-saved register in its frame; GuardHandler resumes at GuardLanding with the
// stack pointer of the guard's body, whose epilogue restores them.
asm(R"(
  .text
  .globl GuardCall
  .globl GuardLanding
  .globl GuardRaiseLanding
  .def GuardCall; .scl 2; .type 32; .endef
  .seh_proc GuardCall
GuardCall:
  pushq %rbp
  .seh_pushreg %rbp
  pushq %rbx
  .seh_pushreg %rbx
  pushq %rsi
  .seh_pushreg %rsi
  pushq %rdi
  .seh_pushreg %rdi
  pushq %r12
  .seh_pushreg %r12
  pushq %r13
  .seh_pushreg %r13
  pushq %r14
  .seh_pushreg %r14
  pushq %r15
  .seh_pushreg %r15
  subq $200, %rsp
  .seh_stackalloc 200
  movaps %xmm6, 32(%rsp)
  .seh_savexmm %xmm6, 32
  movaps %xmm7, 48(%rsp)
  .seh_savexmm %xmm7, 48
  movaps %xmm8, 64(%rsp)
  .seh_savexmm %xmm8, 64
  movaps %xmm9, 80(%rsp)
  .seh_savexmm %xmm9, 80
  movaps %xmm10, 96(%rsp)
  .seh_savexmm %xmm10, 96
  movaps %xmm11, 112(%rsp)
  .seh_savexmm %xmm11, 112
  movaps %xmm12, 128(%rsp)
  .seh_savexmm %xmm12, 128
  movaps %xmm13, 144(%rsp)
  .seh_savexmm %xmm13, 144
  movaps %xmm14, 160(%rsp)
  .seh_savexmm %xmm14, 160
  movaps %xmm15, 176(%rsp)
  .seh_savexmm %xmm15, 176
  .seh_endprologue
  .seh_handler GuardHandler, @except
  movq %rcx, 192(%rsp)
  movq %rdx, %rax
  movq %r8, %rcx
  callq *%rax
  movl $1, %eax
  jmp 1f
GuardRaiseLanding:
  xorl %eax, %eax
  jmp 1f
GuardLanding:
  fninit
  xorl %eax, %eax
1:
  movaps 32(%rsp), %xmm6
  movaps 48(%rsp), %xmm7
  movaps 64(%rsp), %xmm8
  movaps 80(%rsp), %xmm9
  movaps 96(%rsp), %xmm10
  movaps 112(%rsp), %xmm11
  movaps 128(%rsp), %xmm12
  movaps 144(%rsp), %xmm13
  movaps 160(%rsp), %xmm14
  movaps 176(%rsp), %xmm15
  addq $200, %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rdi
  popq %rsi
  popq %rbx
  popq %rbp
  ret
  .seh_endproc
)");

EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                   CONTEXT* context, void* dispatcherContext) {
  if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
    return ExceptionContinueSearch;
  }
  auto* frame = *reinterpret_cast<GuardFrame**>(static_cast<char*>(establisherFrame) + 192);
  if (record->ExceptionCode == RaisedObjectStatus && frame->takesRaised) {
    // Non-continuable: the system unwinds to the guard's frame (its callee-saved registers as
    // the guard's body had them) and goes on at the landing for a raised object.
    frame->faulted = true;
    auto* dispatcher = static_cast<DISPATCHER_CONTEXT*>(dispatcherContext);
    RtlUnwindEx(establisherFrame, reinterpret_cast<void*>(&GuardRaiseLanding), record, nullptr,
                dispatcher->ContextRecord, dispatcher->HistoryTable);
  }
  if (!IsGuardedFault(record->ExceptionCode)) return ExceptionContinueSearch;
  // The unit's 64-bit instruction pointer, as the 64-bit save format holds it; if the high half
  // is not there, the causing instruction is in the same 4 GiB as the reporting one.
  const uint64_t reporting = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
  uint64_t unitPointer = context->FltSave.ErrorOffset |
                         (uint64_t{context->FltSave.ErrorSelector} << 32) |
                         (uint64_t{context->FltSave.Reserved2} << 48);
  if (unitPointer > reporting || reporting - unitPointer >= 64) {
    unitPointer = (reporting & ~uint64_t{0xFFFFFFFF}) | context->FltSave.ErrorOffset;
  }
  TakeFault(*frame, *record, unitPointer);
  context->FltSave.ControlWord = 0x037F;
  context->FltSave.StatusWord = 0;
  context->FltSave.TagWord = 0;  // the abridged tag word: every register empty
  context->Rsp = reinterpret_cast<DWORD64>(establisherFrame);
  context->Rip = reinterpret_cast<DWORD64>(&GuardLanding);
  return ExceptionContinueExecution;
}

#endif

namespace platform::win32 {
namespace {

struct GuardedCall {
  void (*routine)(void*);
  void* context;
  std::exception_ptr thrown;
};

// A C++ exception must not unwind through GuardCall (the frame of the chain would be left
// linked): it is caught here and thrown again once the guard has returned.
void Trampoline(void* argument) {
  auto* call = static_cast<GuardedCall*>(argument);
  try {
    call->routine(call->context);
  } catch (...) {
    call->thrown = std::current_exception();
  }
}

}  // namespace

// Raises the record. No C++ frame lies between it and the guard that takes the record back: a
// catch-all there could take the system's exception for a C++ one.
extern "C" void RaiseRecord(void* argument) {
  const auto* record = static_cast<const EXCEPTION_RECORD*>(argument);
  ::RaiseException(record->ExceptionCode, record->ExceptionFlags, record->NumberParameters,
                   record->ExceptionInformation);
}

void DispatchRaised(const void* record, size_t recordSize) {
  if (recordSize != sizeof(EXCEPTION_RECORD)) std::terminate();
  EXCEPTION_RECORD copy;
  std::memcpy(&copy, record, sizeof copy);
  GuardFrame frame;
  std::memset(&frame, 0, sizeof frame);
#if !defined(__x86_64__)
  frame.handler = reinterpret_cast<void*>(&GuardHandler);
#endif
  frame.record = &copy;
  frame.takesRaised = true;
  GuardCall(&frame, &RaiseRecord, &copy);
}

long AskUnhandledExceptionFilter(const void* record, size_t recordSize) {
  if (recordSize != sizeof(EXCEPTION_RECORD)) std::terminate();
  // Without a debugger the system's filter would only start the error reporting (a dialog on
  // Windows, "starting debugger..." on Wine's standard error) ahead of the program's own report.
  if (!::IsDebuggerPresent()) return EXCEPTION_EXECUTE_HANDLER;
  EXCEPTION_RECORD copy;
  std::memcpy(&copy, record, sizeof copy);
  CONTEXT context;
  std::memset(&context, 0, sizeof context);
  ::RtlCaptureContext(&context);
  EXCEPTION_POINTERS pointers{&copy, &context};
  return ::UnhandledExceptionFilter(&pointers);
}

void RaiseToSystem(const void* record, size_t recordSize) {
  if (recordSize != sizeof(EXCEPTION_RECORD)) std::terminate();
  RaiseRecord(const_cast<void*>(record));
}

bool CallWithFrameHandler(void (*routine)(void*), void* context, void* record, size_t recordSize) {
  // The caller's record is the same structure, declared without windows.h.
  if (recordSize != sizeof(EXCEPTION_RECORD)) std::terminate();
  GuardFrame frame;
  std::memset(&frame, 0, sizeof frame);
#if !defined(__x86_64__)
  frame.handler = reinterpret_cast<void*>(&GuardHandler);
#endif
  frame.record = static_cast<EXCEPTION_RECORD*>(record);
  GuardedCall call{routine, context, nullptr};
  const int returned = GuardCall(&frame, &Trampoline, &call);
  if (returned == 0 && frame.stackOverflow) {
    // The guard page below the stack was used up by the overflow: set it again, so that the
    // next overflow is reported too rather than ending the process.
    _resetstkoflw();
  }
  if (call.thrown) std::rethrow_exception(call.thrown);
  return returned != 0;
}

}  // namespace platform::win32
