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
  double x;               // the crossing, when stage is Done and problem is None
  double y;
};

// Evaluates a record (kind Record). An x87 fault (invalid operation, division by zero, overflow)
// is not caught here: it arrives at the caller's fault guard, with `out.stage` and `out.field`
// saying where it happened. The x87 must run under the program's control word.
void EvaluateRecord(const Record& record, RecordEvaluation& out);

// A header line: none of the five numeric fields (AX, AY, BX, BY, K) reads as a number, missing
// fields counting as not numbers. Never faults: the conversions run with every x87 exception
// masked, and the program's control word is loaded again afterwards.
bool IsHeaderRecord(const Record& record);
