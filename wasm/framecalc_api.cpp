// The functions that the WebAssembly module exports to JavaScript: the calculator's number
// conversions, its dialogue's crossing, and framecalc-batch's processing of records, each with the
// bytes that the Linux programs give. wasm/framecalc.mjs wraps them for a page or node.
//
// Texts pass through the module's memory: JavaScript writes a text into the input block
// (framecalc_input_block, framecalc_input_capacity bytes) and passes its length; a function that
// answers with a text leaves it in the output text (framecalc_output, framecalc_output_length).
// framecalc-batch's results and messages leave through the imported function
// framecalc.write(stream, data, length) (stream 1: the results, 2: the messages), in blocks, as
// the program writes them to its standard output and standard error.
//
// A floating-point fault of the software arithmetic leaves through JavaScript (platform/wasm):
// every computation below runs under the fault guard, and what it must keep lives in the static
// records of this file, never in the frames that a fault leaves behind.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "batch/output_buffer.h"
#include "batch/column_layout.h"
#include "batch/program_name.h"
#include "batch/record_processor.h"
#include "calculator/frame_intersection.h"
#include "numconv/extended.h"
#include "numconv/real_to_text.h"
#include "numconv/text_to_real.h"
#include "platform/faults.h"

#define FRAMECALC_EXPORT(name) extern "C" __attribute__((export_name(name)))

// framecalc-batch's output, handed to JavaScript.
extern "C" __attribute__((import_module("framecalc"), import_name("write"))) void framecalc_write(
    uint32_t stream, const char* data, size_t size);

namespace {

// The program's message texts, from the one list of them.
namespace texts {
#define STRING_TEXT(identifier, name, text) [[maybe_unused]] constexpr char name[] = text;
#include "resources/string_texts.inc"
#undef STRING_TEXT
}  // namespace texts

// The input block, with room after it for the conversions' and the record scanner's word reads
// past a text's end.
constexpr size_t InputCapacity = size_t{1} << 20;
constexpr size_t InputPadding = 64;
alignas(16) char InputBlock[InputCapacity + InputPadding];

char OutputText[512];
size_t OutputLength = 0;

void SetOutput(const char* data, size_t size) {
  if (size > sizeof OutputText) size = sizeof OutputText;
  std::memcpy(OutputText, data, size);
  OutputLength = size;
}

void AppendOutput(const char* data, size_t size) {
  const size_t room = sizeof OutputText - OutputLength;
  if (size > room) size = room;
  std::memcpy(OutputText + OutputLength, data, size);
  OutputLength += size;
}

void AppendOutput(const char* text) { AppendOutput(text, std::strlen(text)); }

// The input block's first `length` bytes as a NUL-terminated text.
const char* InputText(uint32_t length) {
  InputBlock[length < InputCapacity ? length : InputCapacity] = '\0';
  return InputBlock;
}

// Runs routine(context) under the fault guard: 0 when it came back, else the fault's status (the
// control word is loaded again then).
uint32_t Guarded(void (*routine)(void* context), void* context) {
  uint32_t status = 0;
  if (PlatformFaultGuard(routine, context, status)) return 0;
  ResetFpu();
  return status;
}

// The value of the last conversion.
struct ValueRecord {
  Extended value;
  int32_t errorPosition;
  double stored;
  int32_t width;
  int32_t decimals;
  bool fromDouble;  // the text is of `stored`, widened, not of `value`
};
ValueRecord Value{};

// The exception class and message that the calculator reports for a failure.
struct Failure {
  const char* className;
  const char* message;
};

Failure FaultFailure(uint32_t status) {
  switch (status) {
    case platform::EXCEPTION_FLT_DIVIDE_BY_ZERO:
      return {"EZeroDivide", texts::StringIdZeroDivide};
    case platform::EXCEPTION_FLT_INVALID_OPERATION:
    case platform::EXCEPTION_FLT_STACK_CHECK:
      return {"EInvalidOp", texts::StringIdInvalidOp};
    case platform::EXCEPTION_FLT_OVERFLOW:
      return {"EOverflow", texts::StringIdOverflow};
    case platform::EXCEPTION_FLT_UNDERFLOW:
      return {"EUnderflow", texts::StringIdUnderflow};
    default:
      return {"EMathError", "Floating point fault"};
  }
}

// The run-time's I/O errors that the dialogue can meet.
constexpr int32_t IoErrorReadBeyondEnd = 100;
constexpr int32_t IoErrorInvalidNumber = 106;

Failure IoFailure(int32_t code) {
  return {"EInOutError",
          code == IoErrorReadBeyondEnd ? texts::StringIdEndOfFile : texts::StringIdInvalidInput};
}

// "CLASS\nMESSAGE\n" in the output text.
void WriteFailure(const Failure& failure) {
  OutputLength = 0;
  AppendOutput(failure.className);
  AppendOutput("\n", 1);
  AppendOutput(failure.message);
  AppendOutput("\n", 1);
}

// ---- The dialogue's reading of its answers ------------------------------------------------------
//
// The calculator reads its console as a text stream in CR LF mode: blanks (every byte up to 32)
// before a number are passed over, across lines; a number is the next at most 64 bytes up to a
// blank; the rest of its line is skipped up to and including the LF; a byte 26 (Ctrl+Z) ends the
// input where it stands. Here the whole input is in one block.

constexpr uint8_t LineFeed = 10;
constexpr uint8_t CarriageReturn = 13;
constexpr uint8_t EndOfFileMark = 26;
constexpr uint8_t LastBlank = 32;
constexpr int32_t TokenLength = 64;

struct DialogueState {
  const uint8_t* bytes;
  size_t size;
  size_t pos;
  int32_t pendingIoError;
  double answers[5];  // AX, AY, BX, BY, the known coordinate
  bool axisIsX;
  double resultX;
  double resultY;
};
DialogueState Dialogue{};

bool AtEnd(const DialogueState& d) { return d.pos >= d.size || d.bytes[d.pos] == EndOfFileMark; }

// True at the end of the input.
bool SkipBlanks(DialogueState& d) {
  while (!AtEnd(d) && d.bytes[d.pos] <= LastBlank) ++d.pos;
  return AtEnd(d);
}

void SkipToNextLine(DialogueState& d) {
  while (!AtEnd(d)) {
    if (d.bytes[d.pos++] == LineFeed) return;
  }
}

void NoteMissingAnswer(DialogueState& d, bool endOfInput) {
  if (endOfInput && d.pendingIoError == 0) d.pendingIoError = IoErrorReadBeyondEnd;
}

Extended ReadRealValue(DialogueState& d) {
  if (SkipBlanks(d)) return 0;
  char token[TokenLength + 1];
  int32_t length = 0;
  while (length < TokenLength && !AtEnd(d) && d.bytes[d.pos] > LastBlank) {
    token[length++] = static_cast<char>(d.bytes[d.pos++]);
  }
  token[length] = '\0';
  int32_t errorPosition = 0;
  const Extended value = TextToReal(token, errorPosition);
  if (errorPosition != 0) d.pendingIoError = IoErrorInvalidNumber;
  return value;
}

// One number answer: read, stored to double (an overflow faults here), the rest of its line
// skipped. False when the statement's check fails (pendingIoError says why).
bool ReadNumberAnswer(DialogueState& d, double& variable) {
  NoteMissingAnswer(d, SkipBlanks(d));
  variable = StoreToDouble(ReadRealValue(d));
  SkipToNextLine(d);
  return d.pendingIoError == 0;
}

// The axis answer, a whole line kept as typed (a CR before its LF, or alone, is not part of it; a
// 26 ends it and is consumed): only whether it is exactly "X" matters here.
bool ReadAxisAnswer(DialogueState& d) {
  NoteMissingAnswer(d, AtEnd(d));
  uint64_t length = 0;
  uint8_t first = 0;
  while (d.pos < d.size) {
    const uint8_t byte = d.bytes[d.pos];
    if (byte == LineFeed) break;
    if (byte == CarriageReturn) {
      if (d.pos + 1 < d.size && d.bytes[d.pos + 1] == LineFeed) break;
      ++d.pos;
      continue;
    }
    ++d.pos;
    if (byte == EndOfFileMark) break;
    if (length++ == 0) first = byte;
  }
  d.axisIsX = length == 1 && first == 'X';
  SkipToNextLine(d);
  return d.pendingIoError == 0;
}

// The dialogue's statements in their order, under the fault guard.
void RunDialogue(void*) {
  DialogueState& d = Dialogue;
  if (!ReadNumberAnswer(d, d.answers[0]) || !ReadNumberAnswer(d, d.answers[1]) ||
      !ReadNumberAnswer(d, d.answers[2]) || !ReadNumberAnswer(d, d.answers[3]) ||
      !ReadAxisAnswer(d) || !ReadNumberAnswer(d, d.answers[4])) {
    return;
  }
  const double ax = d.answers[0], ay = d.answers[1], bx = d.answers[2], by = d.answers[3];
  const double known = d.answers[4];
  if (d.axisIsX) {
    d.resultX = known;
    d.resultY = FrameIntersection(KnownAxis::X, ax, ay, bx, by, known);
  } else {
    d.resultX = FrameIntersection(KnownAxis::Y, ax, ay, bx, by, known);
    d.resultY = known;
  }
}

// "X= " or "Y= ", the coordinate in a width of 5 with 2 decimals, "m", the line end.
void AppendResultLine(const char* label, double value) {
  CountedText text;
  RealToText(value, 5, 2, text);
  AppendOutput(label);
  AppendOutput(text.chars, text.length);
  AppendOutput("m\n", 2);
}

// ---- framecalc-batch ----------------------------------------------------------------------------

constexpr size_t ResultBlockSize = 256 * 1024;
constexpr size_t ErrorBlockSize = 16 * 1024;
char ResultBlock[ResultBlockSize];
char ErrorBlock[ErrorBlockSize];
char InputName[4096];
constexpr uint32_t ResultStream = 1;
constexpr uint32_t MessageStream = 2;

bool WriteToJavaScript(void* stream, const char* data, size_t size) {
  framecalc_write(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stream)), data, size);
  return true;
}

// The run's objects, made in place by framecalc_batch_begin (nothing is allocated) and never
// destroyed: a fault may leave a frame of theirs at any time.
alignas(OutputBuffer) unsigned char ResultsStorage[sizeof(OutputBuffer)];
alignas(OutputBuffer) unsigned char ErrorsStorage[sizeof(OutputBuffer)];
alignas(RecordProcessor) unsigned char ProcessorStorage[sizeof(RecordProcessor)];
OutputBuffer* Results = nullptr;
OutputBuffer* Errors = nullptr;
RecordProcessor* Processor = nullptr;
bool InputStopped = false;

// framecalc-batch's exit status (batch/program_name.h). The functions of a run called before
// framecalc_batch_begin (or after it refused its options) do nothing and answer ExitTrouble.
using batch::ExitAllRecords;
using batch::ExitSomeRecordsFailed;
using batch::ExitTrouble;

// 0 while the run goes on; ExitTrouble when it stopped (an input that is no records, an
// unexpected fault).
int32_t BatchState() {
  if (Processor->inputStopped()) InputStopped = true;
  return InputStopped || Processor->unexpectedFault() != 0 ? ExitTrouble : 0;
}

}  // namespace

// ---- Exports ------------------------------------------------------------------------------------

FRAMECALC_EXPORT("framecalc_input_block") char* framecalc_input_block() { return InputBlock; }
FRAMECALC_EXPORT("framecalc_input_capacity") uint32_t framecalc_input_capacity() {
  return static_cast<uint32_t>(InputCapacity);
}
FRAMECALC_EXPORT("framecalc_output") const char* framecalc_output() { return OutputText; }
FRAMECALC_EXPORT("framecalc_output_length") uint32_t framecalc_output_length() {
  return static_cast<uint32_t>(OutputLength);
}

// The last value: its sign and exponent word and significand (the x87's bits), the error position
// of its conversion, and the double it was stored to.
FRAMECALC_EXPORT("framecalc_value_sign_exponent") uint32_t framecalc_value_sign_exponent() {
  return Value.value.bits.signExponent;
}
FRAMECALC_EXPORT("framecalc_value_significand") uint64_t framecalc_value_significand() {
  return Value.value.bits.significand;
}
FRAMECALC_EXPORT("framecalc_error_position") int32_t framecalc_error_position() {
  return Value.errorPosition;
}
FRAMECALC_EXPORT("framecalc_double") double framecalc_double() { return Value.stored; }

// TextToReal of the input text (up to its first NUL byte), under the program's control word.
// Returns 0, with the value and error position, or the status of the fault (0xC0000091
// overflow, ...).
FRAMECALC_EXPORT("framecalc_parse") uint32_t framecalc_parse(uint32_t length) {
  ResetFpu();
  InputText(length);
  Value.errorPosition = 0;
  return Guarded(
      [](void*) { Value.value = CheckedResult(TextToReal(InputBlock, Value.errorPosition)); },
      nullptr);
}

namespace {

// RealToText of Value.value (or of Value.stored, widened, when `fromDouble`) in the output text,
// or the status of the fault.
uint32_t FormatValue(bool fromDouble, int32_t width, int32_t decimals) {
  Value.fromDouble = fromDouble;
  Value.width = width;
  Value.decimals = decimals;
  OutputLength = 0;
  return Guarded(
      [](void*) {
        CountedText text;
        if (Value.fromDouble) {
          RealToText(Value.stored, Value.width, Value.decimals, text);
        } else {
          RealToText(Value.value, Value.width, Value.decimals, text);
        }
        SetOutput(text.chars, text.length);
      },
      nullptr);
}

// `routine` on the answers in the input text, under the fault guard: 0 with the output text
// empty, or 1 with the class and message of the failure that the calculator reports.
int32_t RunOnAnswers(uint32_t length, void (*routine)(void*)) {
  ResetFpu();
  Dialogue = DialogueState{};
  Dialogue.bytes = reinterpret_cast<const uint8_t*>(InputBlock);
  Dialogue.size = length < InputCapacity ? length : InputCapacity;
  const uint32_t status = Guarded(routine, nullptr);
  if (status != 0) {
    WriteFailure(FaultFailure(status));
    return 1;
  }
  if (Dialogue.pendingIoError != 0) {
    WriteFailure(IoFailure(Dialogue.pendingIoError));
    return 1;
  }
  OutputLength = 0;
  return 0;
}

}  // namespace

// The extended value of these bits rounded to a double as a store rounds (framecalc_double), or
// the status of the fault.
FRAMECALC_EXPORT("framecalc_store")
uint32_t framecalc_store(uint32_t signExponent, uint64_t significand) {
  ResetFpu();
  Value.value = ExtendedConstant(static_cast<uint16_t>(signExponent), significand);
  return Guarded([](void*) { Value.stored = StoreToDouble(Value.value); }, nullptr);
}

// RealToText of the extended value of these bits in the output text, or the status of the fault.
FRAMECALC_EXPORT("framecalc_format")
uint32_t framecalc_format(uint32_t signExponent, uint64_t significand, int32_t width,
                          int32_t decimals) {
  ResetFpu();
  Value.value = ExtendedConstant(static_cast<uint16_t>(signExponent), significand);
  return FormatValue(false, width, decimals);
}

// One answer of the dialogue (the input text) read as the calculator reads a coordinate: 0 with
// its double (framecalc_double), or 1 with the failure's class and message in the output text
// ("EInOutError\nInvalid numeric input\n"). An answer that is all blanks is missing, as at the end
// of the dialogue's input.
FRAMECALC_EXPORT("framecalc_read_answer") int32_t framecalc_read_answer(uint32_t length) {
  return RunOnAnswers(length, [](void*) {
    if (ReadNumberAnswer(Dialogue, Dialogue.answers[0])) Value.stored = Dialogue.answers[0];
  });
}

// A double as the dialogue writes a coordinate (RealToText of its extended value, right-aligned
// in `width`; the dialogue's is 5 with 2 decimals) in the output text, or the fault's status.
FRAMECALC_EXPORT("framecalc_format_double")
uint32_t framecalc_format_double(double value, int32_t width, int32_t decimals) {
  ResetFpu();
  Value.stored = value;
  return FormatValue(true, width, decimals);
}

// The calculator's dialogue on this input (the input text: its answers, one a line, as typed at
// its console): 0 with the crossing's two lines in the output text ("X= 150.00m\nY= 250.00m\n"),
// or 1 with the class and message of the exception that the calculator reports
// ("EZeroDivide\nFloating point division by zero\n").
FRAMECALC_EXPORT("framecalc_dialogue") int32_t framecalc_dialogue(uint32_t length) {
  if (RunOnAnswers(length, &RunDialogue) != 0) return 1;
  AppendResultLine("X= ", Dialogue.resultX);
  AppendResultLine("Y= ", Dialogue.resultY);
  return 0;
}

// Options of framecalc_batch_begin: framecalc-batch's --crlf, --echo, --table, --decimal-comma.
constexpr uint32_t BatchCrLf = 1;
constexpr uint32_t BatchEcho = 2;
constexpr uint32_t BatchTable = 4;
constexpr uint32_t BatchDecimalComma = 8;

// Begins a run of framecalc-batch with its options: `flags` (above), --decimals (0 to 216),
// --delimiter (-1: detected from each input; 0 ",", 1 ";", 2 tab, 3 blank) and, when
// `columnsLength` is not 0, --columns (the input text). Returns 0, or 2 with the option's problem
// in the output text.
FRAMECALC_EXPORT("framecalc_batch_begin")
int32_t framecalc_batch_begin(uint32_t flags, int32_t decimals, int32_t delimiter,
                              uint32_t columnsLength) {
  Processor = nullptr;
  OutputLength = 0;
  OutputFormat format;
  ReadOptions read;
  format.crlf = (flags & BatchCrLf) != 0;
  format.echo = (flags & BatchEcho) != 0;
  format.table = (flags & BatchTable) != 0;
  read.decimalComma = (flags & BatchDecimalComma) != 0;
  if (decimals < 0 || decimals > MaximumDecimals) {
    AppendOutput("--decimals takes a whole number from 0 to 216");
    return ExitTrouble;
  }
  format.decimals = decimals;
  if (delimiter < -1 || delimiter > 3) {
    AppendOutput("--delimiter takes , ; tab or blank");
    return ExitTrouble;
  }
  if (delimiter >= 0) {
    read.delimiterGiven = true;
    read.delimiter = static_cast<Delimiter>(delimiter);
  }
  if (columnsLength != 0) {
    const char* problem = nullptr;
    if (!ParseColumnRequest(InputText(columnsLength), read.columns, problem)) {
      AppendOutput(problem);
      return ExitTrouble;
    }
  }
  if (const char* conflict = ConflictingOptions(format, read)) {
    AppendOutput(conflict);
    return ExitTrouble;
  }
  static const MessageTexts Texts{texts::StringIdInvalidInput, texts::StringIdZeroDivide,
                                  texts::StringIdInvalidOp, texts::StringIdOverflow};
  ResetFpu();
  Results = new (ResultsStorage) OutputBuffer(ResultBlock, ResultBlockSize, &WriteToJavaScript,
                                              reinterpret_cast<void*>(uintptr_t{ResultStream}));
  Errors = new (ErrorsStorage) OutputBuffer(ErrorBlock, ErrorBlockSize, &WriteToJavaScript,
                                            reinterpret_cast<void*>(uintptr_t{MessageStream}));
  Errors->FollowAfter(Results);
  Processor = new (ProcessorStorage)
      RecordProcessor(format, Texts, *Results, *Errors, &PlatformFaultGuard, read);
  InputStopped = false;
  return 0;
}

// Begins an input whose name (the input text) prefixes its messages, as framecalc-batch's file
// argument does ("-" for standard input).
FRAMECALC_EXPORT("framecalc_batch_input") void framecalc_batch_input(uint32_t nameLength) {
  if (Processor == nullptr) return;
  if (nameLength >= sizeof InputName) nameLength = sizeof InputName - 1;
  std::memcpy(InputName, InputBlock, nameLength);
  InputName[nameLength] = '\0';
  Processor->BeginInput(InputName);
}

// The next bytes of the input (the input block's first `length`): every line they complete is
// processed; a partial last line waits for more. Returns 0, or 2 when the run stopped (the input
// cannot be read as records; its message was written).
FRAMECALC_EXPORT("framecalc_batch_feed") int32_t framecalc_batch_feed(uint32_t length) {
  if (Processor == nullptr) return ExitTrouble;
  Processor->Feed(InputBlock, length < InputCapacity ? length : InputCapacity);
  return BatchState();
}

// The end of the input: a last line without line end is processed. Returns as
// framecalc_batch_feed.
FRAMECALC_EXPORT("framecalc_batch_end_input") int32_t framecalc_batch_end_input() {
  if (Processor == nullptr) return ExitTrouble;
  Processor->EndInput();
  return BatchState();
}

// The end of the run: what is gathered is written, and framecalc-batch's exit status returned
// (0 every record gave a result, 1 some failed, 2 the run stopped).
FRAMECALC_EXPORT("framecalc_batch_finish") int32_t framecalc_batch_finish() {
  if (Processor == nullptr) return ExitTrouble;
  Results->Flush();
  Errors->Flush();
  const int32_t state = BatchState();
  if (Processor->unexpectedFault() != 0) {
    static const char Message[] = "framecalc-batch: unexpected fault\n";
    framecalc_write(MessageStream, Message, sizeof Message - 1);
  }
  if (state != 0) return state;
  return Processor->failedRecords() > 0 ? ExitSomeRecordsFailed : ExitAllRecords;
}
