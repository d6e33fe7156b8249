// The program's own file name as GetModuleFileNameA gives it: the kernel's name of the
// executable, cut to the caller's buffer as Windows cuts it.
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/console_files.h"
#include "platform/modules.h"

namespace {

std::string KernelName() {
  char name[4096];
  const ssize_t length = readlink("/proc/self/exe", name, sizeof name);
  return length > 0 ? std::string(name, static_cast<size_t>(length)) : std::string();
}

TEST(ModuleFileName, TheProgramsNameFitsOrIsCutToTheBuffer) {
  const std::string full = KernelName();
  ASSERT_GT(full.size(), 4u);
  const platform::DWORD length = static_cast<platform::DWORD>(full.size());
  struct Case {
    platform::DWORD size;
    platform::DWORD returned;
    std::string text;
    bool cut;
  };
  const Case cases[] = {
      {length + 10, length, full, false},
      {length + 1, length, full, false},
      {length, length, full.substr(0, length - 1), true},
      {5, 5, full.substr(0, 4), true},
      {1, 1, "", true},
  };
  for (const Case& c : cases) {
    std::string buffer(c.size + 8, '#');
    platform::SetLastError(0);
    EXPECT_EQ(platform::GetModuleFileNameA(0, buffer.data(), c.size), c.returned) << c.size;
    EXPECT_EQ(std::string(buffer.c_str()), c.text) << c.size;
    EXPECT_EQ(buffer[c.size], '#') << "written beyond the buffer of " << c.size;
    EXPECT_EQ(platform::GetLastError(), c.cut ? platform::ERROR_INSUFFICIENT_BUFFER : 0u) << c.size;
  }
  char none[1] = {'#'};
  EXPECT_EQ(platform::GetModuleFileNameA(0, none, 0), 0u);
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(none[0], '#');
}

}  // namespace
