// Scratch files for the language tests: a directory removed with everything in it, and a module
// extension of each test's own.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "framecalc-lang-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Writes `contents` to the file `name` (directories below the scratch directory are made).
  std::string Write(const std::string& name, const std::string& contents) const {
    const std::string file = *this / name;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream out(file, std::ios::binary);
    out << contents;
    return file;
  }

 private:
  std::string path_;
};

// Sets (or, for null, removes) an environment variable for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    hadValue_ = old != nullptr;
    if (hadValue_) oldValue_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (hadValue_) {
      ::setenv(name_.c_str(), oldValue_.c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  bool hadValue_ = false;
  std::string oldValue_;
};

// Makes `path` the current folder for the life of the object.
class ScopedDirectory {
 public:
  explicit ScopedDirectory(const char* path) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~ScopedDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
  }
  ScopedDirectory(const ScopedDirectory&) = delete;
  ScopedDirectory& operator=(const ScopedDirectory&) = delete;

 private:
  std::filesystem::path old_;
};

// A language module's extension of the running test's own, `prefix` and three letters from the
// test's name: tests of one test binary run side by side in separate processes, and each puts
// its module beside that same binary, so no two may use one file name.
inline std::string ModuleExtensionForThisTest(char prefix) {
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  uint32_t hash = 2166136261u;
  for (const char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  std::string extension(1, prefix);
  for (int i = 0; i < 3; ++i, hash /= 26) extension += static_cast<char>('A' + hash % 26);
  return extension;
}
