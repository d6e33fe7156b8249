// Message texts from a language module beside the program: the calculator copied into a scratch
// directory with module files next to it, the user's configuration file in a scratch home, and
// the locale from the environment.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "e2e/program_runner.h"

namespace {

namespace fs = std::filesystem;

// A German module: the message for a mistyped number and the report template.
const char GermanModule[] =
    "# framecalc, Deutsch\n"
    "65528 = Ungueltige Zahl\n"
    "65511 = Ausnahme %s in Modul %s bei %p.\\r\\n%s%s\\r\\n\n";

struct File {
  std::string path;  // below the scratch directory
  std::string contents;
};

struct LanguageCase {
  const char* name;
  std::string program;        // where the program is copied, below the scratch directory
  std::vector<File> files;    // modules and the configuration file (below "home/")
  const char* locale;         // LC_ALL
  std::string expectedReport;  // standard error, with "@" for the module name and "########"
                               // for the address
};

std::string Regex(const std::string& text) {
  std::string pattern;
  for (char c : text) {
    if (c == '#') {
      pattern += "[0-9A-F]";
    } else if (std::string(".^$|()[]{}*+?\\").find(c) != std::string::npos) {
      pattern += '\\';
      pattern += c;
    } else {
      pattern += c;
    }
  }
  return pattern;
}

class LanguageModules : public testing::TestWithParam<LanguageCase> {
 protected:
  void SetUp() override { dir_ = fs::canonical(e2e::MakeTempDir()).string(); }
  void TearDown() override { e2e::RemoveTree(dir_); }

  void Write(const std::string& path, const std::string& contents) {
    fs::create_directories(fs::path(dir_ + "/" + path).parent_path());
    std::ofstream(dir_ + "/" + path, std::ios::binary) << contents;
  }

  std::string Install(const std::string& relative) {
    const std::string program = dir_ + "/" + relative;
    fs::create_directories(fs::path(program).parent_path());
    fs::copy_file(e2e::ProgramPath(), program);
    return program;
  }

  e2e::RunResult RunIn(const std::string& program, const char* locale, const std::string& input) {
    e2e::RunOptions options;
    options.program = program;
    options.stdinBytes = input;
    options.environment["HOME"] = dir_ + "/home";
    options.environment["LC_ALL"] = locale;
    options.unsetEnvironment = {"XDG_CONFIG_HOME", "LC_MESSAGES", "LANG"};
    return e2e::RunProgram(options);
  }

  std::string dir_;
};

TEST_P(LanguageModules, ReportOfAMistypedNumber) {
  const LanguageCase& c = GetParam();
  const std::string program = Install(c.program);
  for (File file : c.files) {
    for (size_t at = file.contents.find("PROGRAM"); at != std::string::npos;
         at = file.contents.find("PROGRAM")) {
      file.contents.replace(at, 7, program);
    }
    Write(file.path, file.contents);
  }
  const e2e::RunResult r = RunIn(program, c.locale, "12a\n");
  std::string expected = c.expectedReport;
  expected.replace(expected.find('@'), 1, fs::path(program).filename().string());
  EXPECT_TRUE(std::regex_match(r.err, std::regex(Regex(expected)))) << r.err;
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(r.timedOut);
}

const std::string EnglishReport =
    "Exception EInOutError in module @ at ########.\r\nInvalid numeric input.\r\n\r\n";
const std::string GermanReport =
    "Ausnahme EInOutError in Modul @ bei ########.\r\nUngueltige Zahl.\r\n\r\n";

std::string Override(const std::string& value) {
  return "[Software\\Quenlor\\Locales]\n" + value + "\n";
}

// Text language modules, the registry file and locale names are the Linux build's own: the
// Windows build's language DLLs and registry are tested apart.
INSTANTIATE_TEST_SUITE_P(
    CandidatesNotUnderWine, LanguageModules,
    testing::Values(
        LanguageCase{"NoModule", "framecalc", {}, "de_DE.UTF-8", EnglishReport},
        LanguageCase{"ModuleOfAnotherLanguage", "framecalc",
                     {{"framecalc.FRA", "65528 = Nombre invalide\n"}}, "de_DE.UTF-8",
                     EnglishReport},
        LanguageCase{"FullAbbreviation", "framecalc", {{"framecalc.DEU", GermanModule}},
                     "de_DE.UTF-8", GermanReport},
        LanguageCase{"MissingEntryGivesEmptyMessage", "framecalc",
                     {{"framecalc.DEU", "65511 = Ausnahme %s in Modul %s bei %p.\\r\\n%s%s\\r\\n"}},
                     "de_DE", "Ausnahme EInOutError in Modul @ bei ########.\r\n\r\n\r\n"},
        LanguageCase{"TwoLetterFallback", "framecalc", {{"framecalc.DE", GermanModule}}, "de_AT",
                     GermanReport},
        LanguageCase{"FullAbbreviationBeforeTwoLetters", "framecalc",
                     {{"framecalc.DEA", GermanModule},
                      {"framecalc.DE", "65528 = zwei Buchstaben\n"}},
                     "de_AT", GermanReport},
        LanguageCase{"OverrideForTheProgramCutToFourCharacters", "framecalc",
                     {{"framecalc.DEUT", GermanModule},
                      {"framecalc.DEU", "65528 = ohne Vorrang\n"},
                      {"home/.config/quenlor/registry",
                       Override("\"PROGRAM\"=hex:44,45,55,54,53")}},
                     "de_DE", GermanReport},
        LanguageCase{"OverrideByDefaultValue", "framecalc",
                     {{"framecalc.ITA", GermanModule}, {"home/.config/quenlor/registry", Override("@=ITA")}},
                     "C", GermanReport},
        LanguageCase{"OverrideWithoutItsFileFallsToTheLocale", "framecalc",
                     {{"framecalc.DEU", GermanModule}, {"home/.config/quenlor/registry", Override("@=ITA")}},
                     "de_DE", GermanReport},
        LanguageCase{"ProgramWithAnExtension", "frame.calc", {{"frame.DEU", GermanModule}},
                     "de_DE", GermanReport},
        LanguageCase{"DotInADirectoryName", ".local/bin/framecalc",
                     {{".DEU", "65528 = falsche Datei\n"}, {".local/bin/framecalc.DEU", GermanModule}},
                     "de_DE", GermanReport},
        LanguageCase{"CLocaleWithoutEnglishModule", "framecalc", {{"framecalc.DEU", GermanModule}},
                     "C", EnglishReport},
        LanguageCase{"BinaryFileIsNoModule", "framecalc",
                     {{"framecalc.DEU", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\xFF\xFE", 12)}},
                     "de_DE", EnglishReport},
        // A template whose conversions do not fit the report's arguments is not used: the report
        // is made once, with the program's own template.
        LanguageCase{"UnfitTemplate", "framecalc",
                     {{"framecalc.DEU", "65528 = Ungueltige Zahl\n65511 = %s %s %s %s %s %s %s\n"}},
                     "de_DE",
                     "Exception EInOutError in module @ at ########.\r\nUngueltige Zahl.\r\n\r\n"}),
    [](const testing::TestParamInfo<LanguageCase>& test) { return test.param.name; });

TEST_F(LanguageModules, NormalRunWithAModuleEndsWithCodeZeroNotUnderWine) {
  const std::string program = Install("framecalc");
  Write("framecalc.DEU", GermanModule);
  const e2e::RunResult r = RunIn(program, "de_DE", "100\n200\n300\n400\nX\n150\n\n");
  EXPECT_NE(r.out.find("X= 150.00m\r\nY= 250.00m\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exitCode, 0);
}

}  // namespace
