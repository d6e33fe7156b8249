// The numbers of a record and the crossing they give, computed exactly as the calculator does:
// each field through TextToReal and rounded to double at the store, then FrameIntersection.
#pragma once

#include <cstdint>

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
  TooManyFields,  // a seventh field
  MissingField,   // `field` is missing
  InvalidNumber,  // `field` does not read as a number
};

struct RecordEvaluation {
  EvaluationStage stage;
  FieldIndex field;       // the field being read, or the first one at fault
  RecordProblem problem;  // set when the evaluation ends without a fault but without a result
  bool knownIsX;          // the AXIS field is exactly "X"
  // The exception flags, of those the program's control word does not mask, that a stage raised
  // under a control word that masks them: the evaluation stopped after that stage, which `stage`
  // and `field` name. Under the program's control word the first of them faults there instead.
  uint16_t raised;
  double x;               // the crossing, when stage is Done and problem is None
  double y;
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
void EvaluateRecord(const Record& record, RecordEvaluation& out,
                    FlagChecks checks = FlagChecks::AfterEachStep);

// The program's control word with every exception masked. A record evaluated under it gives the
// same result as under the program's control word whenever it raises none of the exceptions that
// the program's word leaves unmasked: masks change only what an operation that raises does.
uint16_t QuietControlWord();

// A header line: none of the five numeric fields (AX, AY, BX, BY, K) reads as a number, missing
// fields counting as not numbers. Never faults: the conversions run with every x87 exception
// masked; the caller's control word is loaded again afterwards, with clear exception flags.
bool IsHeaderRecord(const Record& record);
