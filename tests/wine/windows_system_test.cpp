// What only the Windows build does, run under Wine: language modules as resource-only DLLs made by
// tools/make-language-dll.sh, the registry override of the language, the report in the console's
// OEM code page, and the start-up registry value that a machine failing the keyboard test never
// reads. The Windows program is copied into a scratch directory; registry values are set with
// Wine's reg.exe in the program's prefix and removed again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/program_runner.h"

namespace {

namespace fs = std::filesystem;

const char MistypedNumber[] = "12a\n";
const char ParallelLines[] = "1\n2\n1\n7\nX\n5\n";

const std::string EnglishReport =
    "Exception EInOutError in module framecalc.exe at ########.\r\nInvalid numeric input.\r\n\r\n";
const std::string GermanReport =
    "Ausnahme EInOutError in Modul framecalc.exe bei ########.\r\nUngueltige Zahl.\r\n\r\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

// The example module with the mistyped number's message and the report template translated.
std::string GermanSource() {
  std::string text = ReadFile(std::string(FRAMECALC_SOURCE_DIR) + "/share/framecalc.example.lang");
  const auto replace = [&text](const std::string& line, const std::string& translated) {
    const size_t at = text.find(line);
    if (at != std::string::npos) text.replace(at, line.size(), translated);
    return at != std::string::npos;
  };
  EXPECT_TRUE(replace("65528 = Invalid numeric input", "65528 = Ungueltige Zahl"));
  EXPECT_TRUE(replace("65511 = Exception %s in module %s at %p.\\r\\n%s%s\\r\\n",
                      "65511 = Ausnahme %s in Modul %s bei %p.\\r\\n%s%s\\r\\n"));
  return text;
}

class WindowsSystem : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::canonical(e2e::MakeTempDir()).string();
    program_ = dir_ + "/framecalc.exe";
    fs::copy_file(e2e::ProgramPath(), program_);
  }
  void TearDown() override {
    for (const std::string& key : keysToRemove_) Reg({"delete", key, "/f"});
    e2e::RemoveTree(dir_);
  }

  // The module made by the project's tool from a text source.
  void MakeModule(const std::string& name, const std::string& source) {
    const std::string sourcePath = dir_ + "/" + name + ".lang";
    std::ofstream(sourcePath, std::ios::binary) << source;
    const std::string command = "FRAMECALC_MINGW_PREFIX='" + MingwPrefix() + "' bash '" +
                                FRAMECALC_SOURCE_DIR + "/tools/make-language-dll.sh' '" +
                                sourcePath + "' '" + dir_ + "/" + name + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // Wine's reg.exe in the program's prefix; the key is removed after the test.
  void SetValue(const std::string& key, std::vector<std::string> valueArguments) {
    keysToRemove_.push_back(key);
    std::vector<std::string> arguments = {"add", key};
    arguments.insert(arguments.end(), valueArguments.begin(), valueArguments.end());
    arguments.push_back("/f");
    const e2e::RunResult r = Reg(arguments);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }

  e2e::RunResult Reg(const std::vector<std::string>& arguments) {
    e2e::RunOptions options;
    options.program = "reg";
    options.arguments = arguments;
    options.input = e2e::InputKind::DevNull;
    options.environment["FRAMECALC_WINEARCH"] = Is64Bit() ? "win64" : "win32";
    return e2e::RunProgram(options);
  }

  e2e::RunResult Run(const char* locale, const std::string& input) {
    e2e::RunOptions options;
    options.program = program_;
    options.stdinBytes = input;
    options.environment["LC_ALL"] = locale;
    options.unsetEnvironment = {"LC_MESSAGES", "LANG"};
    e2e::RunResult r = e2e::RunProgram(options);
    // The runner is a shell script: its shell warns about a locale that Linux lacks (Wine needs
    // none to take the language from LC_ALL). That line is the shell's, not the program's.
    const std::string warning = "bash: warning: setlocale: LC_ALL: cannot change locale";
    if (r.err.rfind(warning, 0) == 0) r.err.erase(0, r.err.find('\n') + 1);
    return r;
  }

  // The program's path as Windows names it (Wine's drive Z: is the Linux root).
  std::string WindowsPath() const {
    std::string path = "Z:" + program_;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
  }

  static std::string MingwPrefix() {
    const char* prefix = std::getenv("FRAMECALC_BINUTILS_PREFIX");
    std::string text = prefix != nullptr ? prefix : "i686-w64-mingw32-";
    if (!text.empty() && text.back() == '-') text.pop_back();
    return text;
  }
  static bool Is64Bit() { return MingwPrefix().rfind("x86_64", 0) == 0; }

  void ExpectReport(const e2e::RunResult& r, const std::string& expected) {
    EXPECT_TRUE(std::regex_match(r.err, std::regex(e2e::ReportPattern(expected)))) << r.err;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.timedOut);
  }

  std::string dir_;
  std::string program_;
  std::vector<std::string> keysToRemove_;
};

TEST_F(WindowsSystem, LanguageDllOfTheLocale) {
  MakeModule("framecalc.DEU", GermanSource());
  ExpectReport(Run("de_DE.UTF-8", MistypedNumber), GermanReport);
  ExpectReport(Run("C", MistypedNumber), EnglishReport);
}

TEST_F(WindowsSystem, TwoLetterLanguageDll) {
  MakeModule("framecalc.DE", GermanSource());
  ExpectReport(Run("de_AT.UTF-8", MistypedNumber), GermanReport);
}

// An entry the module lacks is the program's own; so is a text that does not fit its use.
TEST_F(WindowsSystem, MissingOrUnfitEntryGivesTheProgramsText) {
  MakeModule("framecalc.DEU",
             "65511 = Ausnahme %s in Modul %s bei %p.\\r\\n%s%s\\r\\n\n"
             "65521 = E/A-Fehler %s %s\n");
  ExpectReport(Run("de_DE.UTF-8", MistypedNumber),
               "Ausnahme EInOutError in Modul framecalc.exe bei ########.\r\n"
               "Invalid numeric input.\r\n\r\n");
  // A template with more conversions, or with a width or a precision on any of them (the report
  // would show the address alone, or lose the message past its limit).
  for (const char* unfit : {"Ausnahme %s %s %s %s %s %s", "%.0s%.0s%p%.0s%.0s",
                            "%1024s|%1024s|%1024p|%1024s|%1024s",
                            "Ausnahme %s in Modul %s bei %p.\\r\\n%s%1024s\\r\\n"}) {
    MakeModule("framecalc.DEU", "65528 = Ungueltige Zahl\n65511 = " + std::string(unfit) + "\n");
    ExpectReport(Run("de_DE.UTF-8", MistypedNumber),
                 "Exception EInOutError in module framecalc.exe at ########.\r\n"
                 "Ungueltige Zahl.\r\n\r\n");
  }
}

TEST_F(WindowsSystem, RegistryOverrideForTheProgramsLongPath) {
  MakeModule("framecalc.ITA", GermanSource());
  MakeModule("framecalc.DEU", "65528 = ohne Vorrang\n");
  SetValue("HKCU\\Software\\Quenlor\\Locales", {"/v", WindowsPath(), "/d", "ITA"});
  ExpectReport(Run("de_DE.UTF-8", MistypedNumber), GermanReport);
  ExpectReport(Run("C", MistypedNumber), GermanReport);
}

TEST_F(WindowsSystem, RegistryOverrideByTheDefaultValue) {
  MakeModule("framecalc.ITA", GermanSource());
  SetValue("HKCU\\Software\\Quenlor\\Vantro\\Locales", {"/ve", "/d", "ITA"});
  ExpectReport(Run("C", MistypedNumber), GermanReport);
}

// "Ungültige Zahl äöß" written in code page 1252 (as bytes, and one as an escape) reaches
// standard error in the OEM code page of a German locale (850: ü 81, ä 84, ö 94, ß E1; the same
// bytes in 437). The tool reads the text format as the Linux build does: a later line replaces
// an earlier one, a malformed line (one with a zero byte among them) is skipped.
TEST_F(WindowsSystem, ReportInTheOemCodePage) {
  MakeModule("framecalc.DEU",
             "65528 = erste Zeile\n"
             "65528 = Ung\xFCltige Zahl \\xE4\xF6\xDF\n"
             "65528 Zahl ohne Gleichheitszeichen\n"
             "65528 = kaputt \\q\n"
             "65528 = Null\\x00Byte\n");
  const e2e::RunResult r = Run("de_DE.UTF-8", MistypedNumber);
  ExpectReport(r, "Exception EInOutError in module framecalc.exe at ########.\r\n"
                  "Ung\x81ltige Zahl \x84\x94\xE1.\r\n\r\n");
}

// Wine's keyboard fails the start-up test: a value that would mask every floating-point
// exception is never read, and parallel lines still divide by zero.
TEST_F(WindowsSystem, FpuMaskValueIsNotReadWithoutTheKeyboard) {
  SetValue("HKLM\\SOFTWARE\\Quenlor\\Vantro\\RTL",
           {"/v", "FPUMaskValue", "/t", "REG_DWORD", "/d", "63"});
  const e2e::RunResult r = Run("C", ParallelLines);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Exception EZeroDivide in module framecalc\\.exe at [0-9A-F]{8}\\.\r\n"
                        "Floating point division by zero\\.\r\n\r\n")))
      << r.err;
  EXPECT_EQ(r.exitCode, 1);
}

}  // namespace
