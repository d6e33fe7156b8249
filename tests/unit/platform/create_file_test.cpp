// Opening named files for reading: the handle reads the file, and each way of failing gives its
// Win32 code.
#include "platform/console_files.h"
#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace platform;

class CreateFile : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "framecalc-create-file-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    std::ofstream(directory_ + "/data.txt", std::ios::binary) << "0 0 2 2 X 1\n";
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  HANDLE Open(const std::string& name, DWORD access = GENERIC_READ,
              DWORD disposition = OPEN_EXISTING) {
    return CreateFileA(name.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  std::string directory_;
};

TEST_F(CreateFile, OpensAnExistingFileForReadFile) {
  const HANDLE handle = Open(directory_ + "/data.txt");
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  char buffer[64];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(handle, buffer, sizeof buffer, &got));
  EXPECT_EQ(std::string(buffer, got), "0 0 2 2 X 1\n");
  ASSERT_TRUE(ReadFile(handle, buffer, sizeof buffer, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(CloseHandle(handle));
}

struct FailureCase {
  const char* name;
  std::string path;  // below the test's directory; "" for the empty name
  DWORD access;
  DWORD disposition;
  DWORD error;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class CreateFileFailures : public CreateFile, public testing::WithParamInterface<FailureCase> {};

TEST_P(CreateFileFailures, GiveInvalidHandleAndTheirCode) {
  const FailureCase& c = GetParam();
  SetLastError(ERROR_SUCCESS);
  const HANDLE handle =
      Open(c.path.empty() ? "" : directory_ + "/" + c.path, c.access, c.disposition);
  EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, CreateFileFailures,
    testing::Values(
        FailureCase{"Missing", "missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        FailureCase{"MissingFolder", "missing/data.txt", GENERIC_READ, OPEN_EXISTING,
                    ERROR_FILE_NOT_FOUND},
        FailureCase{"FileUsedAsFolder", "data.txt/x", GENERIC_READ, OPEN_EXISTING,
                    ERROR_PATH_NOT_FOUND},
        FailureCase{"Directory", ".", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        FailureCase{"EmptyName", "", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        FailureCase{"WriteAccess", "data.txt", 0x40000000u, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
        FailureCase{"CreateAlways", "data.txt", GENERIC_READ, 2, ERROR_INVALID_PARAMETER}),
    [](const testing::TestParamInfo<FailureCase>& param) { return std::string(param.param.name); });

}  // namespace
