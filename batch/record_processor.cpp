#include "batch/record_processor.h"

#include <cstring>

#include "batch/problem_texts.h"
#include "batch/table_fields.h"
#include "numconv/extended.h"
#include "numconv/integer_text.h"
#include "platform/faults.h"

namespace {

bool IsSingleFlag(uint16_t flags) { return flags != 0 && (flags & (flags - 1)) == 0; }

}  // namespace

void RecordProcessor::Message::Append(const char* data, size_t size) {
  const size_t room = sizeof text - length;
  if (size > room) size = room;
  std::memcpy(text + length, data, size);
  length += size;
}

void RecordProcessor::Message::Append(const char* data) { Append(data, std::strlen(data)); }

void RecordProcessor::Message::AppendNumber(uint64_t value) {
  char digits[integertext::MaxDigits];
  Append(digits, integertext::WriteDecimal(value, digits));
}

RecordProcessor::RecordProcessor(const OutputFormat& format, const MessageTexts& texts,
                                 OutputBuffer& results, OutputBuffer& errors, FaultGuard guard,
                                 const ReadOptions& read)
    : format_(format),
      texts_(texts),
      results_(results),
      errors_(errors),
      guard_(guard),
      read_(read) {}

void RecordProcessor::BeginInput(const char* name) {
  name_ = name;
  scanner_.Restart();
  prelude_.Restart();
  inPrelude_ = true;
  surveying_ = false;
  stopped_ = false;
  heldPos_ = heldEnd_ = nullptr;
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
  for (;;) {
    if (stopped_ || results_.failed() || unexpectedFault_ != 0) return;
    if (inPrelude_) {
      if (!AdvancePrelude()) break;
      continue;
    }
    // The first line held by the prelude, then the bytes of the piece.
    const bool fromHeld = heldPos_ != heldEnd_;
    const char*& pos = fromHeld ? heldPos_ : pos_;
    const char* const end = fromHeld ? heldEnd_ : end_;
    pos = scanner_.PassLineFeed(pos, end);
    if (pos == end) break;
    const char* const start = pos;
    bool lineComplete = false;
    const char* contentEnd = nullptr;
    pos = scanner_.Scan(pos, end, lineComplete, contentEnd);
    if (format_.table)
      WriteTableText(start, static_cast<size_t>((lineComplete ? contentEnd : pos) - start));
    if (!lineComplete) continue;
    CompleteLine();
    scanner_.NextLine();
  }
  // The prelude has handed back what it held at the end (above); a first line without line end
  // was scanned, and is finished here.
  if (!finishing_ || stopped_ || inPrelude_) return;
  if (scanner_.Finish()) {
    CompleteLine();
    scanner_.NextLine();
  }
}

// One step of the start of an input; false when it needs more bytes, or the input stopped.
bool RecordProcessor::AdvancePrelude() {
  const InputPrelude::Outcome outcome =
      finishing_ && pos_ == end_ ? prelude_.Finish() : prelude_.Take(pos_, end_);
  // A table begins with the byte-order mark that its first input began with.
  if (format_.table && !tableStarted_ && prelude_.byteOrderMarkSkipped() &&
      (outcome == InputPrelude::Outcome::PassedLine ||
       outcome == InputPrelude::Outcome::FirstLine)) {
    WriteTableText(Utf8ByteOrderMark, 3);
  }
  switch (outcome) {
    case InputPrelude::Outcome::NeedMore:
      return false;
    case InputPrelude::Outcome::LongLineStart:
      StopInput(scanner_.record().lineNumber, "line",
                "more than 16384 bytes of blanks and delimiters before the first field of the "
                "line; its fields cannot be told");
      return false;
    case InputPrelude::Outcome::Utf16:
      StopInput(scanner_.record().lineNumber, "encoding",
                "UTF-16 text (a byte-order mark, or zero bytes between the characters): save "
                "the file as UTF-8 (or ASCII) text");
      return false;
    case InputPrelude::Outcome::PassedLine:
      if (format_.table) {
        WriteTableText(prelude_.held(), prelude_.heldLength());
        if (prelude_.lineComplete()) AppendLineEnd(results_, format_);
      }
      if (prelude_.lineComplete()) scanner_.SkipLines(1);
      return true;
    case InputPrelude::Outcome::FirstLine:
      scanner_.SetDelimiter(read_.delimiterGiven ? read_.delimiter
                                                 : prelude_.DetectDelimiter(read_.decimalComma));
      heldPos_ = prelude_.held();
      heldEnd_ = heldPos_ + prelude_.heldLength();
      inPrelude_ = false;
      BeginRecords();
      return true;
  }
  return false;
}

// The scan of the records begins: the first record line is surveyed, with the columns that a
// line of numbers would have.
void RecordProcessor::BeginRecords() {
  delimiterByte_ = DelimiterByte(scanner_.delimiter());
  HeaderSurvey none;
  none.Begin(read_.columns);
  char problem[8];
  if (!DecideLayout(none, false, read_.columns, layout_, problem, sizeof problem)) {
    layout_ = ColumnLayout{};  // --columns by name: the survey of the first line reports it
  }
  ApplyLayout();
  survey_.Begin(read_.columns);
  scanner_.CaptureFields(&HeaderSurvey::Take, &survey_);
  surveying_ = true;
}

// The scanner keeps the fields of layout_'s columns.
void RecordProcessor::ApplyLayout() {
  if (layout_.positional) {
    scanner_.SetPositionalSlots();
    return;
  }
  scanner_.ClearSlots();
  for (uint8_t i = 0; i < RecordFieldCount; ++i) scanner_.SetSlot(layout_.columns[i], i);
}

// "FILE:LINE: ", which begins every message about the input.
void RecordProcessor::BeginMessageLine(uint64_t line) {
  errors_.Append(name_);
  errors_.Append(':');
  char digits[integertext::MaxDigits];
  errors_.Append(digits, integertext::WriteDecimal(line, digits));
  errors_.Append(": ", 2);
}

void RecordProcessor::StopInput(uint64_t line, const char* subject, const char* problem) {
  stopped_ = true;
  BeginMessageLine(line);
  errors_.Append(subject);
  errors_.Append(": ", 2);
  errors_.Append(problem);
  errors_.Append('\n');
}

void RecordProcessor::WriteTableText(const char* data, size_t size) {
  if (size == 0) return;
  tableStarted_ = true;
  results_.Append(data, size);
}

void RecordProcessor::WriteTableField(const char* data, size_t size) {
  results_.Append(delimiterByte_);
  AppendTableField(results_, data, size, delimiterByte_);
}

// The first record line of an input: a header or a record, and the columns of the records.
// False when it was a header (or the input stopped).
bool RecordProcessor::SurveyFirstLine(const Record& record) {
  surveying_ = false;
  scanner_.CaptureFields(nullptr, nullptr);
  // Clears what the masked conversions of the survey left in the status word.
  LoadFpuControlWord(QuietControlWord());
  const bool isHeader = !survey_.anyNumber;
  char problem[256];
  if (!DecideLayout(survey_, isHeader, read_.columns, layout_, problem, sizeof problem)) {
    if (format_.table) AppendLineEnd(results_, format_);
    StopInput(record.lineNumber, isHeader ? "header" : "columns", problem);
    return false;
  }
  if (!isHeader) return true;
  ApplyLayout();
  if (format_.table) {
    static const char* const Names[] = {"X", "Y", "on_AB", "error"};
    for (const char* name : Names) WriteTableField(name, std::strlen(name));
    AppendLineEnd(results_, format_);
  }
  return false;
}

void RecordProcessor::CompleteLine() {
  const Record& record = scanner_.record();
  if (record.kind != LineKind::Record) {
    if (format_.table) AppendLineEnd(results_, format_);
    // A line of empty cells is no header: the survey begins again with the next line.
    if (surveying_) survey_.Begin(read_.columns);
    return;
  }
  if (surveying_ && !SurveyFirstLine(record)) return;
  ++records_;
  if (!CheckShape(record)) return;
  EvaluateRecord(record, evaluation_, FlagChecks::AtTheEnd, read_.decimalComma);
  if (evaluation_.raised != 0) {
    ReportRaised(record);
    return;
  }
  WriteOutcome(record);
}

// The record's fields as a whole: its quotes, and its number of fields. False when they keep it
// from being evaluated (the failure is then written).
bool RecordProcessor::CheckShape(const Record& record) {
  const bool tooMany = layout_.positional && record.fieldCount > RecordFieldCount;
  const bool countDiffers = layout_.exactFields != 0 && record.fieldCount != layout_.exactFields;
  // The usual record: sound quotes and the layout's number of fields; nothing to write.
  if (record.defect == FieldDefect::None && !tooMany && !countDiffers) return true;
  message_.Clear();
  if (record.defect != FieldDefect::None) {
    AppendColumnName(record, record.defectColumn);
    message_.Append(record.defect == FieldDefect::NotClosed  ? kQuoteNotClosed
                    : record.defect == FieldDefect::ZeroByte ? kZeroByte
                                                             : kTextAfterClosingQuote);
  } else if (tooMany) {
    message_.Append("field ");
    message_.AppendNumber(record.extraColumn + 1);
    message_.Append(" \"");
    message_.Append(record.extra.text, record.extra.length);
    message_.Append("\": ");
    message_.Append(kTooManyFields);
    if (scanner_.delimiter() == Delimiter::Comma) message_.Append(kCommaDelimitedHint);
  } else {
    message_.Append("record: ");
    message_.AppendNumber(record.fieldCount);
    message_.Append(record.fieldCount == 1 ? " field, but the header has "
                                           : " fields, but the header has ");
    message_.AppendNumber(layout_.exactFields);
    if (scanner_.delimiter() == Delimiter::Comma) message_.Append(kCommaDelimitedHint);
  }
  WriteFailure(record);
  return false;
}

// An evaluation that ended without an exception: its result, or the problem that kept it from
// one.
void RecordProcessor::WriteOutcome(const Record& record) {
  if (evaluation_.problem != RecordProblem::None) {
    ReportProblem(record);
    return;
  }
  WriteResult();
}

// The record raised an exception that the program's control word does not mask: under that word
// it would have faulted. Evaluated again, looking after each stage, it stops in the stage that
// would have faulted. When that stage raised one kind of exception, that kind is the fault. When
// it raised more than one (a division by zero whose infinity then meets a zero, say), which came
// first is not known from the flags: the record is evaluated once more under the program's
// control word, where the first one faults and reaches the guard, which reports it.
void RecordProcessor::ReportRaised(const Record& record) {
  LoadFpuControlWord(QuietControlWord());
  EvaluateRecord(record, evaluation_, FlagChecks::AfterEachStep, read_.decimalComma);
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
  EvaluateRecord(record, evaluation_, FlagChecks::AfterEachStep, read_.decimalComma);
  // Not reached: the evaluation faulted. Should it come back, its result stands.
  LoadFpuControlWord(QuietControlWord());
  WriteOutcome(record);
}

void RecordProcessor::WriteResult() {
  if (format_.table) {
    // The table keeps the file's decimal point.
    const char point = read_.decimalComma ? ',' : '.';
    results_.Append(delimiterByte_);
    AppendCoordinate(results_, evaluation_.x, format_.decimals, point);
    results_.Append(delimiterByte_);
    AppendCoordinate(results_, evaluation_.y, format_.decimals, point);
    const bool between = evaluation_.a <= evaluation_.b
                             ? evaluation_.a <= evaluation_.k && evaluation_.k <= evaluation_.b
                             : evaluation_.b <= evaluation_.k && evaluation_.k <= evaluation_.a;
    WriteTableField(between ? "yes" : "no", between ? 3 : 2);
    WriteTableField("", 0);
    AppendLineEnd(results_, format_);
    return;
  }
  if (format_.echo) {
    const Record& record = scanner_.record();
    // A field that holds a tab, a quote or a line end is quoted, so that the line keeps its shape.
    for (int i = 0; i < RecordFieldCount; ++i) {
      AppendTableField(results_, record.fields[i].text, record.fields[i].length, '\t');
      results_.Append('\t');
    }
  }
  AppendCoordinate(results_, evaluation_.x, format_.decimals);
  results_.Append('\t');
  AppendCoordinate(results_, evaluation_.y, format_.decimals);
  AppendLineEnd(results_, format_);
}

// The record's failure, in message_: on the error output after FILE:LINE:, and in its result
// line (empty, or in the table's last column).
void RecordProcessor::WriteFailure(const Record& record) {
  ++failed_;
  if (format_.table) {
    for (int i = 0; i < 3; ++i) WriteTableField("", 0);
    WriteTableField(message_.text, message_.length);
  }
  AppendLineEnd(results_, format_);  // the record's line stays, empty
  BeginMessageLine(record.lineNumber);
  errors_.Append(message_.text, message_.length);
  errors_.Append('\n');
}

// "AX" and, with `withText`, the field's text: AX "12a".
void RecordProcessor::AppendFieldName(const Record& record, FieldIndex field, bool withText) {
  message_.Append(FieldName(field));
  if (withText) {
    const FieldToken& token = record.fields[static_cast<int>(field)];
    message_.Append(" \"", 2);
    message_.Append(token.text, token.length);
    message_.Append("\"", 1);
  }
  message_.Append(": ", 2);
}

// The field of a column: its name when it is one of the six, else "column N".
void RecordProcessor::AppendColumnName(const Record& record, uint64_t column) {
  for (int i = 0; i < RecordFieldCount; ++i) {
    if (layout_.columns[i] == column) {
      AppendFieldName(record, static_cast<FieldIndex>(i), false);
      return;
    }
  }
  message_.Append("column ");
  message_.AppendNumber(column + 1);
  message_.Append(": ", 2);
}

void RecordProcessor::ReportProblem(const Record& record) {
  message_.Clear();
  const FieldIndex field = evaluation_.field;
  switch (evaluation_.problem) {
    case RecordProblem::MissingField:
      AppendFieldName(record, field, false);
      message_.Append(kMissingField);
      if (!layout_.positional) {
        message_.Append(" (column ");
        message_.AppendNumber(layout_.columns[static_cast<int>(field)] + 1);
        message_.Append(")");
      } else if (scanner_.delimiter() == Delimiter::Comma) {
        message_.Append(kCommaDelimitedHint);
      }
      break;
    case RecordProblem::EmptyField:
      AppendFieldName(record, field, false);
      message_.Append(kEmptyField);
      break;
    case RecordProblem::InvalidAxis:
      AppendFieldName(record, field, true);
      message_.Append(kNotXOrY);
      break;
    case RecordProblem::InvalidNumber:
    case RecordProblem::None:
      AppendFieldName(record, field, true);
      message_.Append(texts_.invalidInput);
      switch (evaluation_.numberProblem) {
        case NumberTextProblem::NoDigit:
          message_.Append(kNoDigit);
          break;
        case NumberTextProblem::CommaNeedsOption:
          message_.Append(kCommaNeedsOption);
          break;
        case NumberTextProblem::PointWithDecimalComma:
          message_.Append(kPointWithDecimalComma);
          break;
        case NumberTextProblem::Empty:
        case NumberTextProblem::None:
          break;
      }
      break;
  }
  WriteFailure(record);
}

bool RecordProcessor::ReportFault(uint32_t status) {
  const char* text = nullptr;
  switch (status) {
    case platform::EXCEPTION_FLT_DIVIDE_BY_ZERO:
      text = texts_.zeroDivide;
      break;
    case platform::EXCEPTION_FLT_INVALID_OPERATION:
    case platform::EXCEPTION_FLT_STACK_CHECK:
      text = texts_.invalidOp;
      break;
    case platform::EXCEPTION_FLT_OVERFLOW:
      text = texts_.overflow;
      break;
    default:
      return false;
  }
  const Record& record = scanner_.record();
  message_.Clear();
  if (evaluation_.stage == EvaluationStage::Field) {
    AppendFieldName(record, evaluation_.field, true);
  } else {
    // The computed coordinate: Y when the known one is X, else X.
    message_.Append(evaluation_.knownIsX ? "Y: " : "X: ");
  }
  message_.Append(text);
  WriteFailure(record);
  return true;
}

bool PlatformFaultGuard(void (*routine)(void* context), void* context, uint32_t& status) {
  platform::EXCEPTION_RECORD fault;
  if (platform::CallWithFaultGuard(routine, context, fault)) return true;
  status = fault.ExceptionCode;
  return false;
}

const char* ConflictingOptions(const OutputFormat& format, const ReadOptions& read) {
  if (format.table && format.echo) return "--table and --echo cannot be given together";
  if (read.decimalComma && read.delimiterGiven && read.delimiter == Delimiter::Comma) {
    return "with --decimal-comma the delimiter cannot be ','";
  }
  return nullptr;
}
