// The same records through framecalc (six answers on standard input, one process each) and
// through framecalc-batch (all records in one run): the same digits for every coordinate, the
// same failure for every record that fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "support/batch_program_path.h"
#include "support/program_runner.h"

namespace {

struct Answers {
  std::string fields[6];  // AX AY BX BY AXIS K
};

// What a program made of one record: the two coordinates, or the message of its failure.
struct Outcome {
  bool ok = false;
  std::string x, y;
  std::string message;
};

class Generator {
 public:
  explicit Generator(uint64_t seed) : random_(seed) {}

  Answers Next() {
    Answers a;
    for (int i : {0, 1, 2, 3, 5}) a.fields[i] = Number();
    const uint64_t axis = Pick(20);
    a.fields[4] = axis < 12 ? "X" : axis < 17 ? "Y" : Pick(2) ? "x" : "XX";
    switch (Pick(8)) {
      case 0:
      case 1:  // parallel to the frame line
        if (a.fields[4] == "X")
          a.fields[2] = a.fields[0];
        else
          a.fields[3] = a.fields[1];
        break;
      case 2:  // A = B
        a.fields[2] = a.fields[0];
        a.fields[3] = a.fields[1];
        break;
      default:
        break;
    }
    return a;
  }

 private:
  uint64_t Pick(uint64_t n) { return random_() % n; }

  std::string Sign() { return Pick(3) == 0 ? "-" : Pick(8) == 0 ? "+" : ""; }
  std::string Digits(int most) {
    std::string digits;
    const int count = 1 + static_cast<int>(Pick(static_cast<uint64_t>(most)));
    for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + Pick(10));
    return digits;
  }

  std::string Number() {
    static const char* const Invalid[] = {
        "12a",  "abc", "1..2", "--1",    "1e",      "0x10",         "+",       "1_000", "X",
        "1.5.", "e5",  "1e+",  "1e999x", "1e5120x", "\xe2\x88\x9e", "1.5e3.2", ".",     "-"};
    static const char* const Extreme[] = {"1e400",  "-1e400", "1e5120", "-1e5120",
                                          "1e4940", "1e-400", "1e308",  "-1.7e308"};
    const uint64_t kind = Pick(24);
    if (kind < 6) return Sign() + Digits(6);                     // integers
    if (kind < 12) return Sign() + Digits(5) + "." + Digits(6);  // decimals
    if (kind < 15) {                                             // exponents
      return Sign() + Digits(2) + (Pick(2) ? "." + Digits(3) : "") + (Pick(2) ? "e" : "E") +
             (Pick(2)   ? "-"
              : Pick(2) ? "+"
                        : "") +
             std::to_string(Pick(40));
    }
    if (kind < 17) return Sign() + std::to_string(Pick(5));  // small, often equal
    if (kind == 17) return Sign() + (Pick(2) ? "." + Digits(3) : Digits(3) + ".");
    if (kind == 18) return Sign() + Digits(3) + "e" + std::to_string(200 + Pick(109));
    if (kind == 19) {  // long digit strings, some beyond the 64 characters that are read
      return Pick(2) ? Digits(30) + "." + Digits(30)
                     : "1" + std::string(60 + Pick(20), '0') + Digits(3);
    }
    if (kind == 20) return Invalid[Pick(std::size(Invalid))];
    if (kind == 21) return Sign() + Digits(4) + "." + Digits(2);
    return Extreme[Pick(std::size(Extreme))];
  }

  std::mt19937_64 random_;
};

std::string Trim(const std::string& text) {
  const size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? "" : text.substr(start);
}

Outcome RunCalculator(const Answers& a) {
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  for (const std::string& field : a.fields) options.stdinBytes += field + "\n";
  options.stdinBytes += "\n";
  const e2e::RunResult result = e2e::RunProgram(options);
  EXPECT_EQ(result.signal, 0);
  Outcome outcome;
  static const std::regex coordinates("X= ([^\r]*)m\r\nY= ([^\r]*)m\r\n");
  static const std::regex report(
      "Exception \\w+ in module framecalc at [0-9A-F]{8}\\.\r\n(.*)\\.\r\n\r\n");
  std::smatch match;
  if (result.exitCode == 0 && std::regex_search(result.out, match, coordinates)) {
    outcome.ok = true;
    outcome.x = Trim(match[1]);
    outcome.y = Trim(match[2]);
  } else if (std::regex_match(result.err, match, report)) {
    outcome.message = match[1];
  } else {
    ADD_FAILURE() << "framecalc answered neither: " << testing::PrintToString(result.out)
                  << testing::PrintToString(result.err);
  }
  return outcome;
}

// framecalc-batch's own rules for a file, beside the calculator's: a number needs a digit in its
// mantissa, and the axis is X or Y in either case. The calculator reads "." "-." "e5" as 0 and
// takes anything but "X" for Y.
bool HasMantissaDigit(const std::string& text) {
  size_t i = text.size() > 0 && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  const auto digit = [&](size_t at) {
    return at < text.size() && text[at] >= '0' && text[at] <= '9';
  };
  return digit(i) || (i < text.size() && text[i] == '.' && digit(i + 1));
}

// The results of framecalc-batch for the records, written with `separator` between fields: one
// line each, and the messages by line number.
void RunBatch(const std::vector<Answers>& records, const char* separator,
              std::vector<std::string>& lines, std::map<int, std::string>& messages,
              std::map<int, std::string>& fields, int& exitCode) {
  std::string input;
  for (const Answers& a : records) {
    for (int f = 0; f < 6; ++f) {
      input += a.fields[f];
      input += f < 5 ? separator : "\n";
    }
  }
  e2e::RunOptions options;
  options.program = BatchProgramPath();
  options.stdinBytes = input;
  const e2e::RunResult batch = e2e::RunProgram(options);
  ASSERT_EQ(batch.signal, 0);
  exitCode = batch.exitCode;
  for (size_t start = 0; start < batch.out.size();) {
    const size_t end = batch.out.find('\n', start);
    ASSERT_NE(end, std::string::npos) << "an unfinished last line";
    lines.push_back(batch.out.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(lines.size(), records.size());
  static const std::regex messageLine("-:([0-9]+): ([^\n]*): ([^:\n]*)\n");
  for (std::sregex_iterator it(batch.err.begin(), batch.err.end(), messageLine), end; it != end;
       ++it) {
    messages[std::stoi((*it)[1])] = (*it)[3];
    fields[std::stoi((*it)[1])] = (*it)[2];
  }
}

TEST(Differential, BatchGivesTheCalculatorsDigitsAndFailures) {
  constexpr int RecordCount = 300;
  Generator generator(20261210);
  std::vector<Answers> records;
  for (int i = 0; i < RecordCount; ++i) records.push_back(generator.Next());

  // The same records delimited by blanks (aligned), by tabs and by commas with blanks after them:
  // the same results and messages.
  std::vector<std::string> lines;
  std::map<int, std::string> messages, fields;
  int exitCode = 0;
  RunBatch(records, "  ", lines, messages, fields, exitCode);
  for (const char* separator : {"\t", ", "}) {
    std::vector<std::string> otherLines;
    std::map<int, std::string> otherMessages, otherFields;
    int otherExit = 0;
    RunBatch(records, separator, otherLines, otherMessages, otherFields, otherExit);
    EXPECT_EQ(otherLines, lines) << "delimited by [" << separator << "]";
    EXPECT_EQ(otherMessages, messages) << "delimited by [" << separator << "]";
    EXPECT_EQ(otherExit, exitCode);
  }

  std::map<std::string, int> seen;  // how many records ended each way
  bool anyFailed = false;
  for (int i = 0; i < RecordCount; ++i) {
    Answers a = records[i];
    const std::string shown = a.fields[0] + " " + a.fields[1] + " " + a.fields[2] + " " +
                              a.fields[3] + " " + a.fields[4] + " " + a.fields[5];
    // Where the file's rules refuse what the calculator would take, the message says which.
    const auto it = messages.find(i + 1);
    if (it != messages.end() && it->second == "Not X or Y") {
      ++seen["not X or Y"];
      anyFailed = true;
      EXPECT_EQ(fields[i + 1], "AXIS \"" + a.fields[4] + "\"")
          << "record " << i + 1 << ": " << shown;
      EXPECT_NE(a.fields[4], "X");
      EXPECT_NE(a.fields[4], "Y");
      EXPECT_EQ(lines[i], "");
      continue;
    }
    if (it != messages.end() && it->second == "Invalid numeric input (no digit)") {
      ++seen["no digit"];
      anyFailed = true;
      const std::string& field = fields[i + 1];
      const size_t quote = field.find('"');
      ASSERT_NE(quote, std::string::npos) << field;
      EXPECT_FALSE(HasMantissaDigit(field.substr(quote + 1, field.size() - quote - 2))) << field;
      EXPECT_EQ(lines[i], "");
      continue;
    }
    // A lower-case x is the X axis in a file; the calculator is asked with its own X.
    if (a.fields[4] == "x") a.fields[4] = "X";
    const Outcome calculator = RunCalculator(a);
    if (calculator.ok) {
      ++seen["result"];
      EXPECT_EQ(lines[i], calculator.x + "\t" + calculator.y)
          << "record " << i + 1 << ": " << shown;
      EXPECT_EQ(messages.count(i + 1), 0u) << "record " << i + 1 << ": " << shown;
    } else {
      ++seen[calculator.message];
      anyFailed = true;
      EXPECT_EQ(lines[i], "") << "record " << i + 1 << ": " << shown;
      EXPECT_EQ(messages[i + 1], calculator.message) << "record " << i + 1 << ": " << shown;
    }
  }
  EXPECT_EQ(messages.size(), static_cast<size_t>(RecordCount - seen["result"]));
  EXPECT_EQ(exitCode, anyFailed ? 1 : 0);
  // The generated records reach every way of ending, each more than a few times.
  for (const char* way :
       {"result", "Invalid numeric input", "Floating point division by zero",
        "Invalid floating point operation", "Floating point overflow", "not X or Y"}) {
    EXPECT_GE(seen[way], 10) << way;
  }
  EXPECT_GE(seen["no digit"], 1);
  for (const auto& [way, count] : seen) std::printf("%6d  %s\n", count, way.c_str());
}

}  // namespace
