#include "support/fake_console.h"

#include <algorithm>
#include <cstring>

#include "platform/thread_block.h"
#include "textio/text_stream.h"

namespace fake {

using namespace platform;

namespace {
FakeConsole* Current = nullptr;
}  // namespace

class FakeConsoleCalls {
 public:
  static HANDLE GetStdHandle(DWORD which) {
    FakeConsole& c = *Current;
    c.stdHandleRequests.push_back(which);
    int index = which == STD_INPUT_HANDLE ? 0 : which == STD_OUTPUT_HANDLE ? 1 : 2;
    if (which != STD_INPUT_HANDLE && which != STD_OUTPUT_HANDLE && which != STD_ERROR_HANDLE) {
      c.lastError = ERROR_INVALID_HANDLE;
      return INVALID_HANDLE_VALUE;
    }
    if (c.invalidHandle[index]) {
      c.lastError = c.stdHandleError;
      return INVALID_HANDLE_VALUE;
    }
    const HANDLE handles[] = {InputHandle, OutputHandle, ErrorHandle};
    return handles[index];
  }

  static DWORD GetFileType(HANDLE handle) {
    FakeConsole& c = *Current;
    const int index = handle == InputHandle    ? 0
                      : handle == OutputHandle ? 1
                      : handle == ErrorHandle  ? 2
                                               : -1;
    if (index < 0) {
      c.lastError = ERROR_INVALID_HANDLE;
      return FILE_TYPE_UNKNOWN;
    }
    return c.fileType[index];
  }

  static BOOL ReadFile(HANDLE handle, void* buffer, DWORD size, DWORD* read) {
    FakeConsole& c = *Current;
    c.reads.push_back({handle, size});
    *read = 0;
    if (c.reads_.empty()) return TRUE_;
    FakeConsole::ReadStep& step = c.reads_.front();
    if (step.error != 0) {
      c.lastError = step.error;
      c.reads_.pop_front();
      return FALSE_;
    }
    const size_t count = std::min<size_t>(size, step.bytes.size());
    std::memcpy(buffer, step.bytes.data(), count);
    *read = static_cast<DWORD>(count);
    if (count == step.bytes.size()) {
      c.reads_.pop_front();
    } else {
      step.bytes.erase(0, count);
    }
    return TRUE_;
  }

  static BOOL WriteFile(HANDLE handle, const void* buffer, DWORD size, DWORD* written) {
    FakeConsole& c = *Current;
    DWORD error = 0;
    if (!c.writeResults_.empty()) {
      error = c.writeResults_.front();
      c.writeResults_.pop_front();
    }
    c.writes.push_back({handle, std::string(static_cast<const char*>(buffer), size), error});
    if (error != 0) {
      *written = 0;
      c.lastError = error;
      return FALSE_;
    }
    *written = size;
    return TRUE_;
  }

  static BOOL CloseHandle(HANDLE handle) {
    Current->closedHandles.push_back(handle);
    return TRUE_;
  }

  static DWORD GetLastError() { return Current->lastError; }
  static void SetLastError(DWORD code) { Current->lastError = code; }
  static void ExitProcess(UINT code) { throw ProcessExit{code}; }
};

namespace {
ConsoleFunctions FakeFunctions = {
    FakeConsoleCalls::GetStdHandle, FakeConsoleCalls::GetFileType, FakeConsoleCalls::ReadFile,
    FakeConsoleCalls::WriteFile,    FakeConsoleCalls::CloseHandle, FakeConsoleCalls::GetLastError,
    FakeConsoleCalls::SetLastError, FakeConsoleCalls::ExitProcess,
};
}  // namespace

std::string FakeConsole::Written(HANDLE handle) const {
  std::string all;
  for (const WriteCall& call : writes) {
    if (call.handle == handle && call.error == 0) all += call.bytes;
  }
  return all;
}

std::vector<size_t> FakeConsole::WriteSizes(HANDLE handle) const {
  std::vector<size_t> sizes;
  for (const WriteCall& call : writes) {
    if (call.handle == handle && call.error == 0) sizes.push_back(call.bytes.size());
  }
  return sizes;
}

void ResetStreams() {
  for (TTextStream* stream : {&ConsoleInput, &ConsoleOutput, &ConsoleErrorOutput}) {
    std::memset(static_cast<void*>(stream), 0, sizeof(TTextStream));
    stream->mode = ModeClosed;
  }
  ThreadBlock().pendingIoError = 0;
}

InstallFakeConsole::InstallFakeConsole(FakeConsole& console) {
  Current = &console;
  ConsoleOverride = &FakeFunctions;
  ResetStreams();
}

InstallFakeConsole::~InstallFakeConsole() {
  ResetStreams();
  ConsoleOverride = nullptr;
  Current = nullptr;
}

}  // namespace fake
