#include "batch/result_output.h"

#include <algorithm>

#include "batch/byte_masks.h"
#include "platform/console_files.h"
#include "platform/files.h"

namespace {

uint64_t LinesIn(const char* data, size_t size) {
  return static_cast<uint64_t>(bytemask::CountLineEnds(data, size));
}

// Cuts the last `cut` bytes written off the file, when the output is a file on disk whose end
// can be moved back.
bool TakeBack(platform::HANDLE handle, size_t cut) {
  if (platform::GetFileType(handle) != platform::FILE_TYPE_DISK) return false;
  const int64_t distance = -static_cast<int64_t>(cut);
  auto high = static_cast<platform::LONG>(distance >> 32);
  const auto low = static_cast<platform::LONG>(static_cast<uint32_t>(distance & 0xFFFFFFFF));
  platform::SetLastError(platform::ERROR_SUCCESS);
  if (platform::SetFilePointer(handle, low, &high, platform::FILE_CURRENT) ==
          platform::INVALID_SET_FILE_POINTER &&
      platform::GetLastError() != platform::ERROR_SUCCESS) {
    return false;
  }
  return platform::SetEndOfFile(handle) != 0;
}

}  // namespace

bool WriteResultBlock(void* context, const char* data, size_t size) {
  auto& output = *static_cast<ResultOutput*>(context);
  size_t done = 0;
  while (done < size) {
    const size_t left = size - done;
    const auto part = static_cast<platform::DWORD>(left < 0x40000000u ? left : 0x40000000u);
    platform::DWORD written = 0;
    if (!platform::WriteFile(output.handle, data + done, part, &written)) {
      output.error = platform::GetLastError();
      done += std::min<size_t>(written, part);
      // The block began at a line end: its whole lines that reached the output stay, the part
      // of a line after them is taken back where it can be.
      size_t complete = done;
      while (complete > 0 && data[complete - 1] != '\n') --complete;
      output.completeLines += LinesIn(data, complete);
      if (done > complete && !TakeBack(output.handle, done - complete)) output.lineCut = true;
      return false;
    }
    done += part;
  }
  output.completeLines += LinesIn(data, size);
  return true;
}
