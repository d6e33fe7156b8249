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
// line. When a command faults on the x87 (a real SIGFPE), the answer names the fault instead:
// "overflow", "invalid" (invalid operation, e.g. a signalling NaN or an unsupported encoding),
// "zerodivide", or "fault" for any other floating-point signal. The probe resets the FPU and goes
// on with the next command.
//
// A malformed command (empty line, unknown word, missing or extra fields, a value that is not
// exactly 20 hex digits, a number out of the 32-bit range) is answered with "error".
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unistd.h>

#include "numconv/extended.h"
#include "numconv/real_to_text.h"
#include "numconv/text_to_real.h"
#include "runtime/fpu_control.h"

namespace {

sigjmp_buf faultJump;
volatile sig_atomic_t faultArmed = 0;
volatile sig_atomic_t faultCode = 0;

void OnFloatingPointFault(int, siginfo_t* info, void*) {
  if (!faultArmed) {
    static const char message[] = "numconv-probe: floating-point fault outside a command\n";
    ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    _exit(3);
  }
  faultArmed = 0;
  faultCode = info->si_code;
  siglongjmp(faultJump, 1);
}

void InstallFaultHandler() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnFloatingPointFault;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);
}

const char* FaultAnswer(int code) {
  switch (code) {
    case FPE_FLTOVF: return "overflow";
    case FPE_FLTINV: return "invalid";
    case FPE_FLTDIV: return "zerodivide";
    default: return "fault";
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

void FormatHex(uint64_t value, int digits, char* out) {
  static const char hexDigits[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = hexDigits[value & 0xF];
    value >>= 4;
  }
}

void AnswerExtended(Extended value, int32_t errorPosition) {
  ExtendedBits bits = BitsOf(value);
  char line[64];
  FormatHex(bits.signExponent, 4, line);
  FormatHex(bits.significand, 16, line + 4);
  int tail = std::snprintf(line + 20, sizeof line - 20, " %d", static_cast<int>(errorPosition));
  Answer(line, 20 + static_cast<size_t>(tail));
}

// The conversions run between these two: a fault that they leave pending surfaces at the FWAIT
// of FinishGuarded at the latest, still inside the guarded span.
inline void FinishGuarded() {
  asm volatile("fwait" ::: "memory");
  faultArmed = 0;
}

void RunParse(const char* text) {
  int32_t errorPosition = -1;
  faultArmed = 1;
  Extended value = TextToReal(text, errorPosition);
  value = CheckedResult(value);
  FinishGuarded();
  AnswerExtended(value, errorPosition);
}

void RunFormat(Extended value, int32_t width, int32_t decimals) {
  CountedText text;
  faultArmed = 1;
  RealToText(value, width, decimals, text);
  FinishGuarded();
  char line[256 + 3];
  line[0] = '[';
  std::memcpy(line + 1, text.chars, text.length);
  line[1 + text.length] = ']';
  Answer(line, text.length + 2u);
}

void RunStore(Extended value) {
  faultArmed = 1;
  double stored = StoreToDouble(value);
  FinishGuarded();
  uint64_t bits;
  std::memcpy(&bits, &stored, sizeof bits);
  char line[16];
  FormatHex(bits, 16, line);
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
    if (!NextField(rest, hex) || !NextField(rest, widthField) ||
        !NextField(rest, decimalsField) || !NoFieldsLeft(rest) || !ParseExtendedHex(hex, value) ||
        !ParseInt32(widthField, width) || !ParseInt32(decimalsField, decimals)) {
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

// The fault handler jumps back here; the command is answered with the name of the fault.
void RunGuardedCommand(const char* line, size_t length) {
  if (sigsetjmp(faultJump, 1) != 0) {
    // The handler ran with a fresh FPU state and the jump did not restore ours.
    ResetFpu();
    Answer(FaultAnswer(faultCode));
    return;
  }
  RunCommand(line, length);
}

}  // namespace

int main() {
  InstallFaultHandler();
  LoadFpuControlWord(DefaultFpuControlWord);

  char* line = nullptr;
  size_t capacity = 0;
  for (;;) {
    ssize_t got = getline(&line, &capacity, stdin);
    if (got < 0) break;
    size_t length = static_cast<size_t>(got);
    if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';

    RunGuardedCommand(line, length);
  }
  std::free(line);
  return 0;
}
