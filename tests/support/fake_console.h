// A scripted stand-in for the console calls: tests say what each call returns and read back
// what the text streams asked of it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/console_files.h"

namespace fake {

// The handles the fake gives out for standard input, output and error.
inline const platform::HANDLE InputHandle = reinterpret_cast<platform::HANDLE>(intptr_t{100});
inline const platform::HANDLE OutputHandle = reinterpret_cast<platform::HANDLE>(intptr_t{101});
inline const platform::HANDLE ErrorHandle = reinterpret_cast<platform::HANDLE>(intptr_t{102});

// Thrown by the fake ExitProcess, so that a test can see the exit code.
struct ProcessExit {
  platform::UINT exitCode;
};

// What ExitCodeOf gives for an action that came back instead of ending the process.
inline constexpr platform::UINT Returned = UINT32_MAX;

// Runs an action that should end the process through the fake ExitProcess; its exit code.
template <typename Action>
platform::UINT ExitCodeOf(Action&& action) {
  try {
    action();
  } catch (const ProcessExit& exit) {
    return exit.exitCode;
  }
  return Returned;
}

struct WriteCall {
  platform::HANDLE handle;
  std::string bytes;      // everything the caller handed over
  platform::DWORD error;  // 0 when the call succeeded
};

struct ReadCall {
  platform::HANDLE handle;
  platform::DWORD size;  // the capacity the caller offered
};

class FakeConsole {
 public:
  // Per standard handle (0 input, 1 output, 2 error): its file type, or whether GetStdHandle
  // fails for it (with `stdHandleError`).
  platform::DWORD fileType[3] = {platform::FILE_TYPE_CHAR, platform::FILE_TYPE_CHAR,
                                 platform::FILE_TYPE_CHAR};
  bool invalidHandle[3] = {false, false, false};
  platform::DWORD stdHandleError = platform::ERROR_INVALID_HANDLE;

  // Input: each entry is what one ReadFile delivers (at most the size asked for; a longer
  // entry leaves its rest for the next read). When the script runs out, reads report the end
  // of the input (0 bytes).
  void AddInput(const std::string& chunk) { reads_.push_back({chunk, 0}); }
  void AddEndOfInput() { reads_.push_back({std::string(), 0}); }
  void AddReadFailure(platform::DWORD code) { reads_.push_back({std::string(), code}); }

  // Output: the result of the next WriteFile calls, in order (0 = success); when the script
  // runs out, writes succeed.
  void AddWriteResult(platform::DWORD code) { writeResults_.push_back(code); }

  // What happened.
  std::vector<WriteCall> writes;
  std::vector<ReadCall> reads;
  std::vector<platform::HANDLE> closedHandles;
  std::vector<platform::DWORD> stdHandleRequests;

  // The bytes that reached `handle` through successful writes.
  std::string Written(platform::HANDLE handle = OutputHandle) const;
  // The sizes of the successful writes to `handle`, in order.
  std::vector<size_t> WriteSizes(platform::HANDLE handle = OutputHandle) const;

  platform::DWORD lastError = 0;

 private:
  friend class FakeConsoleCalls;
  struct ReadStep {
    std::string bytes;
    platform::DWORD error;
  };
  std::deque<ReadStep> reads_;
  std::deque<platform::DWORD> writeResults_;
};

// Puts `console` in place of the real console calls for its lifetime. On entry and on exit the
// three stream records are reset to their start-up state (all zero, mode closed) and the
// pending I/O error is cleared.
class InstallFakeConsole {
 public:
  explicit InstallFakeConsole(FakeConsole& console);
  ~InstallFakeConsole();
  InstallFakeConsole(const InstallFakeConsole&) = delete;
  InstallFakeConsole& operator=(const InstallFakeConsole&) = delete;
};

// The start-up state of the three stream records.
void ResetStreams();

}  // namespace fake
