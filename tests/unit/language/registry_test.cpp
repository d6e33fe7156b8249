// The registry stand-in: configuration files for HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, and
// the language override read from them.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "runtime/message_text.h"
#include "tests/unit/language/temp_files.h"
#include "platform/posix/registry_files.h"

namespace {

using platform::DWORD;
using platform::HKEY;
using platform::LONG;

constexpr LONG Success = static_cast<LONG>(platform::ERROR_SUCCESS);
constexpr LONG NotFound = static_cast<LONG>(platform::ERROR_FILE_NOT_FOUND);
constexpr LONG MoreData = static_cast<LONG>(platform::ERROR_MORE_DATA);

class RegistryFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    user_ = dir_ / "user";
    machine_ = dir_ / "machine";
    platform::SetRegistryFiles(user_.c_str(), machine_.c_str());
  }
  void TearDown() override { platform::SetRegistryFiles("", ""); }

  void User(const std::string& contents) { dir_.Write("user", contents); }
  void Machine(const std::string& contents) { dir_.Write("machine", contents); }

  // The value's bytes; empty when the key or value is missing.
  std::string Query(HKEY hive, const char* key, const char* value, DWORD* type = nullptr) {
    HKEY open = 0;
    if (platform::RegOpenKeyExA(hive, key, 0, platform::KEY_READ, &open) != Success) return "";
    unsigned char data[64];
    DWORD size = sizeof data;
    const LONG result = platform::RegQueryValueExA(open, value, nullptr, type, data, &size);
    EXPECT_EQ(platform::RegCloseKey(open), Success);
    return result == Success ? std::string(reinterpret_cast<char*>(data), size) : "";
  }

  ScratchDirectory dir_;
  std::string user_;
  std::string machine_;
};

// Windows loads a hive once: the language search opens two keys of the user's hive and reads its
// file once. What the file says later, or a file that appears later, is not seen in this run.
TEST_F(RegistryFiles, AHiveIsReadOnceAndKeptForTheRun) {
  User("[Software\\Quenlor\\Locales]\n@=DEU\n");
  HKEY open = 0;
  ASSERT_EQ(platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, "Software", 0, platform::KEY_READ,
                                    &open),
            NotFound);
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", ""),
            std::string("DEU\0", 4));

  User("[Software\\Quenlor\\Locales]\n@=FRA\n");
  Machine("[Software]\n@=ENG\n");
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", ""),
            std::string("DEU\0", 4));
  EXPECT_EQ(platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, "Software", 0, platform::KEY_READ,
                                    &open),
            NotFound);

  // Naming the files again starts a new snapshot.
  platform::SetRegistryFiles(user_.c_str(), machine_.c_str());
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", ""),
            std::string("FRA\0", 4));
  EXPECT_EQ(Query(platform::HKEY_LOCAL_MACHINE, "Software", ""), std::string("ENG\0", 4));
}

TEST_F(RegistryFiles, ValueForms) {
  User(
      "; a comment\n"
      "# another\n"
      "[Software\\Quenlor\\Locales]\n"
      "\"/opt/calc/framecalc\"=DEU\n"
      "@ = \"ENG\"\n"
      "\"with \\\"quote\\\" and \\\\\"=\"a \\\"b\\\"\"\r\n"
      "Bare Name = bare text  \n"
      "\"bin\"=hex:44, 45,55,54,53\n"
      "\"emptybin\"=hex:\n"
      "\"mask\"=dword:0000003f\n"
      "\"short\"=dword:7F\n"
      "\"bad1\"=dword:123456789\n"
      "\"bad2\"=dword:xyz\n"
      "\"bad3\"=hex:4,45\n"
      "\"bad4\"=\"unterminated\n"
      "\"bad5\"=\"text\" trailing\n"
      "no equals sign\n");
  DWORD type = 99;
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", "/opt/calc/framecalc",
                  &type),
            std::string("DEU\0", 4));
  EXPECT_EQ(type, platform::REG_SZ);
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", ""),
            std::string("ENG\0", 4));
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", nullptr),
            std::string("ENG\0", 4));
  EXPECT_EQ(
      Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", "with \"quote\" and \\"),
      std::string("a \"b\"\0", 6));
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", "bare name"),
            std::string("bare text\0", 10));
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", "bin", &type),
            "DEUTS");
  EXPECT_EQ(type, platform::REG_BINARY);
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", "mask", &type),
            std::string("\x3F\0\0\0", 4));
  EXPECT_EQ(type, platform::REG_DWORD);
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", "short"),
            std::string("\x7F\0\0\0", 4));
  for (const char* bad : {"bad1", "bad2", "bad3", "bad4", "bad5", "no equals sign"}) {
    HKEY key = 0;
    ASSERT_EQ(platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", 0,
                                      platform::KEY_READ, &key),
              Success);
    DWORD size = 0;
    EXPECT_EQ(platform::RegQueryValueExA(key, bad, nullptr, nullptr, nullptr, &size), NotFound)
        << bad;
    platform::RegCloseKey(key);
  }
}

TEST_F(RegistryFiles, NamesIgnoreCaseAndLaterValuesReplaceEarlier) {
  Machine(
      "[SOFTWARE\\Quenlor\\Vantro\\RTL]\n"
      "FPUMaskValue=dword:1\n"
      "[software\\quenlor\\vantro\\rtl]\n"
      "\"fpumaskvalue\"=dword:3F\n");
  EXPECT_EQ(Query(platform::HKEY_LOCAL_MACHINE, "Software\\Quenlor\\Vantro\\RTL", "FPUMaskValue"),
            std::string("\x3F\0\0\0", 4));
  EXPECT_EQ(Query(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Vantro\\RTL", "FPUMaskValue"),
            "")
      << "the user's file is not the machine's";
}

// A key as large as the file may be: every name keeps the data of its last line, whatever the
// case it was written in, and the names stay apart.
TEST_F(RegistryFiles, ALargeKeyKeepsTheLastLineOfEachName) {
  constexpr int Names = 50000;
  std::string file = "[Software\\Quenlor\\Locales]\n";
  for (int i = 0; i < Names; ++i) file += "\"/opt/p" + std::to_string(i) + "\"=DEU\n";
  for (int i = 0; i < Names; i += 7) file += "\"/OPT/P" + std::to_string(i) + "\"=FRA\n";
  file += "@=ITA\n\"/opt/p49999\"=ESP\n";
  ASSERT_LT(file.size(), 1024u * 1024u);
  User(file);
  HKEY key = 0;
  ASSERT_EQ(platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", 0,
                                    platform::KEY_READ, &key),
            Success);
  const auto value = [key](const std::string& name) -> std::string {
    char data[8] = {};
    DWORD size = sizeof data;
    if (platform::RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                   reinterpret_cast<unsigned char*>(data), &size) != Success) {
      return "";
    }
    return data;
  };
  for (const int i : {0, 1, 6, 7, 8, 24997, 24998, 49994, 49998}) {
    EXPECT_EQ(value("/opt/p" + std::to_string(i)), i % 7 == 0 ? "FRA" : "DEU") << i;
  }
  EXPECT_EQ(value("/opt/P49999"), "ESP");
  EXPECT_EQ(value(""), "ITA");
  EXPECT_EQ(value("/opt/p50000"), "");
  platform::RegCloseKey(key);
}

TEST_F(RegistryFiles, KeysExistWithTheirSubKeys) {
  User("[Software\\Quenlor\\Vantro\\Locales]\n[Other]\n");
  HKEY key = 0;
  struct {
    const char* path;
    LONG result;
  } cases[] = {
      {"Software\\Quenlor\\Vantro\\Locales", Success},
      {"Software\\Quenlor\\Vantro", Success},
      {"software\\QUENLOR", Success},
      {"Software\\Quenlor\\Locales", NotFound},
      {"Software\\Quenlor\\Vantro\\Loc", NotFound},
      {"Software\\Quenlor\\Vantro\\Locales\\More", NotFound},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(
        platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, c.path, 0, platform::KEY_READ, &key),
        c.result)
        << c.path;
    if (c.result == Success) platform::RegCloseKey(key);
  }
  EXPECT_EQ(platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, "Software", 0, platform::KEY_READ,
                                    &key),
            NotFound)
      << "no machine file";

  HKEY parent = 0;
  HKEY child = 0;
  ASSERT_EQ(platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, "Software\\Quenlor", 0,
                                    platform::KEY_READ, &parent),
            Success);
  EXPECT_EQ(platform::RegOpenKeyExA(parent, "Vantro\\Locales", 0, platform::KEY_READ, &child),
            Success);
  EXPECT_EQ(platform::RegCloseKey(child), Success);
  EXPECT_EQ(platform::RegCloseKey(parent), Success);
  EXPECT_NE(platform::RegCloseKey(parent), Success) << "closed twice";
}

TEST_F(RegistryFiles, DataThatDoesNotFitIsNotCopied) {
  User("[K]\n\"v\"=Deutsch\n");
  HKEY key = 0;
  ASSERT_EQ(platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, "K", 0, platform::KEY_READ, &key),
            Success);
  unsigned char data[5] = {'x', 'x', 'x', 'x', 'x'};
  DWORD size = sizeof data;
  EXPECT_EQ(platform::RegQueryValueExA(key, "v", nullptr, nullptr, data, &size), MoreData);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 5), "xxxxx");
  size = 0;
  EXPECT_EQ(platform::RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), Success);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(platform::RegQueryValueExA(key, "v", nullptr, nullptr, data, nullptr),
            static_cast<LONG>(platform::ERROR_INVALID_PARAMETER));
  platform::RegCloseKey(key);
  EXPECT_EQ(platform::RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size),
            static_cast<LONG>(platform::ERROR_INVALID_HANDLE));
}

TEST(RegistryPlace, UserFileFollowsXdgConfigHomeThenHome) {
  ScratchDirectory dir;
  dir.Write("xdg/quenlor/registry", "[K]\n@=XDG\n");
  dir.Write("home/.config/quenlor/registry", "[K]\n@=HOME\n");
  platform::SetRegistryFiles(nullptr, "");
  auto defaultValue = []() -> std::string {
    HKEY key = 0;
    if (platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, "K", 0, platform::KEY_READ, &key) !=
        Success) {
      return "";
    }
    char data[8] = {};
    DWORD size = sizeof data;
    platform::RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<unsigned char*>(data),
                               &size);
    platform::RegCloseKey(key);
    return data;
  };
  {
    ScopedEnvironment home("HOME", (dir / "home").c_str());
    ScopedEnvironment xdg("XDG_CONFIG_HOME", (dir / "xdg").c_str());
    EXPECT_EQ(defaultValue(), "XDG");
  }
  {
    ScopedEnvironment home("HOME", (dir / "home").c_str());
    ScopedEnvironment xdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(defaultValue(), "HOME");
  }
  {
    ScopedEnvironment home("HOME", (dir / "home").c_str());
    ScopedEnvironment xdg("XDG_CONFIG_HOME", "relative/xdg");
    EXPECT_EQ(defaultValue(), "HOME") << "a relative XDG_CONFIG_HOME is ignored";
  }
  {
    ScopedEnvironment home("HOME", nullptr);
    ScopedEnvironment xdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(defaultValue(), "");
  }
  {
    // Relative to the current folder, HOME would name the scratch directory's file.
    const std::string relativeHome = (dir / "home").substr(1);
    ScopedEnvironment home("HOME", relativeHome.c_str());
    ScopedEnvironment xdg("XDG_CONFIG_HOME", nullptr);
    ScopedDirectory root("/");
    EXPECT_EQ(defaultValue(), "") << "a relative HOME is ignored";
  }
  platform::SetRegistryFiles("", "");
}

// The language override: the first of three keys that exists, its value named by the program's
// long path or else its default value.
struct OverrideCase {
  const char* name;
  std::string user;
  std::string machine;
  const char* expected;
};
void PrintTo(const OverrideCase& c, std::ostream* os) { *os << c.name; }

class LanguageOverride : public ::testing::TestWithParam<OverrideCase> {};

TEST_P(LanguageOverride, FollowsTheKeyOrder) {
  const OverrideCase& c = GetParam();
  ScratchDirectory dir;
  const std::string program = dir.Write("bin/framecalc", "");
  std::string user = c.user;
  std::string machine = c.machine;
  for (std::string* text : {&user, &machine}) {
    for (size_t at = text->find("PROGRAM"); at != std::string::npos; at = text->find("PROGRAM")) {
      text->replace(at, 7, program);
    }
  }
  dir.Write("user", user);
  dir.Write("machine", machine);
  platform::SetRegistryFiles((dir / "user").c_str(), (dir / "machine").c_str());
  char languageOverride[5];
  std::memset(languageOverride, 'x', sizeof languageOverride);
  // Through a detour, so that only the long form names the value.
  ReadLanguageOverride((dir / "bin/../bin/./framecalc").c_str(), languageOverride);
  EXPECT_STREQ(languageOverride, c.expected);
  platform::SetRegistryFiles("", "");
}

INSTANTIATE_TEST_SUITE_P(
    Keys, LanguageOverride,
    ::testing::Values(
        OverrideCase{"UserLocalesFirst", "[Software\\Quenlor\\Locales]\n\"PROGRAM\"=DEU\n",
                     "[Software\\Quenlor\\Locales]\n\"PROGRAM\"=FRA\n", "DEU"},
        OverrideCase{"MachineLocalesSecond",
                     "[Software\\Quenlor\\Vantro\\Locales]\n\"PROGRAM\"=ITA\n",
                     "[Software\\Quenlor\\Locales]\n\"PROGRAM\"=FRA\n", "FRA"},
        OverrideCase{"UserVantroLocalesLast",
                     "[Software\\Quenlor\\Vantro\\Locales]\n\"PROGRAM\"=ITA\n", "", "ITA"},
        OverrideCase{"FirstExistingKeyDecidesEvenWhenEmpty", "[Software\\Quenlor\\Locales]\n",
                     "[Software\\Quenlor\\Locales]\n\"PROGRAM\"=FRA\n", ""},
        OverrideCase{"DefaultValueWhenNoneForTheProgram",
                     "[Software\\Quenlor\\Locales]\n\"/other/program\"=DEU\n@=ESP\n", "", "ESP"},
        OverrideCase{"ProgramValueBeforeDefault",
                     "[Software\\Quenlor\\Locales]\n@=ESP\n\"PROGRAM\"=NLD\n", "", "NLD"},
        OverrideCase{"TooLongTextFallsToDefault",
                     "[Software\\Quenlor\\Locales]\n\"PROGRAM\"=Deutsch\n@=ENG\n", "", "ENG"},
        OverrideCase{"TooLongEverywhereGivesNone",
                     "[Software\\Quenlor\\Locales]\n\"PROGRAM\"=Deutsch\n@=English\n", "", ""},
        OverrideCase{"FiveBytesWithoutZeroAreCutToFour",
                     "[Software\\Quenlor\\Locales]\n\"PROGRAM\"=hex:44,45,55,54,53\n", "", "DEUT"},
        OverrideCase{"NoKeyAtAll", "[Software\\Other]\n@=DEU\n", "", ""}),
    [](const ::testing::TestParamInfo<OverrideCase>& test) { return test.param.name; });

}  // namespace
