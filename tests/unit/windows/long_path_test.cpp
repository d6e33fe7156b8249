// The long form of a path rebuilt one component at a time (the fallback for systems without
// GetLongPathNameA): each component takes the spelling that FindFirstFileA finds, the root stays,
// and a path that cannot be rebuilt stays as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <process.h>
#include <string>

#include "long_path.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

class LongPathByComponents : public testing::Test {
 protected:
  // The folder's name is this process's own: ctest runs the two tests at once, and one's
  // TearDown must not remove the folder the other is rebuilding a path in.
  void SetUp() override {
    dirName_ = "Long Path Test Dir " + std::to_string(_getpid());
    dir_ = fs::temp_directory_path() / dirName_;
    fs::create_directories(dir_);
    std::ofstream(dir_ / "Program File.Exe") << "x";
    path_ = (dir_ / "Program File.Exe").string();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  static std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
  }

  static std::string Rebuilt(const std::string& path, platform::DWORD size = 261) {
    char result[512] = {};
    const platform::DWORD length = platform::LongPathByComponents(path.c_str(), result, size);
    EXPECT_EQ(length, std::string(result).size());
    return result;
  }

  std::string dirName_;
  fs::path dir_;
  std::string path_;
};

TEST_F(LongPathByComponents, EveryComponentTakesTheSpellingFound) {
  char expected[261] = {};
  ASSERT_NE(platform::GetLongPathNameA(path_.c_str(), expected, sizeof expected), 0u);
  const std::string rebuilt = Rebuilt(Upper(path_));
  EXPECT_EQ(rebuilt, expected);
  // The drive's two characters are kept as written; the components are the files' own names.
  EXPECT_EQ(rebuilt.substr(0, 2), Upper(path_).substr(0, 2));
  EXPECT_NE(rebuilt.find("\\" + dirName_ + "\\Program File.Exe"), std::string::npos) << rebuilt;
}

TEST_F(LongPathByComponents, PathsThatCannotBeRebuiltStayAsTheyAre) {
  const std::string missing = Upper(dir_.string()) + "\\NO SUCH FILE.EXE";
  const std::string wildcard = Upper(dir_.string()) + "\\PROGRAM*.EXE";
  for (const std::string& path :
       {missing, wildcard, std::string("\\windows\\system32"), std::string("\\\\server"),
        std::string("\\\\\\share\\x"), std::string("\\\\server\\"), std::string("C")}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(Rebuilt(path), path);
  }
}

}  // namespace
