#include "batch/record_evaluation.h"

#include "calculator/frame_intersection.h"
#include "numconv/extended.h"
#include "numconv/text_to_real.h"

namespace {

constexpr FieldIndex NumberOrder[] = {FieldIndex::AX, FieldIndex::AY, FieldIndex::BX,
                                      FieldIndex::BY, FieldIndex::K};

constexpr uint16_t AllExceptionsMasked = 0x003F;

// The flags of the exceptions that the program's control word leaves unmasked.
uint16_t RaisedUnmasked() {
  return static_cast<uint16_t>(ReadFpuStatusWord() & ~DefaultFpuControlWord & AllExceptionsMasked);
}

bool Present(const Record& record, FieldIndex field) {
  return static_cast<int>(field) < record.fieldCount;
}

// One number field as the calculator reads it: the token through TextToReal, the value stored
// to double (an overflow of the store faults here), and only then the error position looked at,
// as the calculator stores the value before it checks the read. False ends the evaluation: with
// a problem (the stage is then Done) or with an exception raised in this field's stage.
// Inlined into each of its five uses: called, it took a twentieth of the whole run more (the
// call's saves and reloads of registers sit between the conversions).
[[gnu::always_inline]] inline bool ReadNumber(const Record& record, FieldIndex field,
                                              FlagChecks checks, RecordEvaluation& out,
                                              double& value) {
  out.field = field;
  if (!Present(record, field)) {
    out.problem = RecordProblem::MissingField;
    out.stage = EvaluationStage::Done;
    return false;
  }
  int32_t errorPosition = 0;
  // A file's coordinates change their sign and their number of digits at random; the token's
  // buffer is padded for the conversion's word reads.
  static_assert(sizeof(FieldToken::text) >= PaddedTextReadableBytes);
  const Extended read = PaddedTextToReal(record.fields[static_cast<int>(field)].text, errorPosition);
  value = StoreToDouble(read);
  if (checks == FlagChecks::AfterEachStep) {
    out.raised = RaisedUnmasked();
    if (out.raised != 0) return false;
  }
  if (errorPosition != 0) {
    out.problem = RecordProblem::InvalidNumber;
    out.stage = EvaluationStage::Done;
    return false;
  }
  return true;
}

// Inlined into EvaluateRecord once for each way of checking, so that neither looks at the other.
[[gnu::always_inline]] inline void EvaluateSteps(const Record& record, FlagChecks checks,
                                                 RecordEvaluation& out) {
  out.stage = EvaluationStage::Field;
  out.problem = RecordProblem::None;
  out.knownIsX = false;
  out.raised = 0;
  out.field = FieldIndex::AX;
  if (record.tooManyFields) {
    out.problem = RecordProblem::TooManyFields;
    out.stage = EvaluationStage::Done;
    return;
  }
  double ax = 0, ay = 0, bx = 0, by = 0, k = 0;
  // The calculator's order of questions: the four coordinates, the axis, the known coordinate.
  if (!ReadNumber(record, FieldIndex::AX, checks, out, ax) || !ReadNumber(record, FieldIndex::AY, checks, out, ay) ||
      !ReadNumber(record, FieldIndex::BX, checks, out, bx) || !ReadNumber(record, FieldIndex::BY, checks, out, by)) {
    return;
  }
  if (!Present(record, FieldIndex::Axis)) {
    out.field = FieldIndex::Axis;
    out.problem = RecordProblem::MissingField;
    out.stage = EvaluationStage::Done;
    return;
  }
  const FieldToken& axis = record.fields[static_cast<int>(FieldIndex::Axis)];
  // The X branch only for exactly the one character "X".
  out.knownIsX = axis.length == 1 && axis.text[0] == 'X';
  if (!ReadNumber(record, FieldIndex::K, checks, out, k)) return;
  out.stage = EvaluationStage::Intersection;
  if (out.knownIsX) {
    out.x = k;
    out.y = FrameIntersection(KnownAxis::X, ax, ay, bx, by, k);
  } else {
    out.x = FrameIntersection(KnownAxis::Y, ax, ay, bx, by, k);
    out.y = k;
  }
  if (checks == FlagChecks::AfterEachStep) {
    out.raised = RaisedUnmasked();
    if (out.raised != 0) return;
  }
  out.stage = EvaluationStage::Done;
}

}  // namespace

void EvaluateRecord(const Record& record, RecordEvaluation& out, FlagChecks checks) {
  if (checks == FlagChecks::AtTheEnd) {
    EvaluateSteps(record, FlagChecks::AtTheEnd, out);
    out.raised = RaisedUnmasked();
  } else {
    EvaluateSteps(record, FlagChecks::AfterEachStep, out);
  }
}

uint16_t QuietControlWord() {
  return static_cast<uint16_t>(DefaultFpuControlWord | AllExceptionsMasked);
}

bool IsHeaderRecord(const Record& record) {
  const uint16_t callersControlWord = ReadFpuControlWord();
  LoadFpuControlWord(QuietControlWord());
  bool anyNumber = false;
  for (const FieldIndex field : NumberOrder) {
    if (!Present(record, field)) continue;
    int32_t errorPosition = 0;
    TextToReal(record.fields[static_cast<int>(field)].text, errorPosition);
    if (errorPosition == 0) {
      anyNumber = true;
      break;
    }
  }
  // Clears what the masked conversions left in the status word.
  LoadFpuControlWord(callersControlWord);
  return !anyNumber;
}
