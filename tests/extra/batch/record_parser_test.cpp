// The record scanner: how a line becomes fields, whatever pieces the input arrives in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/record_parser.h"

namespace {

struct ScannedLine {
  LineKind kind;
  uint64_t lineNumber;
  std::vector<std::string> fields;
  std::string extra;  // the first field too many, when there is one
  bool operator==(const ScannedLine&) const = default;
};

void PrintTo(const ScannedLine& line, std::ostream* os) {
  *os << "{kind " << static_cast<int>(line.kind) << ", line " << line.lineNumber << ",";
  for (const auto& field : line.fields) *os << " [" << field << "]";
  if (!line.extra.empty()) *os << " extra [" << line.extra << "]";
  *os << "}";
}

ScannedLine Capture(const Record& record) {
  ScannedLine line{record.kind, record.lineNumber, {}, {}};
  for (int i = 0; i < record.fieldCount; ++i) {
    const FieldToken& token = record.fields[i];
    EXPECT_EQ(std::string(token.text), std::string(token.text, token.length))
        << "token not terminated after its length";
    line.fields.emplace_back(token.text, token.length);
  }
  if (record.tooManyFields) line.extra.assign(record.extra.text, record.extra.length);
  return line;
}

// Every line the scanner reports (blank ones included), the input handed over in pieces of
// `piece` bytes.
std::vector<ScannedLine> ScanAll(const std::string& input, size_t piece) {
  std::vector<ScannedLine> lines;
  RecordScanner scanner;
  size_t offset = 0;
  while (offset < input.size()) {
    const size_t size = std::min(piece, input.size() - offset);
    const char* p = input.data() + offset;
    const char* end = p + size;
    while (p != end) {
      bool complete = false;
      p = scanner.Scan(p, end, complete);
      if (complete) {
        lines.push_back(Capture(scanner.record()));
        scanner.NextLine();
      }
    }
    offset += size;
  }
  if (scanner.Finish()) lines.push_back(Capture(scanner.record()));
  return lines;
}

struct ScanCase {
  const char* name;
  std::string input;
  std::vector<ScannedLine> expected;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

using enum LineKind;
using Fields = std::vector<std::string>;

const std::string Long70 = std::string(70, '7');
const std::string Long64 = std::string(64, '7');

const ScanCase ScanCases[] = {
    {"BlanksBetweenFields", "1 2  3\t4 X 5\n", {{Record, 1, Fields{"1", "2", "3", "4", "X", "5"}, ""}}},
    {"CommasAndSemicolons", "1,2;3 , 4;;X,5\n",
     {{Record, 1, Fields{"1", "2", "3", "4", "X", "5"}, ""}}},
    // Long enough for the sixteen-byte steps: every kind of separator ends a field at every
    // distance from the step's start, fields shorter and longer than a step.
    {"EverySeparatorInALongLine",
     "-63161.7,1234567890123456789;x\t-58651.000000000000 1e5120\r\n",
     {{Record, 1, Fields{"-63161.7", "1234567890123456789", "x", "-58651.000000000000", "1e5120"}, ""}}},
    {"FieldsEndedByEveryStopByteAfterLongRuns",
     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\x1f" "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\x7f\x80," "ccccccccccccccccc;d\n",
     {{Record, 1, Fields{"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\x7f\x80", "ccccccccccccccccc", "d"}, ""}}},
    {"NoEmptyFieldsFromSeparatorRuns", ",,1,,2,\n", {{Record, 1, Fields{"1", "2"}, ""}}},
    {"CrLfAndControlCharactersSeparate", "1\x01" "2\x1a" "3\r4 X 5\r\n",
     {{Record, 1, Fields{"1", "2", "3", "4", "X", "5"}, ""}}},
    {"BytesAbove127BelongToFields", "1\xff 2\n", {{Record, 1, Fields{"1\xff", "2"}, ""}}},
    {"LastLineWithoutLineEnd", "1 2\n3 4", {{Record, 1, Fields{"1", "2"}, ""}, {Record, 2, Fields{"3", "4"}, ""}}},
    {"BlankLinesAndSeparatorOnlyLines", "\n \t\r\n,;\n",
     {{Blank, 1, {}, ""}, {Blank, 2, {}, ""}, {Blank, 3, {}, ""}}},
    {"CommentAfterLeadingBlanks", "  # 1 2 3 4 X 5\n#\n", {{Comment, 1, {}, ""}, {Comment, 2, {}, ""}}},
    {"HashInsideARecordIsAField", "1 #2\n", {{Record, 1, Fields{"1", "#2"}, ""}}},
    {"SeventhFieldKeptForTheReport", "1 2 3 4 X 5 extra more\n",
     {{Record, 1, Fields{"1", "2", "3", "4", "X", "5"}, "extra"}}},
    {"FieldCutTo64Characters", Long70 + " 2\n", {{Record, 1, Fields{Long64, "2"}, ""}}},
    {"LineNumbersCountEveryLine", "\n#\n1\n", {{Blank, 1, {}, ""}, {Comment, 2, {}, ""}, {Record, 3, Fields{"1"}, ""}}},
    {"EmptyInput", "", {}},
    {"NulBytesSeparate", std::string("1\0" "2\n", 4), {{Record, 1, Fields{"1", "2"}, ""}}},
};

class Scanning : public testing::TestWithParam<ScanCase> {};

TEST_P(Scanning, GivesTheSameLinesInPiecesOfEverySize) {
  const ScanCase& c = GetParam();
  for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{4096}}) {
    EXPECT_EQ(ScanAll(c.input, piece), c.expected) << "pieces of " << piece << " bytes";
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, Scanning, testing::ValuesIn(ScanCases),
                         [](const testing::TestParamInfo<ScanCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(Scanning, ALineOfAMillionCharactersKeepsSixtyFourOfEachField) {
  const std::string input = std::string(1000000, '1') + " " + std::string(1000000, '2') + "\n";
  const auto lines = ScanAll(input, 65536);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].fields, (Fields{std::string(64, '1'), std::string(64, '2')}));
}

TEST(Scanning, RestartBeginsAgainAtLineOne) {
  RecordScanner scanner;
  const std::string first = "1\n2\n";
  bool complete = false;
  const char* p = first.data();
  p = scanner.Scan(p, first.data() + first.size(), complete);
  scanner.NextLine();
  scanner.Scan(p, first.data() + first.size(), complete);
  EXPECT_EQ(scanner.record().lineNumber, 2u);
  scanner.Restart();
  const std::string second = "3\n";
  scanner.Scan(second.data(), second.data() + second.size(), complete);
  ASSERT_TRUE(complete);
  EXPECT_EQ(scanner.record().lineNumber, 1u);
  EXPECT_STREQ(scanner.record().fields[0].text, "3");
}

}  // namespace
