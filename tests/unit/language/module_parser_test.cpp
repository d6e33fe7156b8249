// The language module file: "identifier = text" lines parsed into a string table.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/string_tables.h"
#include "runtime/string_ids.h"
#include "tests/unit/language/temp_files.h"
#include "platform/posix/string_resources.h"

namespace {

using platform::HMODULE;

std::string TextOf(HMODULE module, platform::UINT id) {
  char buffer[1024];
  const int length = platform::LoadStringA(module, id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

struct ParseCase {
  const char* name;
  std::string input;
  std::map<platform::UINT, std::string> expected;
  std::vector<platform::UINT> absent;
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ModuleParser : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ModuleParser, YieldsExactlyTheWellFormedEntries) {
  const ParseCase& c = GetParam();
  const HMODULE module = platform::LoadLanguageModuleFromMemory(c.input.data(), c.input.size());
  ASSERT_NE(module, 0u);
  for (const auto& [id, text] : c.expected) {
    EXPECT_EQ(TextOf(module, id), text) << "identifier " << id;
  }
  for (platform::UINT id : c.absent) {
    EXPECT_EQ(TextOf(module, id), "") << "identifier " << id;
  }
  EXPECT_EQ(platform::FreeLibrary(module), platform::TRUE_);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ModuleParser,
    ::testing::Values(
        ParseCase{"Plain",
                  "65528 = Invalid numeric input\n",
                  {{65528, "Invalid numeric input"}},
                  {65527}},
        ParseCase{"CrLfLinesAndNoFinalLineEnd",
                  "1 = a\r\n2 = b\r\n3=c",
                  {{1, "a"}, {2, "b"}, {3, "c"}},
                  {}},
        ParseCase{"Escapes", "1 = a\\r\\nb\\t\\\\c\\x41\\x7e\\xFf", {{1, "a\r\nb\t\\cA~\xFF"}}, {}},
        ParseCase{"BlanksAroundTheTextAreDropped",
                  "  12\t=\t  two  blanks \t \n",
                  {{12, "two  blanks"}},
                  {}},
        ParseCase{"EscapedBlanksAreKept",
                  "1 = x\\x20\n2 = \\x20y\n3 = z\\t\n",
                  {{1, "x "}, {2, " y"}, {3, "z\t"}},
                  {}},
        ParseCase{"CommentsAndBlankLines",
                  "# header\n\n   # indented\n\t\n5 = y # kept\n",
                  {{5, "y # kept"}},
                  {}},
        ParseCase{"LaterEntryReplacesEarlier",
                  "3 = first\n4 = other\n3 = second\n",
                  {{3, "second"}, {4, "other"}},
                  {}},
        ParseCase{"MalformedLinesAreSkipped",
                  "x = no number\n= no identifier\n65536 = too big\n4 no equals\n"
                  "9 = bad \\q escape\n10 = ends in backslash\\\n11 = short \\x4\n"
                  "13 = bad \\xG1 digit\n-1 = negative\n12 = ok\n",
                  {{12, "ok"}},
                  {0, 4, 9, 10, 11, 13, 65535}},
        ParseCase{"ByteOrderMark",
                  "\xEF\xBB\xBF"
                  "1 = bom\n",
                  {{1, "bom"}},
                  {}},
        ParseCase{
            "RawZeroByteSpoilsItsLine", std::string("1 = a\0b\n2 = c\n", 14), {{2, "c"}}, {1}},
        ParseCase{"EscapedZeroByteSpoilsItsLine",
                  "1 = a\\x00b\n2 = c\\x00\n3 = d\\x01\n",
                  {{3, "d\x01"}},
                  {1, 2}},
        ParseCase{"EightBitBytesPassThrough",
                  "1 = Gr\xFC\xDF"
                  "e\n",
                  {{1,
                    "Gr\xFC\xDF"
                    "e"}},
                  {}},
        ParseCase{"IdentifierLimits",
                  "0 = zero\n65535 = max\n00042 = leading zeros\n",
                  {{0, "zero"}, {65535, "max"}, {42, "leading zeros"}},
                  {}},
        ParseCase{"HugeIdentifierDoesNotWrap", "4294967297 = wraps to 1\n2 = b\n", {{2, "b"}}, {1}},
        ParseCase{"EmptyTextIsNoEntry", "1 =\n2 = b\n", {{2, "b"}}, {1}},
        ParseCase{"LoneCarriageReturnInsideIsText", "1 = a\rb\n", {{1, "a\rb"}}, {}}),
    [](const ::testing::TestParamInfo<ParseCase>& test) { return test.param.name; });

TEST(ModuleParserRejects, TextsWithoutAnyEntry) {
  const std::string inputs[] = {
      "",
      "# only a comment\n\n",
      std::string("\x7F"
                  "ELF\x02\x01\x01\0\0\0\0\0",
                  12),
      std::string(4096, '\0'),
      "x = y\nfoo\n",
  };
  for (const std::string& input : inputs) {
    EXPECT_EQ(platform::LoadLanguageModuleFromMemory(input.data(), input.size()), 0u)
        << "input of " << input.size() << " bytes";
  }
}

TEST(ModuleParserRejects, TextsLargerThanTheLimit) {
  std::string input = "1 = a\n";
  input.resize(platform::MaxLanguageModuleFileSize + 1, '#');
  EXPECT_EQ(platform::LoadLanguageModuleFromMemory(input.data(), input.size()), 0u);
  input.resize(platform::MaxLanguageModuleFileSize);
  const HMODULE module = platform::LoadLanguageModuleFromMemory(input.data(), input.size());
  ASSERT_NE(module, 0u);
  EXPECT_EQ(TextOf(module, 1), "a");
  platform::FreeLibrary(module);
}

TEST(LanguageModuleFile, LoadsOnlyRegularFilesAsData) {
  ScratchDirectory dir;
  const std::string file = dir.Write("calc.DEU", "65528 = Ungueltige Eingabe\n");
  dir.Write("sub/keep", "");
  EXPECT_EQ(platform::LoadLibraryExA(file.c_str(), 0, 0), 0u) << "not as a data file";
  EXPECT_EQ(platform::LoadLibraryExA((dir / "missing.DEU").c_str(), 0,
                                     platform::LOAD_LIBRARY_AS_DATAFILE),
            0u);
  EXPECT_EQ(platform::LoadLibraryExA((dir / "sub").c_str(), 0, platform::LOAD_LIBRARY_AS_DATAFILE),
            0u)
      << "a directory";
  EXPECT_EQ(platform::LoadLibraryExA("/dev/null", 0, platform::LOAD_LIBRARY_AS_DATAFILE), 0u);
  const std::string fifo = dir / "fifo.DEU";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(platform::LoadLibraryExA(fifo.c_str(), 0, platform::LOAD_LIBRARY_AS_DATAFILE), 0u)
      << "a FIFO must neither block nor load";

  const HMODULE module =
      platform::LoadLibraryExA(file.c_str(), 0, platform::LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, 0u);
  EXPECT_EQ(TextOf(module, 65528), "Ungueltige Eingabe");
  EXPECT_EQ(platform::FreeLibrary(module), platform::TRUE_);
}

TEST(LanguageModuleFile, TooLargeFileIsNotLoaded) {
  ScratchDirectory dir;
  std::string contents = "1 = a\n";
  contents.resize(platform::MaxLanguageModuleFileSize + 1, '#');
  const std::string file = dir.Write("big.DEU", contents);
  EXPECT_EQ(platform::LoadLibraryExA(file.c_str(), 0, platform::LOAD_LIBRARY_AS_DATAFILE), 0u);
}

}  // namespace

namespace {

// The example module shipped for translators holds every text of the program's table, exactly.
TEST(ExampleModule, ResolvesEveryIdentifierOfTheProgramsTable) {
  const std::string file =
      (std::filesystem::path(__FILE__).parent_path() / "../../../share/framecalc.example.lang")
          .lexically_normal()
          .string();
  const HMODULE module =
      platform::LoadLibraryExA(file.c_str(), 0, platform::LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, 0u) << file;
  ASSERT_GT(platform::ImageStringTableSize, 0u);
  for (size_t i = 0; i < platform::ImageStringTableSize; ++i) {
    const platform::StringTableEntry& entry = platform::ImageStringTable[i];
    EXPECT_EQ(TextOf(module, entry.id), entry.text) << "identifier " << entry.id;
  }
  platform::FreeLibrary(module);
}

}  // namespace
