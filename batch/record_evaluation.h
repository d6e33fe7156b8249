// The numbers of a record and the crossing they give, computed exactly as the calculator does:
// each field through TextToReal and rounded to double at the store, then FrameIntersection.
#pragma once

#include <cstdint>

#include "batch/number_field.h"
#include "batch/record_parser.h"

// How far the evaluation of a record got. An x87 fault ends the evaluation where it happens;
// the stage then names the step that faulted.
enum class EvaluationStage : uint8_t {
  Field,         // reading the field `field`
  Intersection,  // the computation of the unknown coordinate
  Done,
};

enum class RecordProblem : uint8_t {
  None,
  MissingField,   // `field` is missing
  EmptyField,     // `field` is an empty cell
  InvalidNumber,  // `field` does not read as a number (`numberProblem` may say why)
  InvalidAxis,    // the AXIS field is neither X nor Y
};

struct RecordEvaluation {
  EvaluationStage stage;
  FieldIndex field;       // the field being read, or the first one at fault
  RecordProblem problem;  // set when the evaluation ends without a fault but without a result
  NumberTextProblem numberProblem;  // with InvalidNumber: the file's rule that the text breaks
  bool knownIsX;                    // the AXIS field is "X" or "x"
  // The exception flags, of those the program's control word does not mask, that a stage raised
  // under a control word that masks them: the evaluation stopped after that stage, which `stage`
  // and `field` name. Under the program's control word the first of them faults there instead.
  uint16_t raised;
  double x;  // the crossing, when stage is Done and problem is None
  double y;
  double a, b, k;         // then also the known axis's coordinates of A, B and the frame line
  FieldToken translated;  // with a decimal comma: the field being read, with the point instead
};

// When the evaluation looks at the exception flags. Reading the status word waits for every x87
// operation before it, which costs as much as a conversion: a record is looked at once, and only
// one that raised something is evaluated again, looking after each stage.
enum class FlagChecks : uint8_t {
  AfterEachStep,  // `raised`, `stage` and `field` name the first stage that raised anything
  AtTheEnd,       // `raised` holds every flag the record raised; the rest is of no use then
};

// Evaluates a record (kind Record), stage by stage. Under the program's control word an x87 fault
// (invalid operation, division by zero, overflow) is not caught here: it arrives at the caller's
// fault guard, with `out.stage` and `out.field` saying where it happened. Under QuietControlWord
// nothing faults: such an exception sets `out.raised` (see FlagChecks). The flags of those
// exceptions must be clear when the evaluation starts.
// With `decimalComma` a comma in a coordinate is its decimal point.
void EvaluateRecord(const Record& record, RecordEvaluation& out,
                    FlagChecks checks = FlagChecks::AfterEachStep, bool decimalComma = false);

// The program's control word with every exception masked. A record evaluated under it gives the
// same result as under the program's control word whenever it raises none of the exceptions that
// the program's word leaves unmasked: masks change only what an operation that raises does.
uint16_t QuietControlWord();
