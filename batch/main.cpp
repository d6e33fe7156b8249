// framecalc-batch: the crossings of many records of points and frame lines in one run, with the
// calculator's own number conversion and intersection.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "batch/batch_output.h"
#include "batch/record_processor.h"
#include "batch/result_output.h"
#include "numconv/extended.h"
#include "platform/console_files.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/string_tables.h"
#include "runtime/string_ids.h"

#ifndef FRAMECALC_VERSION
#define FRAMECALC_VERSION "unknown"
#endif

namespace {

constexpr const char* ProgramName = "framecalc-batch";

constexpr int ExitAllRecords = 0;
constexpr int ExitSomeRecordsFailed = 1;
constexpr int ExitTrouble = 2;  // usage error, unreadable input, output that cannot be written

constexpr int32_t MaximumDecimals = 216;  // the most that the conversion writes

// Everything the run needs is set aside once, before the first record.
constexpr size_t ResultBlockSize = 256 * 1024;
constexpr size_t ErrorBlockSize = 16 * 1024;
constexpr size_t ReadBlockSize = 256 * 1024;
char ResultBlock[ResultBlockSize];
char ErrorBlock[ErrorBlockSize];
char ReadBlock[ReadBlockSize];

constexpr int TextSize = 256;
char InvalidInputText[TextSize];
char ZeroDivideText[TextSize];
char InvalidOpText[TextSize];
char OverflowText[TextSize];

const char* const HelpText =
    "Usage: framecalc-batch [OPTION]... [FILE]...\n"
    "Compute where line AB crosses a frame line X = K or Y = K, for every record of the FILEs\n"
    "(standard input when there is none, or for -), with framecalc's arithmetic.\n"
    "\n"
    "A record is one line: AX AY BX BY AXIS K. AXIS is X or Y, in either case. Lines end at LF,\n"
    "CR LF or CR; blank lines and lines starting with # are skipped. One delimiter per file:\n"
    "taken from its first line (tab if it holds one, else ';', else ',', else blanks), or\n"
    "given. Double quotes as in CSV (RFC 4180). With ',' ';' or tab an empty cell is a field.\n"
    "A first line without any number is a header; a header naming the columns AX, AY, BX, BY,\n"
    "AXIS and K (any case, any order) lets other columns stand beside them. A UTF-8 file may\n"
    "start with a byte-order mark; UTF-16 is refused.\n"
    "Each record gives one line \"X<TAB>Y\"; a record that fails gives an empty line, and the\n"
    "reason goes to standard error as FILE:LINE: FIELD: MESSAGE.\n"
    "\n"
    "  --delimiter C  the delimiter: , ; tab or blank (runs of blanks and tabs)\n"
    "  --decimal-comma  ',' is the decimal point (the delimiter is then not ',')\n"
    "  --columns A,B,C,D,E,F  the columns of AX AY BX BY AXIS K, by header name or number\n"
    "                 (from 1); other columns are allowed\n"
    "  --table        write every input line back (same delimiter), with the columns X, Y,\n"
    "                 on_AB (yes when K lies between A and B on its axis) and error added\n"
    "                 (X and Y with the file's decimal point)\n"
    "  --decimals N   write N digits after the point (0 to 216; default 2); from 2^120 up a\n"
    "                 coordinate is written in scientific notation (2.0E+0036), as framecalc\n"
    "                 writes it, whatever N is\n"
    "  --echo         write the record's six fields, tab-separated, before X and Y\n"
    "  --crlf         end the result lines with CR LF instead of LF\n"
    "  --help         show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Examples: framecalc-batch frame.txt; framecalc-batch --table points.csv > out.csv;\n"
    "framecalc-batch --decimal-comma --table blatt.csv (a German sheet: ';' and decimal commas).\n"
    "\n"
    "Exit status: 0 when every record gave a result, 1 when any record failed, 2 for a usage\n"
    "error, an input that cannot be read (UTF-16, columns in doubt) or an output that cannot be\n"
    "written.\n";

bool WriteToHandle(void* context, const char* data, size_t size) {
  const auto handle = *static_cast<platform::HANDLE*>(context);
  while (size > 0) {
    const auto part = static_cast<platform::DWORD>(size < 0x40000000u ? size : 0x40000000u);
    platform::DWORD written = 0;
    if (!platform::WriteFile(handle, data, part, &written)) return false;
    data += part;
    size -= part;
  }
  return true;
}

platform::HANDLE StandardOutput = platform::INVALID_HANDLE_VALUE;
platform::HANDLE StandardError = platform::INVALID_HANDLE_VALUE;
ResultOutput Results;

// Messages of the program itself (not of a record): written at once, unbuffered.
void Say(const char* text) {
  if (StandardError == platform::INVALID_HANDLE_VALUE) return;
  WriteToHandle(&StandardError, text, std::strlen(text));
}

void SayProblem(const char* subject, const char* message) {
  Say(ProgramName);
  Say(": ");
  if (subject != nullptr) {
    Say(subject);
    Say(": ");
  }
  Say(message);
  Say("\n");
}

void LoadText(uint32_t id, char* buffer) {
  if (platform::LoadStringA(0, id, buffer, TextSize) == 0) buffer[0] = '\0';
}

// The run-time's text for a Win32 error of a file: the four that it names, "I/O error N" else.
void ErrorText(platform::DWORD code, char* buffer) {
  switch (code) {
    case platform::ERROR_FILE_NOT_FOUND: LoadText(StringIdFileNotFound, buffer); return;
    case platform::ERROR_PATH_NOT_FOUND: LoadText(StringIdInvalidFilename, buffer); return;
    case platform::ERROR_TOO_MANY_OPEN_FILES: LoadText(StringIdTooManyOpenFiles, buffer); return;
    case platform::ERROR_ACCESS_DENIED: LoadText(StringIdFileAccessDenied, buffer); return;
    default: break;
  }
  char format[TextSize];
  LoadText(StringIdIoError, format);
  const char* conversion = std::strstr(format, "%d");
  if (conversion == nullptr) {
    std::memcpy(buffer, format, TextSize);
    return;
  }
  char number[16];
  int digits = 0;
  char reversed[16];
  do {
    reversed[digits++] = static_cast<char>('0' + code % 10);
    code /= 10;
  } while (code != 0);
  for (int i = 0; i < digits; ++i) number[i] = reversed[digits - 1 - i];
  number[digits] = '\0';
  const size_t before = static_cast<size_t>(conversion - format);
  const size_t after = std::strlen(conversion + 2);
  if (before + static_cast<size_t>(digits) + after >= TextSize) {
    std::memcpy(buffer, format, TextSize);
    return;
  }
  std::memcpy(buffer, format, before);
  std::memcpy(buffer + before, number, static_cast<size_t>(digits));
  std::memcpy(buffer + before + digits, conversion + 2, after + 1);
}

void SayFileProblem(const char* name, platform::DWORD code) {
  char text[TextSize];
  ErrorText(code, text);
  SayProblem(name, text);
}

void AppendDecimal(char* text, uint64_t value) {
  char reversed[24];
  int digits = 0;
  do {
    reversed[digits++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  size_t length = std::strlen(text);
  while (digits > 0) text[length++] = reversed[--digits];
  text[length] = '\0';
}

// A write of the results failed. When part of a line reached the output and could not be taken
// back, the message says which line is the last complete one.
void SayOutputProblem() {
  char text[TextSize + 64];
  ErrorText(Results.error, text);
  if (Results.lineCut) {
    if (Results.completeLines == 0) {
      std::strcat(text, "; no result line reached it complete");
    } else {
      std::strcat(text, "; the last complete result line is line ");
      AppendDecimal(text, Results.completeLines);
    }
  }
  SayProblem("standard output", text);
}

// --help and --version: their text, or the error of standard output and the exit status 2.
int WriteInformation(const char* text) {
  if (WriteToHandle(&StandardOutput, text, std::strlen(text))) return ExitAllRecords;
  SayFileProblem("standard output", platform::GetLastError());
  return ExitTrouble;
}

[[noreturn]] void UsageError(const char* message, const char* argument) {
  Say(ProgramName);
  Say(": ");
  Say(message);
  if (argument != nullptr) {
    Say(" '");
    Say(argument);
    Say("'");
  }
  Say("\nTry 'framecalc-batch --help' for more information.\n");
  platform::ExitProcess(ExitTrouble);
}

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
    std::strcat(message, std::strcmp(name, "--decimals") == 0 ? "' needs a number" : "' needs a value");
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

bool GuardWithPlatform(void (*routine)(void*), void* context, uint32_t& status) {
  platform::EXCEPTION_RECORD fault;
  if (platform::CallWithFaultGuard(routine, context, fault)) return true;
  status = fault.ExceptionCode;
  return false;
}

bool IsStandardInput(const char* name) { return std::strcmp(name, "-") == 0; }

platform::HANDLE OpenInput(const char* name) {
  if (IsStandardInput(name)) return platform::GetStdHandle(platform::STD_INPUT_HANDLE);
  return platform::CreateFileA(name, platform::GENERIC_READ, platform::FILE_SHARE_READ, nullptr,
                               platform::OPEN_EXISTING, platform::FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  StandardOutput = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
  StandardError = platform::GetStdHandle(platform::STD_ERROR_HANDLE);

  OutputFormat format;
  ReadOptions read;
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
      return WriteInformation(HelpText);
    } else if (std::strcmp(argument, "--version") == 0) {
      return WriteInformation("framecalc-batch " FRAMECALC_VERSION "\n");
    } else if (std::strcmp(argument, "--crlf") == 0) {
      format.crlf = true;
    } else if (std::strcmp(argument, "--echo") == 0) {
      format.echo = true;
    } else if (std::strcmp(argument, "--table") == 0) {
      format.table = true;
    } else if (std::strcmp(argument, "--decimal-comma") == 0) {
      read.decimalComma = true;
    } else if (const char* value = OptionValue(argc, argv, i, "--decimals")) {
      if (!ParseDecimals(value, format.decimals)) {
        UsageError("--decimals takes a whole number from 0 to 216, not", value);
      }
    } else if (const char* delimiter = OptionValue(argc, argv, i, "--delimiter")) {
      if (!ParseDelimiter(delimiter, read.delimiter)) {
        UsageError("--delimiter takes , ; tab or blank, not", delimiter);
      }
      read.delimiterGiven = true;
    } else if (const char* columns = OptionValue(argc, argv, i, "--columns")) {
      const char* problem = nullptr;
      if (!ParseColumnRequest(columns, read.columns, problem)) UsageError(problem, columns);
    } else {
      UsageError("unknown option", argument);
    }
  }
  if (format.table && format.echo) UsageError("--table and --echo cannot be given together", nullptr);
  if (read.decimalComma && read.delimiterGiven && read.delimiter == Delimiter::Comma) {
    UsageError("with --decimal-comma the delimiter cannot be ','", nullptr);
  }
  static const char* const StandardInputOnly[] = {"-"};
  const char* const* names = inputCount > 0 ? inputs : StandardInputOnly;
  if (inputCount == 0) inputCount = 1;

  // Every named file must open before anything is written: a run never stops half-way because
  // of a mistyped name. Files on disk are closed again and opened when their turn comes, so that
  // any number of them can be named; pipes and devices, which cannot be opened twice for the same
  // data, stay open. This is the one allocation of the run.
  std::unique_ptr<platform::HANDLE[]> keptOpen(new platform::HANDLE[inputCount]);
  bool allReadable = true;
  for (size_t i = 0; i < inputCount; ++i) {
    keptOpen[i] = platform::INVALID_HANDLE_VALUE;
    if (IsStandardInput(names[i])) {
      if (platform::GetStdHandle(platform::STD_INPUT_HANDLE) == platform::INVALID_HANDLE_VALUE) {
        SayFileProblem("-", platform::GetLastError());
        allReadable = false;
      }
      continue;
    }
    const platform::HANDLE handle = OpenInput(names[i]);
    if (handle == platform::INVALID_HANDLE_VALUE) {
      SayFileProblem(names[i], platform::GetLastError());
      allReadable = false;
    } else if (platform::GetFileType(handle) == platform::FILE_TYPE_DISK) {
      platform::CloseHandle(handle);
    } else {
      keptOpen[i] = handle;
    }
  }
  if (!allReadable) return ExitTrouble;

  LoadText(StringIdInvalidInput, InvalidInputText);
  LoadText(StringIdZeroDivide, ZeroDivideText);
  LoadText(StringIdInvalidOp, InvalidOpText);
  LoadText(StringIdOverflow, OverflowText);
  const MessageTexts texts{InvalidInputText, ZeroDivideText, InvalidOpText, OverflowText};

  platform::InstallFaultHandlers();
  ResetFpu();

  Results.handle = StandardOutput;
  OutputBuffer results(ResultBlock, ResultBlockSize, &WriteResultBlock, &Results);
  OutputBuffer errors(ErrorBlock, ErrorBlockSize, &WriteToHandle, &StandardError);
  // A message follows the results written before it, also where both outputs go to one file.
  errors.FollowAfter(&results);
  RecordProcessor processor(format, texts, results, errors, &GuardWithPlatform, read);

  int exitCode = ExitAllRecords;
  for (size_t i = 0; i < inputCount && exitCode != ExitTrouble; ++i) {
    const char* name = names[i];
    const platform::HANDLE handle =
        keptOpen[i] != platform::INVALID_HANDLE_VALUE ? keptOpen[i] : OpenInput(name);
    if (handle == platform::INVALID_HANDLE_VALUE) {
      results.Flush();
      SayFileProblem(name, platform::GetLastError());
      exitCode = ExitTrouble;
      break;
    }
    // Typed at a terminal, each line's result is shown as soon as the line is read.
    const bool typed = platform::GetFileType(handle) == platform::FILE_TYPE_CHAR;
    processor.BeginInput(name);
    for (;;) {
      platform::DWORD got = 0;
      if (!platform::ReadFile(handle, ReadBlock, ReadBlockSize, &got)) {
        // The results of the complete lines read so far are kept; a partial last line is not
        // taken for a record.
        const platform::DWORD code = platform::GetLastError();
        results.Flush();
        SayFileProblem(name, code);
        exitCode = ExitTrouble;
        break;
      }
      if (got == 0) {
        processor.EndInput();
        break;
      }
      processor.Feed(ReadBlock, got);
      if (typed) results.Flush();
      if (results.failed() || processor.unexpectedFault() != 0 || processor.inputStopped()) break;
    }
    if (!IsStandardInput(name)) platform::CloseHandle(handle);
    // An input that cannot be read as records ends the run, as one that cannot be read at all.
    if (processor.inputStopped()) exitCode = ExitTrouble;
    if (results.failed() || processor.unexpectedFault() != 0) break;
  }
  results.Flush();
  errors.Flush();
  if (processor.unexpectedFault() != 0) {
    char message[64] = "unexpected fault, status 0x";
    const char* const hex = "0123456789ABCDEF";
    size_t length = std::strlen(message);
    for (int shift = 28; shift >= 0; shift -= 4) {
      message[length++] = hex[(processor.unexpectedFault() >> shift) & 0xF];
    }
    message[length] = '\0';
    SayProblem(nullptr, message);
    return ExitTrouble;
  }
  if (results.failed()) {
    SayOutputProblem();
    return ExitTrouble;
  }
  if (exitCode == ExitTrouble) return exitCode;
  return processor.failedRecords() > 0 ? ExitSomeRecordsFailed : ExitAllRecords;
}
