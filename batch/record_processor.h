// The whole processing of framecalc-batch's input: the start of each input read for its encoding
// and delimiter, lines scanned into records, the first one surveyed for a header and the columns,
// each record evaluated under an x87 fault guard, one result line per record (an empty one for a
// record that fails, with the reason on the error output) or, as a table, every input line
// written back with the results beside it, all without allocating.
#pragma once

#include <cstddef>
#include <cstdint>

#include "batch/output_buffer.h"
#include "batch/column_layout.h"
#include "batch/input_prelude.h"
#include "batch/record_evaluation.h"
#include "batch/record_parser.h"

// The program's own texts for the failures of a record.
struct MessageTexts {
  const char* invalidInput;  // "Invalid numeric input"
  const char* zeroDivide;    // "Floating point division by zero"
  const char* invalidOp;     // "Invalid floating point operation"
  const char* overflow;      // "Floating point overflow"
};

// How the inputs are read: the delimiter (detected from each input's first line unless given),
// the decimal comma, and the columns.
struct ReadOptions {
  bool delimiterGiven = false;
  Delimiter delimiter = Delimiter::Blank;
  bool decimalComma = false;
  ColumnRequest columns;
};

// Runs routine(context). Returns true when it came back normally, false when a fault ended it,
// with the fault's Win32 status (0xC000008E division by zero, 0xC0000090 invalid operation,
// 0xC0000091 overflow, ...). After a fault the caller of the guard reloads the control word.
using FaultGuard = bool (*)(void (*routine)(void* context), void* context, uint32_t& status);

// The platform's fault guard (platform::CallWithFaultGuard) as a FaultGuard.
bool PlatformFaultGuard(void (*routine)(void* context), void* context, uint32_t& status);

// The problem of options that cannot be given together ("--table and --echo ..."), or null.
const char* ConflictingOptions(const OutputFormat& format, const ReadOptions& read);

class RecordProcessor {
 public:
  RecordProcessor(const OutputFormat& format, const MessageTexts& texts, OutputBuffer& results,
                  OutputBuffer& errors, FaultGuard guard, const ReadOptions& read = {});

  // Starts an input; `name` ("-" for standard input) prefixes its messages and must stay valid
  // until EndInput. The first record line of every input may be a header.
  void BeginInput(const char* name);
  // Processes every line completed by these bytes; a partial last line waits for more.
  void Feed(const char* data, size_t size);
  // The end of the input: a last line without line end is processed.
  void EndInput();

  uint64_t records() const { return records_; }       // records evaluated (headers not counted)
  uint64_t failedRecords() const { return failed_; }  // of those, the ones without a result
  // The input could not be read as records (UTF-16, columns in doubt): its message was written
  // and the rest of it was passed over.
  bool inputStopped() const { return stopped_; }
  // A fault that is no x87 exception of a record (an access violation, say): the processing
  // stopped there, and its status is here. Never expected; reported by the program as an error.
  uint32_t unexpectedFault() const { return unexpectedFault_; }

 private:
  // The text of a record's failure after FILE:LINE: ("FIELD: MESSAGE"), for the error output and
  // the table's last column.
  struct Message {
    char text[512];
    size_t length;
    void Clear() { length = 0; }
    void Append(const char* data, size_t size);
    void Append(const char* text);
    void AppendNumber(uint64_t value);
  };

  static void RunGuarded(void* self);
  void Run(bool finishing);
  void ScanPending();
  void ScanLines();
  bool AdvancePrelude();
  void BeginRecords();
  void CompleteLine();
  bool SurveyFirstLine(const Record& record);
  bool CheckShape(const Record& record);
  void ReportRaised(const Record& record);
  void WriteOutcome(const Record& record);
  void WriteResult();
  void ReportProblem(const Record& record);
  bool ReportFault(uint32_t status);
  void AppendFieldName(const Record& record, FieldIndex field, bool withText);
  void AppendColumnName(const Record& record, uint64_t column);
  void WriteFailure(const Record& record);
  void ApplyLayout();
  void BeginMessageLine(uint64_t line);
  void StopInput(uint64_t line, const char* subject, const char* problem);
  void WriteTableText(const char* data, size_t size);
  void WriteTableField(const char* data, size_t size);

  OutputFormat format_;
  MessageTexts texts_;
  OutputBuffer& results_;
  OutputBuffer& errors_;
  FaultGuard guard_;
  ReadOptions read_;
  char delimiterByte_ = ' ';

  RecordScanner scanner_;
  InputPrelude prelude_;
  HeaderSurvey survey_;
  ColumnLayout layout_;
  RecordEvaluation evaluation_{};
  Message message_{};
  const char* name_ = "-";
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  const char* heldPos_ = nullptr;  // the first line, held by the prelude, still to be scanned
  const char* heldEnd_ = nullptr;
  bool finishing_ = false;
  bool inPrelude_ = true;
  bool surveying_ = false;  // the first record line of the input is still to come
  bool stopped_ = false;
  bool tableStarted_ = false;  // a byte of the table was written
  uint64_t records_ = 0;
  uint64_t failed_ = 0;
  uint32_t unexpectedFault_ = 0;
};
