#include "batch/command_line.h"

#include <cstdint>
#include <cstring>

#include "batch/column_layout.h"
#include "batch/program_messages.h"

namespace batch {

namespace {

bool ParseDecimals(const char* text, int32_t& decimals) {
  if (text == nullptr || *text == '\0') return false;
  int32_t value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
    if (value > MaximumDecimals) return false;
  }
  decimals = value;
  return true;
}

// The value of the option `name` at argv[i]: "--name=VALUE", or "--name VALUE" (i then moves to
// the value); null when argv[i] is another option.
const char* OptionValue(int argc, char** argv, int& i, const char* name) {
  const size_t length = std::strlen(name);
  const char* argument = argv[i];
  if (std::strncmp(argument, name, length) != 0) return nullptr;
  if (argument[length] == '=') return argument + length + 1;
  if (argument[length] != '\0') return nullptr;
  if (i + 1 == argc) {
    char message[64] = "option '";
    std::strcat(message, name);
    std::strcat(message,
                std::strcmp(name, "--decimals") == 0 ? "' needs a number" : "' needs a value");
    UsageError(message, nullptr);
  }
  return argv[++i];
}

bool ParseDelimiter(const char* text, Delimiter& delimiter) {
  if (std::strcmp(text, ",") == 0) {
    delimiter = Delimiter::Comma;
  } else if (std::strcmp(text, ";") == 0) {
    delimiter = Delimiter::Semicolon;
  } else if (std::strcmp(text, "tab") == 0 || std::strcmp(text, "\t") == 0) {
    delimiter = Delimiter::Tab;
  } else if (std::strcmp(text, "blank") == 0) {
    delimiter = Delimiter::Blank;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool IsStandardInput(const char* name) { return std::strcmp(name, "-") == 0; }

CommandLine ReadCommandLine(int argc, char** argv) {
  CommandLine line;
  // The file names are gathered at the front of argv, in their order (never past the argument
  // being looked at).
  char** const inputs = argv + 1;
  size_t inputCount = 0;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (optionsEnded || argument[0] != '-' || IsStandardInput(argument)) {
      inputs[inputCount++] = argv[i];
    } else if (std::strcmp(argument, "--") == 0) {
      optionsEnded = true;
    } else if (std::strcmp(argument, "--help") == 0) {
      line.request = Request::Help;
      return line;
    } else if (std::strcmp(argument, "--version") == 0) {
      line.request = Request::Version;
      return line;
    } else if (std::strcmp(argument, "--crlf") == 0) {
      line.format.crlf = true;
    } else if (std::strcmp(argument, "--echo") == 0) {
      line.format.echo = true;
    } else if (std::strcmp(argument, "--table") == 0) {
      line.format.table = true;
    } else if (std::strcmp(argument, "--decimal-comma") == 0) {
      line.read.decimalComma = true;
    } else if (const char* value = OptionValue(argc, argv, i, "--decimals")) {
      if (!ParseDecimals(value, line.format.decimals)) {
        UsageError("--decimals takes a whole number from 0 to 216, not", value);
      }
    } else if (const char* delimiter = OptionValue(argc, argv, i, "--delimiter")) {
      if (!ParseDelimiter(delimiter, line.read.delimiter)) {
        UsageError("--delimiter takes , ; tab or blank, not", delimiter);
      }
      line.read.delimiterGiven = true;
    } else if (const char* columns = OptionValue(argc, argv, i, "--columns")) {
      const char* problem = nullptr;
      if (!ParseColumnRequest(columns, line.read.columns, problem)) UsageError(problem, columns);
    } else {
      UsageError("unknown option", argument);
    }
  }
  if (const char* conflict = ConflictingOptions(line.format, line.read)) {
    UsageError(conflict, nullptr);
  }
  static const char* const StandardInputOnly[] = {"-"};
  line.names = inputCount > 0 ? inputs : StandardInputOnly;
  line.inputCount = inputCount > 0 ? inputCount : 1;
  return line;
}

}  // namespace batch
