// framecalc-batch: the crossings of many records of points and frame lines in one run, with the
// calculator's own number conversion and intersection. The run: its command line, its inputs
// opened, then each input read in blocks and fed to the record processor, and at the end the
// report of what stopped it, if anything.
#include <cstdint>
#include <cstring>
#include <memory>

#include "batch/output_buffer.h"
#include "batch/command_line.h"
#include "batch/help_text.h"
#include "batch/input_files.h"
#include "batch/program_messages.h"
#include "batch/program_name.h"
#include "batch/record_processor.h"
#include "batch/result_output.h"
#include "numconv/extended.h"
#include "numconv/integer_text.h"
#include "platform/console_files.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "runtime/string_ids.h"

#ifndef FRAMECALC_VERSION
#define FRAMECALC_VERSION "unknown"
#endif

namespace {

using batch::ExitAllRecords;
using batch::ExitTrouble;
using batch::TextSize;

// Everything the run needs is set aside once, before the first record.
constexpr size_t ResultBlockSize = 256 * 1024;
constexpr size_t ErrorBlockSize = 16 * 1024;
constexpr size_t ReadBlockSize = 256 * 1024;
char ResultBlock[ResultBlockSize];
char ErrorBlock[ErrorBlockSize];
char ReadBlock[ReadBlockSize];

char InvalidInputText[TextSize];
char ZeroDivideText[TextSize];
char InvalidOpText[TextSize];
char OverflowText[TextSize];

ResultOutput Results;

// --help and --version: their text, or the error of standard output and the exit status 2.
int WriteInformation(const char* text) {
  if (batch::WriteToHandle(&batch::StandardOutput, text, std::strlen(text))) return ExitAllRecords;
  batch::SayFileProblem("standard output", platform::GetLastError());
  return ExitTrouble;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace batch;
  StandardOutput = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
  StandardError = platform::GetStdHandle(platform::STD_ERROR_HANDLE);

  const CommandLine line = ReadCommandLine(argc, argv);
  if (line.request == Request::Help) return WriteInformation(HelpText);
  if (line.request == Request::Version) {
    return WriteInformation("framecalc-batch " FRAMECALC_VERSION "\n");
  }
  const char* const* const names = line.names;
  const size_t inputCount = line.inputCount;

  // Every input opens before anything is written. This is the one allocation of the run.
  std::unique_ptr<platform::HANDLE[]> keptOpen(new platform::HANDLE[inputCount]);
  if (!OpenEveryInput(names, inputCount, keptOpen.get())) return ExitTrouble;

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
  RecordProcessor processor(line.format, texts, results, errors, &PlatformFaultGuard, line.read);

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
    const size_t length = std::strlen(message);
    integertext::WriteHexField(processor.unexpectedFault(), 8, message + length);
    message[length + 8] = '\0';
    SayProblem(nullptr, message);
    return ExitTrouble;
  }
  if (results.failed()) {
    SayOutputProblem(Results);
    return ExitTrouble;
  }
  if (exitCode == ExitTrouble) return exitCode;
  return processor.failedRecords() > 0 ? ExitSomeRecordsFailed : ExitAllRecords;
}
