// The candidate file names of a language module and the order in which they are tried.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/string_tables.h"
#include "runtime/message_text.h"
#include "tests/unit/language/temp_files.h"

namespace {

struct CandidateCase {
  const char* name;
  std::string path;
  const char* abbreviation;
  const char* expected;          // null: no candidate
  const char* folder = nullptr;  // the data folder, relative to the module's own
};
void PrintTo(const CandidateCase& c, std::ostream* os) { *os << c.name; }

class Candidate : public ::testing::TestWithParam<CandidateCase> {};

TEST_P(Candidate, ReplacesTheExtensionOfTheFileNameOnly) {
  const CandidateCase& c = GetParam();
  char candidate[PathBufferSize];
  const bool made = LanguageModuleCandidate(c.path.c_str(), c.abbreviation, candidate, c.folder);
  if (c.expected == nullptr) {
    EXPECT_FALSE(made) << candidate;
  } else {
    ASSERT_TRUE(made);
    EXPECT_STREQ(candidate, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Candidate,
    ::testing::Values(
        CandidateCase{"NoExtensionGetsOneAppended", "/opt/calc/framecalc", "DEU",
                      "/opt/calc/framecalc.DEU"},
        CandidateCase{"DotInADirectoryIsNoExtension", "/home/u/.local/bin/framecalc", "DEU",
                      "/home/u/.local/bin/framecalc.DEU"},
        CandidateCase{"DottedDirectoryAndNoSlashAfterIt", "/opt/v1.2/frame", "DE",
                      "/opt/v1.2/frame.DE"},
        CandidateCase{"ExtensionIsReplaced", "/opt/frame.calc", "DEU", "/opt/frame.DEU"},
        CandidateCase{"OnlyTheLastExtension", "/opt/a.b.c", "DE", "/opt/a.b.DE"},
        CandidateCase{"EmptyExtension", "/opt/frame.", "ENU", "/opt/frame.ENU"},
        CandidateCase{"HiddenFileHasNoExtension", "/opt/.framecalc", "ENU", "/opt/.framecalc.ENU"},
        CandidateCase{"RelativeName", "framecalc", "FRA", "framecalc.FRA"},
        CandidateCase{"FourLetterOverride", "/opt/frame.calc", "DEUT", "/opt/frame.DEUT"},
        CandidateCase{"EmptyPath", "", "DEU", nullptr},
        CandidateCase{"EmptyAbbreviation", "/opt/framecalc", "", nullptr},
        CandidateCase{"AbbreviationWithSlash", "/opt/framecalc", "../x", nullptr},
        CandidateCase{"AbbreviationDotDot", "/opt/framecalc", "..", nullptr},
        CandidateCase{"AbbreviationWithControlCharacter", "/opt/framecalc", "D\nE", nullptr},
        CandidateCase{"InTheDataFolder", "/usr/bin/framecalc", "DEU",
                      "/usr/bin/../share/framecalc/framecalc.DEU", "../share/framecalc/"},
        CandidateCase{"InTheDataFolderWithAnExtension", "/opt/v1.2/frame.calc", "DE",
                      "/opt/v1.2/../share/framecalc/frame.DE", "../share/framecalc/"},
        CandidateCase{"InTheDataFolderOfARelativeName", "framecalc", "FRA",
                      "../share/framecalc/framecalc.FRA", "../share/framecalc/"},
        CandidateCase{"NoDataFolderCandidateForABadAbbreviation", "/usr/bin/framecalc", "../x",
                      nullptr, "../share/framecalc/"}),
    [](const ::testing::TestParamInfo<CandidateCase>& test) { return test.param.name; });

TEST(Candidate, MustFitThePathBuffer) {
  // 256 characters of path, "." and three letters: 260 characters and the terminating zero.
  const std::string fits = "/" + std::string(250, 'd') + "/calc";
  ASSERT_EQ(fits.size(), 256u);
  char candidate[PathBufferSize];
  ASSERT_TRUE(LanguageModuleCandidate(fits.c_str(), "DEU", candidate));
  EXPECT_EQ(std::string(candidate), fits + ".DEU");
  EXPECT_FALSE(LanguageModuleCandidate((fits + "x").c_str(), "DEU", candidate));
  EXPECT_TRUE(LanguageModuleCandidate((fits + "x").c_str(), "DE", candidate));
  EXPECT_FALSE(LanguageModuleCandidate((fits + "x").c_str(), "DEUT", candidate));
  // The data folder counts too.
  const std::string folder = "../s/";
  const std::string shorter = fits.substr(0, fits.size() - folder.size());
  ASSERT_TRUE(LanguageModuleCandidate(shorter.c_str(), "DEU", candidate, folder.c_str()));
  EXPECT_EQ(std::string(candidate).size(), 260u);
  EXPECT_FALSE(LanguageModuleCandidate((shorter + "x").c_str(), "DEU", candidate, folder.c_str()));
}

// Each file beside the program names itself in entry 1.
struct OrderCase {
  const char* name;
  std::vector<const char*> files;  // extensions present beside the program
  const char* languageOverride;
  const char* languageName;
  const char* expected;  // the extension of the module found; "" for none
};
void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

class CandidateOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(CandidateOrder, OverrideThenFullNameThenTwoLetters) {
  const OrderCase& c = GetParam();
  ScratchDirectory dir;
  for (const char* extension : c.files) {
    dir.Write(std::string("framecalc.") + extension, std::string("1 = ") + extension + "\n");
  }
  dir.Write("framecalc.BAD", "this is not a module\n");
  const std::string program = dir / "framecalc";
  const platform::HMODULE module =
      LoadLanguageCandidates(program.c_str(), c.languageOverride, c.languageName);
  if (c.expected[0] == '\0') {
    EXPECT_EQ(module, 0u);
    return;
  }
  ASSERT_NE(module, 0u);
  char text[16];
  ASSERT_GT(platform::LoadStringA(module, 1, text, sizeof text), 0);
  EXPECT_STREQ(text, c.expected);
  platform::FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CandidateOrder,
    ::testing::Values(OrderCase{"OverrideFirst", {"DEUT", "DEU", "DE"}, "DEUT", "DEU", "DEUT"},
                      OrderCase{"FullNameWhenOverrideMissing", {"DEU", "DE"}, "FRA", "DEU", "DEU"},
                      OrderCase{"TwoLettersLast", {"DE"}, "FRA", "DEU", "DE"},
                      OrderCase{"NoOverride", {"DEU", "DE"}, "", "DEU", "DEU"},
                      OrderCase{"OverrideOnly", {"ITA"}, "ITA", "", "ITA"},
                      OrderCase{"OverrideIsNotCutToTwoLetters", {"IT"}, "ITA", "", ""},
                      OrderCase{"UnloadableFileMovesOn", {"DE"}, "BAD", "DEU", "DE"},
                      OrderCase{"TwoLetterName", {"DE"}, "", "DE", "DE"},
                      OrderCase{"NothingThere", {"FRA"}, "ITA", "DEU", ""},
                      OrderCase{"NoLanguageAtAll", {"DEU"}, "", "", ""}),
    [](const ::testing::TestParamInfo<OrderCase>& test) { return test.param.name; });

// An installed program: bin/framecalc with modules beside it and in share/framecalc/. Each file
// names itself (its path below the prefix) in entry 1.
struct DataFolderCase {
  const char* name;
  std::vector<const char*> files;  // below the prefix; "!" first: a file that is no module
  const char* languageOverride;
  const char* languageName;
  const char* expected;  // the path of the module found; "" for none
};
void PrintTo(const DataFolderCase& c, std::ostream* os) { *os << c.name; }

class DataFolderOrder : public ::testing::TestWithParam<DataFolderCase> {};

TEST_P(DataFolderOrder, EachNameBesideTheProgramThenInTheDataFolder) {
  const DataFolderCase& c = GetParam();
  ScratchDirectory dir;
  for (const std::string file : c.files) {
    if (file[0] == '!') {
      dir.Write(file.substr(1), "this is not a module\n");
    } else {
      dir.Write(file, "1 = " + file + "\n");
    }
  }
  // The program's folder exists: "bin/.." is resolved through it.
  const std::string program = dir.Write("bin/framecalc", "");
  const platform::HMODULE module =
      LoadLanguageCandidates(program.c_str(), c.languageOverride, c.languageName);
  if (c.expected[0] == '\0') {
    EXPECT_EQ(module, 0u);
    return;
  }
  ASSERT_NE(module, 0u);
  char text[64];
  ASSERT_GT(platform::LoadStringA(module, 1, text, sizeof text), 0);
  EXPECT_STREQ(text, c.expected);
  platform::FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DataFolderOrder,
    ::testing::Values(
        DataFolderCase{"InstalledModule",
                       {"share/framecalc/framecalc.DEU"},
                       "",
                       "DEU",
                       "share/framecalc/framecalc.DEU"},
        DataFolderCase{"BesideTheProgramFirst",
                       {"bin/framecalc.DEU", "share/framecalc/framecalc.DEU"},
                       "",
                       "DEU",
                       "bin/framecalc.DEU"},
        DataFolderCase{"UnloadableBesideMovesOnToTheDataFolder",
                       {"!bin/framecalc.DEU", "share/framecalc/framecalc.DEU"},
                       "",
                       "DEU",
                       "share/framecalc/framecalc.DEU"},
        // The language decides before the folder: an override that is installed wins over the
        // locale's module beside the program, the full name over the two letters.
        DataFolderCase{"InstalledOverrideBeforeTheLocaleBeside",
                       {"bin/framecalc.DEU", "share/framecalc/framecalc.ITA"},
                       "ITA",
                       "DEU",
                       "share/framecalc/framecalc.ITA"},
        DataFolderCase{"InstalledFullNameBeforeTwoLettersBeside",
                       {"bin/framecalc.DE", "share/framecalc/framecalc.DEA"},
                       "",
                       "DEA",
                       "share/framecalc/framecalc.DEA"},
        DataFolderCase{"InstalledTwoLetters",
                       {"share/framecalc/framecalc.DE"},
                       "",
                       "DEA",
                       "share/framecalc/framecalc.DE"},
        DataFolderCase{"NoOtherFolder",
                       {"framecalc.DEU", "share/framecalc.DEU", "share/framecalc/DEU",
                        "share/framecalc/bin/framecalc.DEU", "bin/share/framecalc/framecalc.DEU"},
                       "",
                       "DEU",
                       ""}),
    [](const ::testing::TestParamInfo<DataFolderCase>& test) { return test.param.name; });

TEST(CandidateOrder, ProgramWithExtensionAndDottedDirectory) {
  ScratchDirectory dir;
  dir.Write("bin.d/frame.DEU", "1 = right\n");
  dir.Write("bin.DEU", "1 = parent directory\n");
  const std::string withExtension = dir / "bin.d/frame.calc";
  const std::string withoutExtension = dir / "bin.d/frame";
  char text[32];
  for (const std::string& program : {withExtension, withoutExtension}) {
    const platform::HMODULE module = LoadLanguageCandidates(program.c_str(), "", "DEU");
    ASSERT_NE(module, 0u) << program;
    ASSERT_GT(platform::LoadStringA(module, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "right") << program;
    platform::FreeLibrary(module);
  }
}

}  // namespace
