// The whole processing of framecalc-batch's input: lines scanned into records, each record
// evaluated under an x87 fault guard, one result line per record (an empty one for a record that
// fails, with the reason on the error output), all without allocating.
#pragma once

#include <cstddef>
#include <cstdint>

#include "batch/batch_output.h"
#include "batch/record_evaluation.h"
#include "batch/record_parser.h"

// The program's own texts for the failures of a record.
struct MessageTexts {
  const char* invalidInput;  // "Invalid numeric input"
  const char* zeroDivide;    // "Floating point division by zero"
  const char* invalidOp;     // "Invalid floating point operation"
  const char* overflow;      // "Floating point overflow"
};

// Runs routine(context). Returns true when it came back normally, false when a fault ended it,
// with the fault's Win32 status (0xC000008E division by zero, 0xC0000090 invalid operation,
// 0xC0000091 overflow, ...). After a fault the caller of the guard reloads the control word.
using FaultGuard = bool (*)(void (*routine)(void* context), void* context, uint32_t& status);

class RecordProcessor {
 public:
  RecordProcessor(const OutputFormat& format, const MessageTexts& texts, OutputBuffer& results,
                  OutputBuffer& errors, FaultGuard guard);

  // Starts an input; `name` ("-" for standard input) prefixes its messages and must stay valid
  // until EndInput. The first record line of every input may be a header.
  void BeginInput(const char* name);
  // Processes every line completed by these bytes; a partial last line waits for more.
  void Feed(const char* data, size_t size);
  // The end of the input: a last line without LF is processed.
  void EndInput();

  uint64_t records() const { return records_; }        // records evaluated (headers not counted)
  uint64_t failedRecords() const { return failed_; }   // of those, the ones without a result
  // A fault that is no x87 exception of a record (an access violation, say): the processing
  // stopped there, and its status is here. Never expected; reported by the program as an error.
  uint32_t unexpectedFault() const { return unexpectedFault_; }

 private:
  static void RunGuarded(void* self);
  void Run(bool finishing);
  void ScanPending();
  void ScanLines();
  void CompleteLine();
  void ReportRaised(const Record& record);
  void WriteOutcome(const Record& record);
  void WriteResult(const Record& record);
  void ReportProblem(const Record& record);
  bool ReportFault(uint32_t status);
  void BeginMessage(const Record& record);
  void AppendField(const Record& record, FieldIndex field);

  OutputFormat format_;
  MessageTexts texts_;
  OutputBuffer& results_;
  OutputBuffer& errors_;
  FaultGuard guard_;

  RecordScanner scanner_;
  RecordEvaluation evaluation_{};
  const char* name_ = "-";
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  bool finishing_ = false;
  bool firstRecordSeen_ = false;
  uint64_t records_ = 0;
  uint64_t failed_ = 0;
  uint32_t unexpectedFault_ = 0;
};
