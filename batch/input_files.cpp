#include "batch/input_files.h"

#include "batch/command_line.h"
#include "batch/program_messages.h"
#include "platform/console_files.h"

namespace batch {

platform::HANDLE OpenInput(const char* name) {
  if (IsStandardInput(name)) return platform::GetStdHandle(platform::STD_INPUT_HANDLE);
  return platform::CreateFileA(name, platform::GENERIC_READ, platform::FILE_SHARE_READ, nullptr,
                               platform::OPEN_EXISTING, platform::FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool OpenEveryInput(const char* const* names, size_t count, platform::HANDLE* keptOpen) {
  bool allReadable = true;
  for (size_t i = 0; i < count; ++i) {
    keptOpen[i] = platform::INVALID_HANDLE_VALUE;
    if (IsStandardInput(names[i])) {
      if (platform::GetStdHandle(platform::STD_INPUT_HANDLE) == platform::INVALID_HANDLE_VALUE) {
        SayFileProblem("-", platform::GetLastError());
        allReadable = false;
      }
      continue;
    }
    const platform::HANDLE handle = OpenInput(names[i]);
    if (handle == platform::INVALID_HANDLE_VALUE) {
      SayFileProblem(names[i], platform::GetLastError());
      allReadable = false;
    } else if (platform::GetFileType(handle) == platform::FILE_TYPE_DISK) {
      platform::CloseHandle(handle);
    } else {
      keptOpen[i] = handle;
    }
  }
  return allReadable;
}

}  // namespace batch
