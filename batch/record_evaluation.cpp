#include "batch/record_evaluation.h"

#include <cstring>

#include "calculator/frame_intersection.h"
#include "numconv/extended.h"
#include "numconv/text_to_real.h"

namespace {

constexpr uint16_t AllExceptionsMasked = 0x003F;

// The flags of the exceptions that the program's control word leaves unmasked.
uint16_t RaisedUnmasked() {
  return static_cast<uint16_t>(ReadFpuStatusWord() & ~DefaultFpuControlWord & AllExceptionsMasked);
}

bool Present(const Record& record, FieldIndex field) {
  return HasField(record, static_cast<int>(field));
}

// Ends the evaluation without a result.
inline bool Stop(RecordEvaluation& out, RecordProblem problem) {
  out.problem = problem;
  out.stage = EvaluationStage::Done;
  return false;
}

// One number field as the calculator reads it: the token through TextToReal, the value stored
// to double (an overflow of the store faults here), and only then the error position looked at,
// as the calculator stores the value before it checks the read. A file's own rules come first
// (an empty cell, a comma) and last (a number without a digit, which the calculator reads as 0).
// False ends the evaluation: with a problem (the stage is then Done) or with an exception raised
// in this field's stage. Inlined into each of its five uses: called, it took a twentieth of the
// whole run more (the call's saves and reloads of registers sit between the conversions).
[[gnu::always_inline]] inline bool ReadNumber(const Record& record, FieldIndex field,
                                              FlagChecks checks, bool decimalComma,
                                              RecordEvaluation& out, double& value) {
  out.field = field;
  if (!Present(record, field)) return Stop(out, RecordProblem::MissingField);
  const FieldToken* token = &record.fields[static_cast<int>(field)];
  if (token->length == 0) return Stop(out, RecordProblem::EmptyField);
  if (decimalComma) {
    if (!WithDecimalPoint(*token, out.translated)) {
      out.numberProblem = NumberTextProblem::PointWithDecimalComma;
      return Stop(out, RecordProblem::InvalidNumber);
    }
    token = &out.translated;
  }
  // The file's rule of a digit before the exponent, looked at apart from the conversion (its
  // outcome is needed only when the calculator would take the text).
  const bool noDigit = !HasMantissaDigit(token->text);
  int32_t errorPosition = 0;
  // A file's coordinates change their sign and their number of digits at random; the token's
  // buffer is padded for the conversion's word reads.
  static_assert(sizeof(FieldToken::text) >= PaddedTextReadableBytes);
  const Extended read = PaddedTextToReal(token->text, errorPosition);
  value = StoreToDouble(read);
  if (checks == FlagChecks::AfterEachStep) {
    out.raised = RaisedUnmasked();
    if (out.raised != 0) return false;
  }
  if (errorPosition != 0) {
    if (!decimalComma && std::memchr(token->text, ',', token->length) != nullptr) {
      out.numberProblem = NumberTextProblem::CommaNeedsOption;
    }
    return Stop(out, RecordProblem::InvalidNumber);
  }
  if (noDigit) {
    out.numberProblem = NumberTextProblem::NoDigit;
    return Stop(out, RecordProblem::InvalidNumber);
  }
  return true;
}

// Inlined into EvaluateRecord once for each way of checking, so that neither looks at the other.
[[gnu::always_inline]] inline void EvaluateSteps(const Record& record, FlagChecks checks,
                                                 bool decimalComma, RecordEvaluation& out) {
  out.stage = EvaluationStage::Field;
  out.problem = RecordProblem::None;
  out.numberProblem = NumberTextProblem::None;
  out.knownIsX = false;
  out.raised = 0;
  out.field = FieldIndex::AX;
  double ax = 0, ay = 0, bx = 0, by = 0, k = 0;
  // The calculator's order of questions: the four coordinates, the axis, the known coordinate.
  if (!ReadNumber(record, FieldIndex::AX, checks, decimalComma, out, ax) ||
      !ReadNumber(record, FieldIndex::AY, checks, decimalComma, out, ay) ||
      !ReadNumber(record, FieldIndex::BX, checks, decimalComma, out, bx) ||
      !ReadNumber(record, FieldIndex::BY, checks, decimalComma, out, by)) {
    return;
  }
  out.field = FieldIndex::Axis;
  if (!Present(record, FieldIndex::Axis)) {
    Stop(out, RecordProblem::MissingField);
    return;
  }
  const FieldToken& axis = record.fields[static_cast<int>(FieldIndex::Axis)];
  if (axis.length == 0) {
    Stop(out, RecordProblem::EmptyField);
    return;
  }
  // X or Y in either case; anything else is in doubt.
  const char letter = static_cast<char>(axis.text[0] & ~0x20);
  if (axis.length != 1 || (letter != 'X' && letter != 'Y')) {
    Stop(out, RecordProblem::InvalidAxis);
    return;
  }
  out.knownIsX = letter == 'X';
  if (!ReadNumber(record, FieldIndex::K, checks, decimalComma, out, k)) return;
  out.stage = EvaluationStage::Intersection;
  if (out.knownIsX) {
    out.x = k;
    out.y = FrameIntersection(KnownAxis::X, ax, ay, bx, by, k);
    out.a = ax;
    out.b = bx;
  } else {
    out.x = FrameIntersection(KnownAxis::Y, ax, ay, bx, by, k);
    out.y = k;
    out.a = ay;
    out.b = by;
  }
  out.k = k;
  if (checks == FlagChecks::AfterEachStep) {
    out.raised = RaisedUnmasked();
    if (out.raised != 0) return;
  }
  out.stage = EvaluationStage::Done;
}

}  // namespace

void EvaluateRecord(const Record& record, RecordEvaluation& out, FlagChecks checks,
                    bool decimalComma) {
  if (checks == FlagChecks::AtTheEnd) {
    EvaluateSteps(record, FlagChecks::AtTheEnd, decimalComma, out);
    out.raised = RaisedUnmasked();
  } else {
    EvaluateSteps(record, FlagChecks::AfterEachStep, decimalComma, out);
  }
}

uint16_t QuietControlWord() {
  return static_cast<uint16_t>(DefaultFpuControlWord | AllExceptionsMasked);
}
