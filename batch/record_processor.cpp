#include "batch/record_processor.h"

#include <charconv>

#include "numconv/extended.h"
#include "platform/faults.h"

namespace {

bool IsSingleFlag(uint16_t flags) { return flags != 0 && (flags & (flags - 1)) == 0; }

}  // namespace

RecordProcessor::RecordProcessor(const OutputFormat& format, const MessageTexts& texts,
                                 OutputBuffer& results, OutputBuffer& errors, FaultGuard guard)
    : format_(format), texts_(texts), results_(results), errors_(errors), guard_(guard) {}

void RecordProcessor::BeginInput(const char* name) {
  name_ = name;
  scanner_.Restart();
  firstRecordSeen_ = false;
}

void RecordProcessor::Feed(const char* data, size_t size) {
  pos_ = data;
  end_ = data + size;
  Run(false);
}

void RecordProcessor::EndInput() {
  pos_ = end_ = nullptr;
  Run(true);
}

void RecordProcessor::RunGuarded(void* self) { static_cast<RecordProcessor*>(self)->ScanPending(); }

// The guarded scan goes on from where a fault left it: everything it needs lives in this object,
// none of it in the frames that the fault leaves behind.
void RecordProcessor::Run(bool finishing) {
  finishing_ = finishing;
  while (unexpectedFault_ == 0 && !results_.failed()) {
    uint32_t status = 0;
    if (guard_(&RunGuarded, this, status)) break;
    ResetFpu();
    if (!ReportFault(status)) unexpectedFault_ = status != 0 ? status : 1;
    scanner_.NextLine();
  }
  // Messages leave after the results written before them, so that on a terminal, where both
  // outputs meet, each message follows the results of the records before it.
  if (errors_.pending() > 0) {
    results_.Flush();
    errors_.Flush();
  }
}

// The scan runs under the quiet control word: loading a control word costs as much as a whole
// conversion, so it is loaded once for all the lines of a piece, not for each record.
void RecordProcessor::ScanPending() {
  LoadFpuControlWord(QuietControlWord());
  ScanLines();
  LoadFpuControlWord(DefaultFpuControlWord);
}

void RecordProcessor::ScanLines() {
  while (pos_ != end_) {
    bool lineComplete = false;
    pos_ = scanner_.Scan(pos_, end_, lineComplete);
    if (!lineComplete) break;
    CompleteLine();
    scanner_.NextLine();
    if (results_.failed() || unexpectedFault_ != 0) return;
  }
  if (finishing_ && scanner_.Finish()) {
    CompleteLine();
    scanner_.NextLine();
  }
}

void RecordProcessor::CompleteLine() {
  const Record& record = scanner_.record();
  if (record.kind != LineKind::Record) return;
  if (!firstRecordSeen_) {
    firstRecordSeen_ = true;
    if (IsHeaderRecord(record)) return;
  }
  ++records_;
  EvaluateRecord(record, evaluation_, FlagChecks::AtTheEnd);
  if (evaluation_.raised != 0) {
    ReportRaised(record);
    return;
  }
  WriteOutcome(record);
}

// An evaluation that ended without an exception: its result, or the problem that kept it from
// one.
void RecordProcessor::WriteOutcome(const Record& record) {
  if (evaluation_.problem != RecordProblem::None) {
    ReportProblem(record);
    return;
  }
  WriteResult(record);
}

// The record raised an exception that the program's control word does not mask: under that word
// it would have faulted. Evaluated again, looking after each stage, it stops in the stage that
// would have faulted. When that stage raised one kind of exception, that kind is the fault. When
// it raised more than one (a division by zero whose infinity then meets a zero, say), which came
// first is not known from the flags: the record is evaluated once more under the program's
// control word, where the first one faults and reaches the guard, which reports it.
void RecordProcessor::ReportRaised(const Record& record) {
  LoadFpuControlWord(QuietControlWord());
  EvaluateRecord(record, evaluation_, FlagChecks::AfterEachStep);
  const uint16_t statusWord = ReadFpuStatusWord();
  const uint16_t raised = evaluation_.raised;
  if (IsSingleFlag(raised)) {
    // Loading the control word again clears the flags for the next record.
    LoadFpuControlWord(QuietControlWord());
    const uint32_t status = platform::FloatingPointFaultStatus(raised, statusWord);
    if (!ReportFault(status)) unexpectedFault_ = status;
    return;
  }
  LoadFpuControlWord(DefaultFpuControlWord);
  EvaluateRecord(record, evaluation_);
  // Not reached: the evaluation faulted. Should it come back, its result stands.
  LoadFpuControlWord(QuietControlWord());
  WriteOutcome(record);
}

void RecordProcessor::WriteResult(const Record& record) {
  if (format_.echo) {
    for (int i = 0; i < RecordFieldCount; ++i) {
      results_.Append(record.fields[i].text, record.fields[i].length);
      results_.Append('\t');
    }
  }
  AppendCoordinate(results_, evaluation_.x, format_.decimals);
  results_.Append('\t');
  AppendCoordinate(results_, evaluation_.y, format_.decimals);
  AppendLineEnd(results_, format_);
}

void RecordProcessor::BeginMessage(const Record& record) {
  ++failed_;
  AppendLineEnd(results_, format_);  // the record's line stays, empty
  errors_.Append(name_);
  errors_.Append(':');
  char number[24];
  const auto converted = std::to_chars(number, number + sizeof number, record.lineNumber);
  errors_.Append(number, static_cast<size_t>(converted.ptr - number));
  errors_.Append(": ", 2);
}

void RecordProcessor::AppendField(const Record& record, FieldIndex field) {
  const FieldToken& token = record.fields[static_cast<int>(field)];
  errors_.Append(FieldName(field));
  errors_.Append(" \"", 2);
  errors_.Append(token.text, token.length);
  errors_.Append("\": ", 3);
}

void RecordProcessor::ReportProblem(const Record& record) {
  BeginMessage(record);
  switch (evaluation_.problem) {
    case RecordProblem::TooManyFields:
      errors_.Append("field 7 \"");
      errors_.Append(record.extra.text, record.extra.length);
      errors_.Append("\": Too many fields (6 expected)");
      break;
    case RecordProblem::MissingField:
      errors_.Append(FieldName(evaluation_.field));
      errors_.Append(": Missing field");
      break;
    case RecordProblem::InvalidNumber:
    case RecordProblem::None:
      AppendField(record, evaluation_.field);
      errors_.Append(texts_.invalidInput);
      break;
  }
  errors_.Append('\n');
}

bool RecordProcessor::ReportFault(uint32_t status) {
  const char* text = nullptr;
  switch (status) {
    case platform::EXCEPTION_FLT_DIVIDE_BY_ZERO: text = texts_.zeroDivide; break;
    case platform::EXCEPTION_FLT_INVALID_OPERATION:
    case platform::EXCEPTION_FLT_STACK_CHECK: text = texts_.invalidOp; break;
    case platform::EXCEPTION_FLT_OVERFLOW: text = texts_.overflow; break;
    default: return false;
  }
  const Record& record = scanner_.record();
  BeginMessage(record);
  if (evaluation_.stage == EvaluationStage::Field) {
    AppendField(record, evaluation_.field);
  } else {
    // The computed coordinate: Y when the known one is X, else X.
    errors_.Append(evaluation_.knownIsX ? "Y: " : "X: ");
  }
  errors_.Append(text);
  errors_.Append('\n');
  return true;
}
