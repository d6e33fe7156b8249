// The record scanner: how a line becomes fields, for each delimiter, whatever pieces the input
// arrives in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/record_parser.h"

namespace {

struct ScannedLine {
  LineKind kind;
  uint64_t lineNumber;
  std::vector<std::string> fields;  // the six slots, as far as the line filled them
  std::string extra;                // the first field too many, when there is one
  uint64_t fieldCount = 0;
  FieldDefect defect = FieldDefect::None;
  bool operator==(const ScannedLine&) const = default;
};

void PrintTo(const ScannedLine& line, std::ostream* os) {
  *os << "{kind " << static_cast<int>(line.kind) << ", line " << line.lineNumber << ", "
      << line.fieldCount << " fields,";
  for (const auto& field : line.fields) *os << " [" << field << "]";
  if (!line.extra.empty()) *os << " extra [" << line.extra << "]";
  if (line.defect != FieldDefect::None) *os << " defect " << static_cast<int>(line.defect);
  *os << "}";
}

ScannedLine Capture(const Record& record) {
  ScannedLine line{record.kind, record.lineNumber, {}, {}, record.fieldCount, record.defect};
  if (record.kind != LineKind::Record) line.fieldCount = 0;
  for (int i = 0; i < RecordFieldCount && HasField(record, i) && record.kind == LineKind::Record;
       ++i) {
    const FieldToken& token = record.fields[i];
    EXPECT_EQ(std::string(token.text), std::string(token.text, token.length))
        << "token not terminated after its length";
    line.fields.emplace_back(token.text, token.length);
  }
  if (HasField(record, ExtraSlot)) line.extra.assign(record.extra.text, record.extra.length);
  return line;
}

// Every line the scanner reports (blank ones included), the input handed over in pieces of
// `piece` bytes; the text of each line (without its line end) in `texts`.
std::vector<ScannedLine> ScanAll(const std::string& input, size_t piece, Delimiter delimiter,
                                 std::vector<std::string>* texts = nullptr) {
  std::vector<ScannedLine> lines;
  RecordScanner scanner;
  scanner.SetDelimiter(delimiter);
  std::string text;
  size_t offset = 0;
  while (offset < input.size()) {
    const size_t size = std::min(piece, input.size() - offset);
    const char* p = input.data() + offset;
    const char* end = p + size;
    while (p != end) {
      bool complete = false;
      const char* contentEnd = nullptr;
      p = scanner.PassLineFeed(p, end);
      const char* start = p;
      p = scanner.Scan(p, end, complete, contentEnd);
      text.append(start, complete ? contentEnd : p);
      if (complete) {
        lines.push_back(Capture(scanner.record()));
        if (texts != nullptr) texts->push_back(text);
        text.clear();
        scanner.NextLine();
      }
    }
    offset += size;
  }
  if (scanner.Finish()) {
    lines.push_back(Capture(scanner.record()));
    if (texts != nullptr) texts->push_back(text);
  }
  return lines;
}

struct ScanCase {
  const char* name;
  Delimiter delimiter;
  std::string input;
  std::vector<ScannedLine> expected;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

constexpr LineKind BlankLine = LineKind::Blank;
constexpr LineKind Comment = LineKind::Comment;
constexpr Delimiter Blank = Delimiter::Blank;
constexpr Delimiter Comma = Delimiter::Comma;
constexpr Delimiter Semicolon = Delimiter::Semicolon;
constexpr Delimiter Tab = Delimiter::Tab;
using Fields = std::vector<std::string>;

ScannedLine R(uint64_t line, Fields fields, uint64_t count = 0, std::string extra = "",
              FieldDefect defect = FieldDefect::None) {
  const uint64_t n = count != 0 ? count : fields.size();
  return ScannedLine{LineKind::Record, line, std::move(fields), std::move(extra), n, defect};
}

const std::string Long70 = std::string(70, '7');
const std::string Long64 = std::string(64, '7');

const ScanCase ScanCases[] = {
    {"BlanksAndTabsDelimit", Blank, "1 2  3\t4 X 5\n", {R(1, {"1", "2", "3", "4", "X", "5"})}},
    {"CommasWithBlanksAroundFields",
     Comma,
     " 1 , 2,3 ,4\t,X,5 \n",
     {R(1, {"1", "2", "3", "4", "X", "5"})}},
    {"SemicolonsKeepCommasInFields",
     Semicolon,
     "100,5;2;3;4;X;150,25\n",
     {R(1, {"100,5", "2", "3", "4", "X", "150,25"})}},
    {"TabsKeepBlanksInsideFields",
     Tab,
     "1 000\t2\t3\t4\tX\t 5 \n",
     {R(1, {"1 000", "2", "3", "4", "X", "5"})}},
    {"CommaFileKeepsBlanksInside", Comma, "1 000,2\n", {R(1, {"1 000", "2"})}},
    {"EmptyCellsAreFields", Comma, "1,,3,4,X,\n", {R(1, {"1", "", "3", "4", "X", ""})}},
    {"EmptyCellsInSemicolonFile",
     Semicolon,
     "1;2;3;4;;150\n",
     {R(1, {"1", "2", "3", "4", "", "150"})}},
    {"ALastEmptyCellWithoutLineEnd", Comma, "1,2,", {R(1, {"1", "2", ""})}},
    {"QuotedFieldsLoseTheirQuotes", Comma, "\"100\",\"X\" , \" Y \"\n", {R(1, {"100", "X", "Y"})}},
    {"QuotedDelimiterAndDoubledQuote", Comma, "\"a, \"\"b\"\"\",2\n", {R(1, {"a, \"b\"", "2"})}},
    {"QuotedLineEndsBelongToTheField",
     Comma,
     "\"a\nb\",2\r\n\"c\r\nd\re\",3\n4\n",
     {R(1, {"a\nb", "2"}), R(3, {"c\r\nd\re", "3"}), R(6, {"4"})}},
    {"QuotedFieldsWithBlanks", Blank, "\"a b\"  \"\" c\n", {R(1, {"a b", "", "c"})}},
    {"AQuoteInsideAnUnquotedFieldIsACharacter", Comma, "12\"x,2\n", {R(1, {"12\"x", "2"})}},
    {"TextAfterTheClosingQuote",
     Comma,
     "\"100\"5,2\n",
     {R(1, {"1005", "2"}, 2, "", FieldDefect::TextAfterClosingQuote)}},
    {"AQuoteNotClosed", Comma, "1,\"2\n3", {R(1, {"1", "2\n3"}, 2, "", FieldDefect::NotClosed)}},
    // Long enough for the sixteen-byte steps: a field ends at every distance from the step's
    // start, fields shorter and longer than a step.
    {"LongFieldsEndedByTheDelimiter",
     Comma,
     "-63161.7,1234567890123456789,x;y,-58651.000000000000,1e5120\r\n",
     {R(1, {"-63161.7", "1234567890123456789", "x;y", "-58651.000000000000", "1e5120"})}},
    {"ControlCharactersBelongToFields",
     Comma,
     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\x1f"
     "b,c\x01\n",
     {R(1, {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\x1f"
            "b",
            "c\x01"})}},
    {"LineEndsLfCrLfAndLoneCr",
     Blank,
     "1 2\n3 4\r\n5 6\r7 8\r\r\n",
     {R(1, {"1", "2"}),
      R(2, {"3", "4"}),
      R(3, {"5", "6"}),
      R(4, {"7", "8"}),
      {BlankLine, 5, {}, "", 0}}},
    {"BytesAbove127BelongToFields", Blank, "1\xff 2\n", {R(1, {"1\xff", "2"})}},
    {"BlankLinesAndDelimiterOnlyLines",
     Comma,
     "\n \t\r\n,,,,,,\n\"\",\"\"\n",
     {{BlankLine, 1, {}, "", 0},
      {BlankLine, 2, {}, "", 0},
      {BlankLine, 3, {}, "", 0},
      {BlankLine, 4, {}, "", 0}}},
    {"CommentAfterLeadingBlanks",
     Comma,
     "  # 1,2\n#\n",
     {{Comment, 1, {}, "", 0}, {Comment, 2, {}, "", 0}}},
    {"HashInsideARecordIsAField", Blank, "1 #2\n", {R(1, {"1", "#2"})}},
    {"QuotedHashIsNoComment", Comma, "\"#1\",2\n", {R(1, {"#1", "2"})}},
    {"SeventhFieldKeptForTheReport",
     Blank,
     "1 2 3 4 X 5 extra more\n",
     {R(1, {"1", "2", "3", "4", "X", "5"}, 8, "extra")}},
    {"FieldCutTo64Characters", Blank, Long70 + " 2\n", {R(1, {Long64, "2"})}},
    {"LineNumbersCountEveryLine",
     Blank,
     "\n#\n1\n",
     {{BlankLine, 1, {}, "", 0}, {Comment, 2, {}, "", 0}, R(3, {"1"})}},
    {"EmptyInput", Comma, "", {}},
};

class Scanning : public testing::TestWithParam<ScanCase> {};

TEST_P(Scanning, GivesTheSameLinesInPiecesOfEverySize) {
  const ScanCase& c = GetParam();
  for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{17}, size_t{4096}}) {
    EXPECT_EQ(ScanAll(c.input, piece, c.delimiter), c.expected)
        << "pieces of " << piece << " bytes";
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, Scanning, testing::ValuesIn(ScanCases),
                         [](const testing::TestParamInfo<ScanCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(Scanning, TheTextOfEachLineIsItsBytesWithoutTheLineEnd) {
  const std::string input = "a,\"b\r\nc\"\r\n\r\n# x\rlast";
  for (size_t piece : {size_t{1}, size_t{2}, size_t{5}, size_t{4096}}) {
    std::vector<std::string> texts;
    ScanAll(input, piece, Comma, &texts);
    EXPECT_EQ(texts, (std::vector<std::string>{"a,\"b\r\nc\"", "", "# x", "last"})) << piece;
  }
}

TEST(Scanning, SlotsKeepTheChosenColumnsOnly) {
  RecordScanner scanner;
  scanner.SetDelimiter(Comma);
  scanner.ClearSlots();
  scanner.SetSlot(7, 0);  // AX from column 8
  scanner.SetSlot(2, 5);  // K from column 3
  const std::string line = "id,x,150,,,,,100,\"remark, long\"\n";
  bool complete = false;
  const char* contentEnd = nullptr;
  scanner.Scan(line.data(), line.data() + line.size(), complete, contentEnd);
  ASSERT_TRUE(complete);
  const Record& record = scanner.record();
  EXPECT_EQ(record.fieldCount, 9u);
  for (int slot = 0; slot < RecordFieldCount; ++slot)
    EXPECT_EQ(HasField(record, slot), slot == 0 || slot == 5) << slot;
  EXPECT_STREQ(record.fields[0].text, "100");
  EXPECT_STREQ(record.fields[5].text, "150");
}

TEST(Scanning, ALineOfAMillionCharactersKeepsSixtyFourOfEachField) {
  const std::string input = std::string(1000000, '1') + " " + std::string(1000000, '2') + "\n";
  const auto lines = ScanAll(input, 65536, Blank);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].fields, (Fields{std::string(64, '1'), std::string(64, '2')}));
}

TEST(Scanning, RestartBeginsAgainAtLineOne) {
  RecordScanner scanner;
  const std::string first = "1\n2\r";
  bool complete = false;
  const char* contentEnd = nullptr;
  const char* p = first.data();
  p = scanner.Scan(p, first.data() + first.size(), complete, contentEnd);
  scanner.NextLine();
  scanner.Scan(p, first.data() + first.size(), complete, contentEnd);
  EXPECT_EQ(scanner.record().lineNumber, 2u);
  scanner.Restart();
  // The CR that ended the last input does not swallow the LF of a new one.
  const std::string second = "\n3\n";
  scanner.Scan(second.data(), second.data() + second.size(), complete, contentEnd);
  ASSERT_TRUE(complete);
  EXPECT_EQ(scanner.record().lineNumber, 1u);
  EXPECT_EQ(scanner.record().kind, BlankLine);
}

}  // namespace
