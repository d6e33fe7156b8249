#include "calculator/dialogue.h"

#include "calculator/frame_intersection.h"
#include "numconv/fpu_control.h"
#include "runtime/lifetime.h"
#include "textio/end_of_input.h"
#include "textio/read_values.h"
#include "textio/text_stream.h"
#include "textio/write_values.h"

double PointAX = 0.0;
double PointBX = 0.0;
double PointAY = 0.0;
double PointBY = 0.0;
double KnownCoordinate = 0.0;
double ResultY = 0.0;
double ResultX = 0.0;
std::string AxisAnswer;

// Each statement of the dialogue is one line of this file and ends with its own CheckIoResult, so
// the address reported for a failed check names the statement. Macros keep the check in the
// dialogue itself rather than in a helper.

// A whole output line, then the check.
#define WRITE_LINE(text)                                  \
  WriteLineEnd(WriteStringValue(ConsoleOutput, text, 0)); \
  CheckIoResult()

// An empty output line, then the check.
#define BLANK_LINE()           \
  WriteLineEnd(ConsoleOutput); \
  CheckIoResult()

// A number: read as an extended, rounded to double at the store (an overflow faults here, before
// the rest of the line is skipped), the rest of the line skipped, then one check for both. When
// the input ends before the number, the answer is missing: "Read beyond end of file".
#define READ_REAL(variable)                              \
  NoteMissingAnswer(SkipBlanks(ConsoleInput));           \
  variable = StoreToDouble(ReadRealValue(ConsoleInput)); \
  SkipToNextLine(ConsoleInput);                          \
  CheckIoResult()

// "X= " or "Y= ", the coordinate in a width of 5 with 2 decimals, the unit letter, the line end.
#define RESULT_LINE(label, value)                                                              \
  WriteLineEnd(                                                                                \
      WriteChar(WriteRealValue(WriteStringValue(ConsoleOutput, label, 0), value, 5, 2), 'm')); \
  CheckIoResult()

namespace {

constexpr int32_t IoErrorReadBeyondEnd = 100;

// An answer that the input ended before is recorded as I/O error 100, unless an earlier failure
// of the same statement (a standard input that cannot be opened, say) is already pending.
void NoteMissingAnswer(bool endOfInput) {
  if (endOfInput && PeekPendingIoError() == 0) SetPendingIoError(IoErrorReadBeyondEnd);
}

}  // namespace

void CalculatorDialogue() {
  WRITE_LINE("Enter the X coordinate of point A: ");
  READ_REAL(PointAX);
  WRITE_LINE("Enter the Y coordinate of point A: ");
  READ_REAL(PointAY);
  BLANK_LINE();
  WRITE_LINE("Enter the X coordinate of point B: ");
  READ_REAL(PointBX);
  WRITE_LINE("Enter the Y coordinate of point B: ");
  READ_REAL(PointBY);
  BLANK_LINE();
  WRITE_LINE("Choose a well-known coordinate of the map frame corner <X/Y> ");
  // The answer is kept exactly as typed: no trimming, no case folding; the line end is skipped.
  // An empty line is an answer (Y); the end of the input before the line is none.
  NoteMissingAnswer(AtEndOfInput(ConsoleInput));
  ReadLineToString(ConsoleInput, AxisAnswer);
  SkipToNextLine(ConsoleInput);
  CheckIoResult();
  BLANK_LINE();
  WriteLineEnd(WriteStringValue(
      WriteStringValue(WriteStringValue(ConsoleOutput, "Enter the ", 0), AxisAnswer, 0),
      " coordinate of the map frame corner", 0));
  CheckIoResult();
  READ_REAL(KnownCoordinate);
  for (int line = 0; line < 4; ++line) {
    BLANK_LINE();
  }

  // The X branch only for the one-character answer "X", compared by length and byte.
  if (AxisAnswer == "X") {
    ResultY = FrameIntersection(KnownAxis::X, PointAX, PointAY, PointBX, PointBY, KnownCoordinate);
    WRITE_LINE("The coordinate: ");
    RESULT_LINE("X= ", KnownCoordinate);
    RESULT_LINE("Y= ", ResultY);
  } else {
    ResultX = FrameIntersection(KnownAxis::Y, PointAX, PointAY, PointBX, PointBY, KnownCoordinate);
    WRITE_LINE("The coordinate: ");
    RESULT_LINE("X= ", ResultX);
    RESULT_LINE("Y= ", KnownCoordinate);
  }

  for (int line = 0; line < 6; ++line) {
    BLANK_LINE();
  }
  WRITE_LINE("*Press Enter to exit*");
  // Waits for Enter when nothing is left in the input buffer.
  SkipToNextLine(ConsoleInput);
  CheckIoResult();
  ExitProgram(0, nullptr);
}
