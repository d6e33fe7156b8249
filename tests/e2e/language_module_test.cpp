// Message texts from a language module beside the program: the calculator copied into a scratch
// directory with module files next to it, the user's configuration file in a scratch home, and
// the locale from the environment.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "support/program_runner.h"

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
  std::string program;         // where the program is copied, below the scratch directory
  std::vector<File> files;     // modules and the configuration file (below "home/")
  const char* locale;          // LC_ALL
  std::string expectedReport;  // standard error, with "@" for the module name and "########"
                               // for the address
};
void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

// A scratch directory that holds the program, its modules and the user's home.
class ScratchInstall : public testing::Test {
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

class LanguageModules : public ScratchInstall, public testing::WithParamInterface<LanguageCase> {};

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
  EXPECT_TRUE(std::regex_match(r.err, std::regex(e2e::ReportPattern(expected)))) << r.err;
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(r.timedOut);
}

const std::string EnglishReport =
    "Exception EInOutError in module @ at ########.\r\nInvalid numeric input.\r\n\r\n";
const std::string GermanReport =
    "Ausnahme EInOutError in Modul @ bei ########.\r\nUngueltige Zahl.\r\n\r\n";

// A module whose report template is `text` (none when null) beside a fitting message.
LanguageCase HostileTemplate(const char* name, const char* text) {
  std::string module = "65528 = Ungueltige Zahl\n";
  if (text != nullptr) module += "65511 = " + std::string(text) + "\n";
  return LanguageCase{name,
                      "framecalc",
                      {{"framecalc.DEU", module}},
                      "de_DE",
                      "Exception EInOutError in module @ at ########.\r\nUngueltige Zahl.\r\n\r\n"};
}

std::string Override(const std::string& value) {
  return "[Software\\Quenlor\\Locales]\n" + value + "\n";
}

// Text language modules, the registry file and locale names are the Linux build's own: the
// Windows build's language DLLs and registry are tested apart.
INSTANTIATE_TEST_SUITE_P(
    CandidatesNotUnderWine, LanguageModules,
    testing::Values(
        LanguageCase{"NoModule", "framecalc", {}, "de_DE.UTF-8", EnglishReport},
        LanguageCase{"ModuleOfAnotherLanguage",
                     "framecalc",
                     {{"framecalc.FRA", "65528 = Nombre invalide\n"}},
                     "de_DE.UTF-8",
                     EnglishReport},
        LanguageCase{"FullAbbreviation",
                     "framecalc",
                     {{"framecalc.DEU", GermanModule}},
                     "de_DE.UTF-8",
                     GermanReport},
        // An entry the module lacks, or holds empty, is the program's own.
        LanguageCase{
            "MissingEntryGivesTheProgramsMessage",
            "framecalc",
            {{"framecalc.DEU", "65511 = Ausnahme %s in Modul %s bei %p.\\r\\n%s%s\\r\\n"}},
            "de_DE",
            "Ausnahme EInOutError in Modul @ bei ########.\r\nInvalid numeric input.\r\n\r\n"},
        LanguageCase{
            "EmptyEntryGivesTheProgramsMessage",
            "framecalc",
            {{"framecalc.DEU", "65528 =\n65511 = Ausnahme %s in Modul %s bei %p.\\r\\n%s%s\\r\\n"}},
            "de_DE",
            "Ausnahme EInOutError in Modul @ bei ########.\r\nInvalid numeric input.\r\n\r\n"},
        LanguageCase{"TwoLetterFallback",
                     "framecalc",
                     {{"framecalc.DE", GermanModule}},
                     "de_AT",
                     GermanReport},
        LanguageCase{
            "FullAbbreviationBeforeTwoLetters",
            "framecalc",
            {{"framecalc.DEA", GermanModule}, {"framecalc.DE", "65528 = zwei Buchstaben\n"}},
            "de_AT",
            GermanReport},
        LanguageCase{
            "OverrideForTheProgramCutToFourCharacters",
            "framecalc",
            {{"framecalc.DEUT", GermanModule},
             {"framecalc.DEU", "65528 = ohne Vorrang\n"},
             {"home/.config/quenlor/registry", Override("\"PROGRAM\"=hex:44,45,55,54,53")}},
            "de_DE",
            GermanReport},
        LanguageCase{
            "OverrideByDefaultValue",
            "framecalc",
            {{"framecalc.ITA", GermanModule}, {"home/.config/quenlor/registry", Override("@=ITA")}},
            "C",
            GermanReport},
        LanguageCase{
            "OverrideWithoutItsFileFallsToTheLocale",
            "framecalc",
            {{"framecalc.DEU", GermanModule}, {"home/.config/quenlor/registry", Override("@=ITA")}},
            "de_DE",
            GermanReport},
        LanguageCase{"ProgramWithAnExtension",
                     "frame.calc",
                     {{"frame.DEU", GermanModule}},
                     "de_DE",
                     GermanReport},
        LanguageCase{
            "DotInADirectoryName",
            ".local/bin/framecalc",
            {{".DEU", "65528 = falsche Datei\n"}, {".local/bin/framecalc.DEU", GermanModule}},
            "de_DE",
            GermanReport},
        // An installed program finds the modules of its data folder, ../share/framecalc/.
        LanguageCase{"InstalledInAPrefix",
                     "prefix/bin/framecalc",
                     {{"prefix/share/framecalc/framecalc.DEU", GermanModule}},
                     "de_DE.UTF-8",
                     GermanReport},
        LanguageCase{"BesideTheProgramBeforeTheDataFolder",
                     "prefix/bin/framecalc",
                     {{"prefix/bin/framecalc.DEU", GermanModule},
                      {"prefix/share/framecalc/framecalc.DEU", "65528 = installiert\n"}},
                     "de_DE.UTF-8",
                     GermanReport},
        LanguageCase{"InstalledOverrideBeforeTheLocaleBeside",
                     "prefix/bin/framecalc",
                     {{"prefix/bin/framecalc.DEU", "65528 = nach dem Gebietsschema\n"},
                      {"prefix/share/framecalc/framecalc.ITA", GermanModule},
                      {"home/.config/quenlor/registry", Override("@=ITA")}},
                     "de_DE.UTF-8",
                     GermanReport},
        LanguageCase{"CLocaleWithoutEnglishModule",
                     "framecalc",
                     {{"framecalc.DEU", GermanModule}},
                     "C",
                     EnglishReport},
        LanguageCase{"BinaryFileIsNoModule",
                     "framecalc",
                     {{"framecalc.DEU", std::string("\x7F"
                                                    "ELF\x02\x01\x01\0\0\0\xFF\xFE",
                                                    12)}},
                     "de_DE",
                     EnglishReport},
        // A template that cannot serve is not used: the report is made once, with the program's
        // own template and the module's message.
        HostileTemplate("UnfitTemplate", "%s %s %s %s %s %s %s"),
        HostileTemplate("MissingTemplate", nullptr), HostileTemplate("EmptyTemplate", ""),
        HostileTemplate("HugeWidth", "Ausnahme %s in Modul %s bei %p.\\r\\n%s%9999999s\\r\\n"),
        HostileTemplate("HugePrecision", "Ausnahme %s in Modul %s bei %p.\\r\\n%.9999999s%s\\r\\n"),
        HostileTemplate("WidthBeyond32Bits", "Ausnahme %2147483648s in Modul %s bei %p.\\r\\n%s%s"),
        HostileTemplate("StarWidth", "Ausnahme %*s in Modul %s bei %p.\\r\\n%s%s\\r\\n"),
        HostileTemplate("WriteCount", "Ausnahme %s in Modul %s bei %p.\\r\\n%s%s%n\\r\\n"),
        HostileTemplate("TooFewConversions", "Ausnahme %s"),
        HostileTemplate("NoConversions", std::string(100000, 'x').c_str()),
        // 254 characters before the first conversion: the cut at 255 leaves a lone "%".
        HostileTemplate("CutInsideAConversion", ("Exception " + std::string(244, '0') +
                                                 "%s in module %s at %p.\\r\\n%s%s\\r\\n")
                                                    .c_str()),
        HostileTemplate("BinaryText", "\\x01\\xFF\\x80%\\x1A\\x7F"),
        // Conversions with a width or a precision: the report would show the address alone, or
        // lose the message past its limit.
        HostileTemplate("PrecisionsHideAllButTheAddress", "%.0s%.0s%p%.0s%.0s"),
        HostileTemplate("WidthsPushTheMessageOut", "%1024s|%1024s|%1024p|%1024s|%1024s"),
        HostileTemplate("WidthUpToTheReportLimit",
                        "Ausnahme %s in Modul %s bei %p.\\r\\n%s%1024s\\r\\n"),
        // A zero byte, written or escaped, spoils its whole line: the earlier template stands.
        LanguageCase{"EscapedZeroByteSpoilsItsLine",
                     "framecalc",
                     {{"framecalc.DEU", std::string(GermanModule) + "65528 = Null\\x00Byte\n"
                                                                    "65511 = %s %s %p\\x00%s%s\n"}},
                     "de_DE",
                     GermanReport},
        LanguageCase{"ZeroByteSpoilsItsLine",
                     "framecalc",
                     {{"framecalc.DEU",
                       std::string(GermanModule) + std::string("65528 = Null\0Byte\n", 18)}},
                     "de_DE",
                     GermanReport}),
    [](const testing::TestParamInfo<LanguageCase>& test) { return test.param.name; });

// Texts the report of a write failure formats, translated with widths no report can hold, while
// standard output is closed: the report is made once, with the program's own texts.
TEST_F(LanguageModules, UnfitIoMessagesCannotLoseTheReportNotUnderWine) {
  const std::string program = Install("framecalc");
  Write("framecalc.DEU", "65521 = E/A-Fehler %9999999d\n65513 = Format %9999999s falsch\n");
  e2e::RunOptions options;
  options.program = program;
  options.stdinBytes = "100\n";
  options.output = e2e::OutputKind::Closed;
  options.environment["HOME"] = dir_ + "/home";
  options.environment["LC_ALL"] = "de_DE";
  options.unsetEnvironment = {"XDG_CONFIG_HOME", "LC_MESSAGES", "LANG"};
  const e2e::RunResult r = e2e::RunProgram(options);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Exception EInOutError in module framecalc at [0-9A-F]{8}\\.\r\n"
                        "I/O error 105\\.\r\n\r\n")))
      << r.err;
  EXPECT_EQ(r.exitCode, 1);
}

// The German module that ships with the program, installed as a package installs it: the
// program in PREFIX/bin, the module in PREFIX/share/framecalc.
struct ShippedCase {
  const char* name;
  const char* input;
  const char* locale;
  std::string expectedReport;  // "########" for the address
};
void PrintTo(const ShippedCase& c, std::ostream* os) { *os << c.name; }

class ShippedGermanModule : public ScratchInstall,
                            public testing::WithParamInterface<ShippedCase> {};

TEST_P(ShippedGermanModule, ReportsInGermanFromTheDataFolder) {
  const ShippedCase& c = GetParam();
  const std::string program = Install("usr/bin/framecalc");
  fs::create_directories(dir_ + "/usr/share/framecalc");
  fs::copy_file(std::string(FRAMECALC_SOURCE_DIR) + "/share/framecalc.DEU.lang",
                dir_ + "/usr/share/framecalc/framecalc.DEU");
  const e2e::RunResult r = RunIn(program, c.locale, c.input);
  EXPECT_TRUE(std::regex_match(r.err, std::regex(e2e::ReportPattern(c.expectedReport)))) << r.err;
  EXPECT_EQ(r.exitCode, 1);
}

INSTANTIATE_TEST_SUITE_P(
    FailuresNotUnderWine, ShippedGermanModule,
    testing::Values(ShippedCase{"MistypedNumber", "12a\n", "de_DE.UTF-8",
                                "Ausnahme EInOutError in Modul framecalc an Adresse ########.\r\n"
                                "Ungültige Zahleneingabe.\r\n\r\n"},
                    ShippedCase{"ParallelLines", "1\n2\n1\n7\nX\n5\n", "de_DE.UTF-8",
                                "Ausnahme EZeroDivide in Modul framecalc an Adresse ########.\r\n"
                                "Gleitkommadivision durch null.\r\n\r\n"},
                    // The shipped module is named DEU: an Austrian locale looks for DEA, then DE.
                    ShippedCase{"AustrianLocaleTakesNoDEU", "1\n2\n", "de_AT.UTF-8@euro",
                                "Exception EInOutError in module framecalc at ########.\r\n"
                                "Read beyond end of file.\r\n\r\n"},
                    ShippedCase{"EnglishLocale", "1\n2\n", "en_US.UTF-8",
                                "Exception EInOutError in module framecalc at ########.\r\n"
                                "Read beyond end of file.\r\n\r\n"}),
    [](const testing::TestParamInfo<ShippedCase>& test) { return test.param.name; });

// A link to the installed program (as in ~/bin) finds the modules of the program's real folder,
// not of the link's.
TEST_F(ScratchInstall, LinkToTheProgramFindsItsDataFolderNotUnderWine) {
  const std::string program = Install("usr/bin/framecalc");
  Write("usr/share/framecalc/framecalc.DEU", GermanModule);
  Write("home/share/framecalc/framecalc.DEU", "65528 = beim Verweis\n");
  fs::create_directories(dir_ + "/home/bin");
  fs::create_symlink(program, dir_ + "/home/bin/framecalc");
  const e2e::RunResult r = RunIn(dir_ + "/home/bin/framecalc", "de_DE.UTF-8", "12a\n");
  std::string expected = GermanReport;
  expected.replace(expected.find('@'), 1, "framecalc");
  EXPECT_TRUE(std::regex_match(r.err, std::regex(e2e::ReportPattern(expected)))) << r.err;
  EXPECT_EQ(r.exitCode, 1);
}

TEST_F(LanguageModules, NormalRunWithAModuleEndsWithCodeZeroNotUnderWine) {
  const std::string program = Install("framecalc");
  Write("framecalc.DEU", GermanModule);
  const e2e::RunResult r = RunIn(program, "de_DE", "100\n200\n300\n400\nX\n150\n\n");
  EXPECT_NE(r.out.find("X= 150.00m\r\nY= 250.00m\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exitCode, 0);
}

}  // namespace
