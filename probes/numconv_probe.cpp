// numconv-probe: drives the number conversion from a line protocol, for scripts and tests.
//
// The probe runs under DefaultFpuControlWord (overflow and invalid operation fault, 64-bit
// precision, round to nearest) and reads commands from standard input, one per line. A line ends
// at LF, which is not part of the command; a CR before it is part of the command. A last line
// without LF is still a command. Every command is answered with exactly one line on standard
// output, flushed at once; at the end of input the probe exits with code 0.
//
// An extended value is written as 20 hexadecimal digits: the 16-bit sign and exponent word, then
// the 64-bit significand (upper-case on output; either case on input).
//
//   parse TEXT          TEXT is everything after the first space, spaces included (it ends at
//                       the first NUL byte, as the converter sees it). Answer: the value of
//                       TextToReal as 20 hex digits, a space, errorPosition in decimal,
//                       e.g. "parse 150" -> "40069600000000000000 0".
//   format HEX W D      RealToText of the value with width W and decimals D (signed 32-bit
//                       decimal integers). Answer: the text between "[" and "]".
//   store HEX           The value rounded to a double as a store does under the control word.
//                       Answer: the double's 16 hex digits.
//
// Fields of format and store are separated by one or more spaces; nothing else may stand on the
// line. When a command faults on the x87 (a real SIGFPE, caught by the platform's fault guard as
// in the program), the answer names the fault instead: "overflow", "invalid" (invalid operation,
// e.g. a signalling NaN or an unsupported encoding), "zerodivide", or "fault" for any other
// fault. The probe resets the FPU and goes on with the next command.
//
// A malformed command (empty line, unknown word, missing or extra fields, a value that is not
// exactly 20 hex digits, a number out of the 32-bit range) is answered with "error".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "numconv/extended.h"
#include "numconv/real_to_text.h"
#include "numconv/text_to_real.h"
#include "numconv/fpu_control.h"
#include "numconv/integer_text.h"
#include "platform/faults.h"
#include "probe_platform.h"  // the chosen platform's: probes/posix/ or probes/windows/
#include "probes/x87_guard.h"

namespace {

// The answer for a command whose conversion faulted.
const char* FaultAnswer(x87guard::Outcome outcome) {
  switch (outcome) {
    case x87guard::Outcome::Overflow:
      return "overflow";
    case x87guard::Outcome::Invalid:
      return "invalid";
    case x87guard::Outcome::ZeroDivide:
      return "zerodivide";
    default:
      return "fault";
  }
}

void Answer(const char* text, size_t length) {
  std::fwrite(text, 1, length, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Answer(const char* text) { Answer(text, std::strlen(text)); }

// Splits off the next space-separated field; false when none is left.
bool NextField(std::string_view& rest, std::string_view& field) {
  size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) return false;
  rest.remove_prefix(start);
  size_t end = rest.find(' ');
  field = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  return true;
}

bool NoFieldsLeft(std::string_view rest) {
  return rest.find_first_not_of(' ') == std::string_view::npos;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ParseExtendedHex(std::string_view field, Extended& value) {
  if (field.size() != 20) return false;
  uint64_t words[2] = {0, 0};  // sign and exponent, significand
  for (size_t i = 0; i < 20; ++i) {
    int digit = HexDigitValue(field[i]);
    if (digit < 0) return false;
    uint64_t& word = words[i < 4 ? 0 : 1];
    word = (word << 4) | static_cast<uint64_t>(digit);
  }
  value = ExtendedFromBits(static_cast<uint16_t>(words[0]), words[1]);
  return true;
}

bool ParseInt32(std::string_view field, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  if (i == field.size()) return false;
  int64_t magnitude = 0;
  for (; i < field.size(); ++i) {
    if (field[i] < '0' || field[i] > '9') return false;
    magnitude = magnitude * 10 + (field[i] - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) return false;
  }
  int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT32_MAX || signedValue < INT32_MIN) return false;
  value = static_cast<int32_t>(signedValue);
  return true;
}

void AnswerExtended(Extended value, int32_t errorPosition) {
  ExtendedBits bits = BitsOf(value);
  char line[64];
  integertext::WriteHexField(bits.signExponent, 4, line);
  integertext::WriteHexField(bits.significand, 16, line + 4);
  int tail = std::snprintf(line + 20, sizeof line - 20, " %d", static_cast<int>(errorPosition));
  Answer(line, 20 + static_cast<size_t>(tail));
}

// Runs one conversion under the fault guard; false (the command answered with the fault's
// name) when it faulted. The FWAIT at the end makes a fault that the conversion left pending
// surface inside the guarded span at the latest.
template <typename Conversion>
bool Guarded(Conversion&& conversion) {
  const x87guard::Outcome outcome = x87guard::Run([&] {
    conversion();
    WaitForPendingFaults();
  });
  if (outcome == x87guard::Outcome::Returned) return true;
  Answer(FaultAnswer(outcome));
  return false;
}

void RunParse(const char* text) {
  int32_t errorPosition = -1;
  Extended value = 0;
  if (!Guarded([&] { value = CheckedResult(TextToReal(text, errorPosition)); })) return;
  AnswerExtended(value, errorPosition);
}

void RunFormat(Extended value, int32_t width, int32_t decimals) {
  CountedText text;
  if (!Guarded([&] { RealToText(value, width, decimals, text); })) return;
  char line[256 + 3];
  line[0] = '[';
  std::memcpy(line + 1, text.chars, text.length);
  line[1 + text.length] = ']';
  Answer(line, text.length + 2u);
}

void RunStore(Extended value) {
  double stored = 0;
  if (!Guarded([&] { stored = StoreToDouble(value); })) return;
  uint64_t bits;
  std::memcpy(&bits, &stored, sizeof bits);
  char line[16];
  integertext::WriteHexField(bits, 16, line);
  Answer(line, sizeof line);
}

// Runs one command line (NUL-terminated, without its LF).
void RunCommand(const char* line, size_t length) {
  std::string_view command(line, length);
  size_t space = command.find(' ');
  std::string_view word = command.substr(0, space);
  std::string_view rest =
      space == std::string_view::npos ? std::string_view() : command.substr(space + 1);

  if (word == "parse") {
    if (space == std::string_view::npos) return Answer("error");
    return RunParse(line + space + 1);
  }
  if (word == "format") {
    std::string_view hex, widthField, decimalsField;
    Extended value;
    int32_t width, decimals;
    if (!NextField(rest, hex) || !NextField(rest, widthField) || !NextField(rest, decimalsField) ||
        !NoFieldsLeft(rest) || !ParseExtendedHex(hex, value) || !ParseInt32(widthField, width) ||
        !ParseInt32(decimalsField, decimals)) {
      return Answer("error");
    }
    return RunFormat(value, width, decimals);
  }
  if (word == "store") {
    std::string_view hex;
    Extended value;
    if (!NextField(rest, hex) || !NoFieldsLeft(rest) || !ParseExtendedHex(hex, value)) {
      return Answer("error");
    }
    return RunStore(value);
  }
  Answer("error");
}

}  // namespace

int main() {
  probe_platform::PrepareStandardStreams();
  platform::InstallFaultHandlers();
  LoadFpuControlWord(DefaultFpuControlWord);

  char* line = nullptr;
  size_t capacity = 0;
  size_t length = 0;
  while (probe_platform::ReadLine(line, capacity, length)) {
    if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';

    RunCommand(line, length);
  }
  std::free(line);
  return 0;
}
