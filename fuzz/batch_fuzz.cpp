// framecalc-batch's processing of whole inputs with arbitrary bytes: the start of an input (the
// byte-order mark, UTF-16, the delimiter), the scanner with its quotes and line ends, the header
// and --columns, the conversions and the intersection under the fault guard, and the output, as
// result lines or as a table.
//
// The first four bytes choose the options and the pieces; the rest is the input:
//   byte 0: bits 0-2 the decimals (7: 216), bit 3 --echo, bit 4 --crlf, bit 5 --table (--echo is
//           then dropped: the program refuses the two together), bits 6 and 7 both set: the
//           input is stretched past the prelude's holding buffer (below);
//   byte 1: bits 0-2 the delimiter (1 ",", 2 ";", 3 tab, 4 blanks, else detected), bit 3
//           --decimal-comma (dropped with a given ",", which the program refuses), bits 4-7 at 8
//           or more: --columns, one of the eight requests below;
//   byte 2: where the input is cut in two;
//   byte 3: the lengths (1 to 7 bytes) of the small pieces; when stretched, bits 4-6 which of the
//           input's first eight bytes is repeated, and bits 0-3 how often: the buffer's size less
//           8, plus 0 to 15 times.
//
// The input is processed in one piece (and then a second time as the next input of the same
// processor), in two pieces, and in pieces of 1 to 7 bytes, so that quotes, CR LF, the byte-order
// mark and the held first line are split everywhere. Each piece lives in an allocation of its own,
// freed as soon as Feed returns: a read past a piece or a pointer kept into it is caught. Checks:
//   - no crash, no read or write out of bounds (the sanitizers), no x87 fault left pending;
//   - all runs write the same results and messages, count the same records and failures, and
//     agree on whether the input was stopped; the second input of a processor gives what the
//     first gave (with --table, without the byte-order mark written once at the start);
//   - the messages: each starts with the input's name and a line number, the numbers increase
//     and lie within the input's lines; an input that was stopped has no record and one message;
//   - without --table: one result line per record, a failed record's line empty and one message
//     for it, every other line holding exactly the coordinates (and the echoed fields, whose
//     numbers hold only the characters of a number and whose axis is X or Y);
//   - with --table: the output starts with the input's first line as it was and ends with the
//     chosen line end, has at least one line end per record, holds every byte of the input that
//     is no line end, in order, and (compared with a run without --table, which must count and
//     report the same) holds each record's coordinates (with the file's decimal point), or its
//     message in the last column, at the end of its line, record after record.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "batch/column_layout.h"
#include "batch/input_prelude.h"
#include "batch/record_processor.h"
#include "fuzz/fuzz_support.h"

namespace {

// Longer than any field that a message quotes, and without a quote: "\n" and the name followed by
// ":" can stand in the messages only where a message begins.
constexpr char InputName[] = "the-input-of-the-batch-fuzz-target-named-longer-than-a-kept-field";
static_assert(sizeof InputName - 1 > FieldTokenLength);

constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";

bool Guard(void (*routine)(void*), void* context, uint32_t& status) {
  switch (fuzzguard::Run([&] { routine(context); })) {
    case fuzzguard::Outcome::Returned:
      return true;
    case fuzzguard::Outcome::Overflow:
      status = 0xC0000091u;
      return false;
    case fuzzguard::Outcome::Invalid:
      status = 0xC0000090u;
      return false;
    case fuzzguard::Outcome::ZeroDivide:
      status = 0xC000008Eu;
      return false;
    case fuzzguard::Outcome::OtherFault:
      status = 0;
      return false;
    case fuzzguard::Outcome::FaultLeftPending:
      fuzzguard::Fail("x87 fault left pending", "");
  }
  return true;
}

bool AppendTo(void* context, const char* data, size_t size) {
  static_cast<std::string*>(context)->append(data, size);
  return true;
}

const MessageTexts Texts{"Invalid numeric input", "Floating point division by zero",
                         "Invalid floating point operation", "Floating point overflow"};

// The values of --columns that the second byte chooses from: by name in the header's case and in
// another, by number, in another order, names that a header rarely has, numbers and names mixed.
constexpr const char* ColumnRequestTexts[8] = {
    "AX,AY,BX,BY,AXIS,K", "ax,ay,bx,by,axis,k",    "2,3,4,5,6,7",         "K,AXIS,BY,BX,AY,AX",
    "6,5,4,3,2,1",        " X1 , Y1,X2,Y2,Axis,K", "AX,AY,3,4,AXIS,1022", "1,2,3,4,5,6",
};

const ColumnRequest& ParsedColumnRequest(size_t index) {
  static const std::vector<ColumnRequest> requests = [] {
    std::vector<ColumnRequest> parsed(std::size(ColumnRequestTexts));
    for (size_t i = 0; i < parsed.size(); ++i) {
      const char* problem = nullptr;
      if (!ParseColumnRequest(ColumnRequestTexts[i], parsed[i], problem) || !parsed[i].given) {
        fuzzguard::Fail("a --columns request of the target is refused", ColumnRequestTexts[i]);
      }
    }
    return parsed;
  }();
  return requests[index];
}

struct Options {
  OutputFormat format;
  ReadOptions read;
  uint8_t cutByte = 0;
  uint8_t pieceByte = 0;
  bool stretch = false;
};

constexpr size_t OptionBytes = 4;

Options ChooseOptions(const uint8_t* bytes) {
  Options options;
  options.format.decimals = bytes[0] % 8 == 7 ? 216 : bytes[0] % 8;
  options.format.echo = (bytes[0] & 0x08) != 0;
  options.format.crlf = (bytes[0] & 0x10) != 0;
  options.format.table = (bytes[0] & 0x20) != 0;
  if (options.format.table) options.format.echo = false;
  options.stretch = (bytes[0] & 0xC0) == 0xC0;
  static constexpr Delimiter Given[] = {Delimiter::Comma, Delimiter::Semicolon, Delimiter::Tab,
                                        Delimiter::Blank};
  const unsigned delimiter = bytes[1] & 7u;
  if (delimiter >= 1 && delimiter <= 4) {
    options.read.delimiterGiven = true;
    options.read.delimiter = Given[delimiter - 1];
  }
  options.read.decimalComma = (bytes[1] & 0x08) != 0;
  if (options.read.delimiterGiven && options.read.delimiter == Delimiter::Comma) {
    options.read.decimalComma = false;
  }
  const unsigned request = bytes[1] >> 4;
  if (request >= 8) options.read.columns = ParsedColumnRequest(request - 8);
  options.cutByte = bytes[2];
  options.pieceByte = bytes[3];
  return options;
}

// The input: the bytes after the options, stretched when chosen by repeating one of their first
// eight bytes, so that the line around it outgrows the buffer that holds the first line.
std::string MakeInput(const Options& options, const uint8_t* bytes, size_t size) {
  std::string input(reinterpret_cast<const char*>(bytes), size);
  if (options.stretch && !input.empty()) {
    const size_t at = std::min<size_t>((options.pieceByte >> 4) & 7u, input.size() - 1);
    const size_t count = InputPrelude::Capacity - 8 + (options.pieceByte & 15u);
    input.insert(at, count, input[at]);
  }
  return input;
}

struct RunOutput {
  std::string results, errors;
  uint64_t records = 0, failed = 0;
  bool stopped = false;
};

// One input, fed in pieces of the given lengths. Each piece is copied into an allocation of its
// own that is freed as soon as Feed returns.
void FeedInput(RecordProcessor& processor, const std::string& input,
               const std::vector<size_t>& pieces) {
  processor.BeginInput(InputName);
  size_t at = 0;
  for (const size_t length : pieces) {
    const std::unique_ptr<char[]> piece(new char[length]);
    if (length != 0) std::memcpy(piece.get(), input.data() + at, length);
    processor.Feed(piece.get(), length);
    at += length;
  }
  if (at != input.size()) fuzzguard::Fail("the pieces do not make up the input", "");
  processor.EndInput();
}

// Processes the input in the given pieces; with `again`, then once more in one piece as the next
// input of the same processor (when the first was not stopped), into `again`.
RunOutput Process(const Options& options, const std::string& input,
                  const std::vector<size_t>& pieces, RunOutput* again = nullptr) {
  RunOutput output;
  std::string results, errors;
  // Small blocks, so that the block boundaries are crossed often.
  static char resultBlock[512], errorBlock[512];
  OutputBuffer resultBuffer(resultBlock, sizeof resultBlock, &AppendTo, &results);
  OutputBuffer errorBuffer(errorBlock, sizeof errorBlock, &AppendTo, &errors);
  RecordProcessor processor(options.format, Texts, resultBuffer, errorBuffer, &Guard, options.read);
  FeedInput(processor, input, pieces);
  resultBuffer.Flush();
  errorBuffer.Flush();
  if (processor.unexpectedFault() != 0) fuzzguard::Fail("unexpected fault", input.c_str());
  output.results = results;
  output.errors = errors;
  output.records = processor.records();
  output.failed = processor.failedRecords();
  output.stopped = processor.inputStopped();
  if (again == nullptr || output.stopped) return output;

  FeedInput(processor, input, {input.size()});
  resultBuffer.Flush();
  errorBuffer.Flush();
  if (processor.unexpectedFault() != 0) fuzzguard::Fail("unexpected fault", input.c_str());
  again->results = results.substr(output.results.size());
  again->errors = errors.substr(output.errors.size());
  again->records = processor.records() - output.records;
  again->failed = processor.failedRecords() - output.failed;
  again->stopped = processor.inputStopped();
  return output;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + what.size())) {
    ++count;
  }
  return count;
}

// The lines of the input as the scanner numbers them: LF, CR LF and a lone CR each end one.
uint64_t InputLines(const std::string& input) {
  uint64_t lines = 1;
  for (size_t i = 0; i < input.size(); ++i) {
    if (input[i] == '\n' || (input[i] == '\r' && (i + 1 == input.size() || input[i + 1] != '\n'))) {
      ++lines;
    }
  }
  return lines;
}

struct Message {
  uint64_t line;
  std::string text;  // after "NAME:LINE: "
};

// The messages of the error output, each "NAME:LINE: TEXT\n", where TEXT may hold line ends (of a
// quoted field that it quotes).
std::vector<Message> SplitMessages(const std::string& errors, const std::string& input) {
  const std::string start = std::string(InputName) + ":";
  const std::string nextStart = "\n" + start;
  std::vector<Message> messages;
  for (size_t at = 0; at < errors.size();) {
    if (errors.compare(at, start.size(), start) != 0)
      fuzzguard::Fail("a message without the name", errors.c_str());
    size_t p = at + start.size();
    uint64_t line = 0;
    const size_t digits = p;
    while (p < errors.size() && errors[p] >= '0' && errors[p] <= '9')
      line = line * 10 + static_cast<uint64_t>(errors[p++] - '0');
    if (p == digits || errors.compare(p, 2, ": ") != 0) {
      fuzzguard::Fail("a message without its line number", errors.c_str());
    }
    p += 2;
    size_t end = errors.find(nextStart, p);
    if (end == std::string::npos) {
      end = errors.size() - 1;
      if (errors[end] != '\n') fuzzguard::Fail("the last message without line end", errors.c_str());
    }
    messages.push_back({line, errors.substr(p, end - p)});
    at = end + 1;
  }
  const uint64_t lines = InputLines(input);
  uint64_t last = 0;
  for (const Message& message : messages) {
    if (message.line == 0 || message.line > lines)
      fuzzguard::Fail("a message's line is not in the input", errors.c_str());
    if (message.line <= last) fuzzguard::Fail("messages' lines do not increase", errors.c_str());
    last = message.line;
  }
  return messages;
}

bool IsNumberCharacter(char c, bool decimalComma) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E' ||
         (decimalComma && c == ',');
}

// The result lines without --table: one per record, empty for a failed one; the others "X\tY",
// with --echo after the six fields of the record.
std::vector<std::string> CheckResultLines(const Options& options, const RunOutput& output,
                                          const std::string& input) {
  const std::string& results = output.results;
  if (!results.empty() && results.back() != '\n')
    fuzzguard::Fail("results end inside a line", input.c_str());
  std::vector<std::string> lines;
  for (size_t start = 0; start < results.size();) {
    const size_t end = results.find('\n', start);
    std::string line = results.substr(start, end - start);
    start = end + 1;
    if (options.format.crlf) {
      if (line.empty() || line.back() != '\r') fuzzguard::Fail("line without CR", input.c_str());
      line.pop_back();
    }
    lines.push_back(line);
  }
  if (lines.size() != output.records) fuzzguard::Fail("not one line per record", input.c_str());
  size_t empty = 0;
  const size_t tabs = options.format.echo ? RecordFieldCount + 1 : 1;
  for (const std::string& line : lines) {
    if (line.empty()) {
      ++empty;
      continue;
    }
    if (std::count(line.begin(), line.end(), '\t') != static_cast<std::ptrdiff_t>(tabs)) {
      fuzzguard::Fail("result line of the wrong shape", line.c_str());
    }
    if (line.find('\r') != std::string::npos)
      fuzzguard::Fail("a CR inside a result line", line.c_str());
    if (!options.format.echo) continue;
    size_t start = 0;
    for (int field = 0; field < RecordFieldCount; ++field) {
      const size_t end = line.find('\t', start);
      const std::string text = line.substr(start, end - start);
      start = end + 1;
      if (field == static_cast<int>(FieldIndex::Axis)) {
        if (text != "X" && text != "x" && text != "Y" && text != "y") {
          fuzzguard::Fail("an echoed axis that is not X or Y", line.c_str());
        }
        continue;
      }
      if (text.empty()) fuzzguard::Fail("an echoed number that is empty", line.c_str());
      for (const char c : text) {
        if (!IsNumberCharacter(c, options.read.decimalComma)) {
          fuzzguard::Fail("an echoed number with a character of no number", line.c_str());
        }
      }
    }
  }
  if (empty != output.failed)
    fuzzguard::Fail("failed records without an empty line", input.c_str());
  return lines;
}

// A field of the table as it is written: quoted when the delimiter, a quote or a line end is in
// it, when blanks surround it, and with blanks as the delimiter when it holds a tab or nothing.
std::string TableField(const std::string& text, char delimiter) {
  bool quote = text.empty() ? delimiter == ' '
                            : text.front() == ' ' || text.front() == '\t' || text.back() == ' ' ||
                                  text.back() == '\t';
  for (const char c : text) {
    quote = quote || c == delimiter || c == '"' || c == '\r' || c == '\n' ||
            (delimiter == ' ' && c == '\t');
  }
  if (!quote) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// A coordinate of a result line as the table writes it: with the file's decimal point.
std::string TableCoordinate(std::string text, bool decimalComma) {
  if (decimalComma) std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

// Whether the table holds, record after record, each record's end of line as the result lines
// and the messages say, with `delimiter`.
bool TableHoldsOutcomes(const std::string& table, const std::vector<std::string>& lines,
                        const std::vector<Message>& messages, char delimiter, bool decimalComma,
                        const std::string& lineEnd) {
  const std::string d(1, delimiter);
  const std::string empty = TableField("", delimiter);
  size_t at = 0, failure = 0;
  for (const std::string& line : lines) {
    size_t found = std::string::npos, length = 0;
    if (line.empty()) {
      if (failure == messages.size()) return false;
      const std::string end = d + empty + d + empty + d + empty + d +
                              TableField(messages[failure++].text, delimiter) + lineEnd;
      found = table.find(end, at);
      length = end.size();
    } else {
      const size_t tab = line.find('\t');
      const std::string coordinates = d + TableCoordinate(line.substr(0, tab), decimalComma) + d +
                                      TableCoordinate(line.substr(tab + 1), decimalComma) + d;
      for (const char* onAB : {"yes", "no"}) {
        const std::string end = coordinates + onAB + d + empty + lineEnd;
        const size_t here = table.find(end, at);
        if (here < found) {
          found = here;
          length = end.size();
        }
      }
    }
    if (found == std::string::npos) return false;
    at = found + length;
  }
  return true;
}

// The bytes of `text` that are no CR or LF.
std::string WithoutLineEnds(const std::string& text) {
  std::string kept;
  for (const char c : text) {
    if (c != '\r' && c != '\n') kept += c;
  }
  return kept;
}

void CheckTable(const Options& options, const RunOutput& output, const std::string& input) {
  const std::string& table = output.results;
  const std::string lineEnd = options.format.crlf ? "\r\n" : "\n";
  if (!table.empty() &&
      (table.size() < lineEnd.size() ||
       table.compare(table.size() - lineEnd.size(), lineEnd.size(), lineEnd) != 0)) {
    fuzzguard::Fail("the table does not end with the line end", input.c_str());
  }
  if (Count(table, lineEnd) < output.records)
    fuzzguard::Fail("fewer table lines than records", input.c_str());
  const std::string firstLine = input.substr(0, input.find_first_of("\r\n"));
  if (table.compare(0, firstLine.size(), firstLine) != 0) {
    fuzzguard::Fail("the table does not start with the input's first line", input.c_str());
  }
  // Every byte of the input but its line ends is written back, in order.
  const std::string written = WithoutLineEnds(table);
  size_t at = 0;
  for (const char c : WithoutLineEnds(input)) {
    at = written.find(c, at);
    if (at == std::string::npos)
      fuzzguard::Fail("the table drops bytes of the input", input.c_str());
    ++at;
  }

  // The same input without --table gives the records' results as lines and their messages.
  Options plain = options;
  plain.format.table = false;
  const RunOutput lines = Process(plain, input, {input.size()});
  if (lines.errors != output.errors) fuzzguard::Fail("--table changes the messages", input.c_str());
  if (lines.records != output.records || lines.failed != output.failed ||
      lines.stopped != output.stopped) {
    fuzzguard::Fail("--table changes the records counted", input.c_str());
  }
  const std::vector<std::string> resultLines = CheckResultLines(plain, lines, input);
  const std::vector<Message> messages = SplitMessages(lines.errors, input);
  std::vector<char> delimiters;
  if (options.read.delimiterGiven) {
    delimiters.push_back(DelimiterByte(options.read.delimiter));
  } else {
    delimiters = {'\t', ';', ' '};
    if (!options.read.decimalComma) delimiters.push_back(',');
  }
  for (const char delimiter : delimiters) {
    if (TableHoldsOutcomes(table, resultLines, messages, delimiter, options.read.decimalComma,
                           lineEnd)) {
      return;
    }
  }
  fuzzguard::Fail("the table lacks a record's results or message", input.c_str());
}

void CheckSame(const RunOutput& a, const RunOutput& b, const char* how, const std::string& input) {
  std::string what = "results depend on ";
  if (a.results != b.results) fuzzguard::Fail((what + how).c_str(), input.c_str());
  what = "messages depend on ";
  if (a.errors != b.errors) fuzzguard::Fail((what + how).c_str(), input.c_str());
  what = "counts depend on ";
  if (a.records != b.records || a.failed != b.failed || a.stopped != b.stopped) {
    fuzzguard::Fail((what + how).c_str(), input.c_str());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < OptionBytes) return 0;
  const Options options = ChooseOptions(bytes);
  const std::string input = MakeInput(options, bytes + OptionBytes, size - OptionBytes);
  const size_t length = input.size();

  RunOutput second;
  const RunOutput whole = Process(options, input, {length}, &second);
  const size_t cut = length == 0 ? 0 : (options.cutByte * 131u + length / 2) % (length + 1);
  CheckSame(whole, Process(options, input, {cut, length - cut}), "the cut", input);
  std::vector<size_t> small;
  uint8_t state = options.pieceByte;
  for (size_t left = length; left > 0;) {
    const size_t piece = std::min<size_t>(left, 1 + state % 7);
    small.push_back(piece);
    left -= piece;
    state = static_cast<uint8_t>(state * 5 + 3);
  }
  CheckSame(whole, Process(options, input, small), "small pieces", input);

  const std::vector<Message> messages = SplitMessages(whole.errors, input);
  if (whole.stopped) {
    if (whole.records != 0 || whole.failed != 0)
      fuzzguard::Fail("records before a stop", input.c_str());
    if (messages.size() != 1) fuzzguard::Fail("a stop without its one message", input.c_str());
    if (!options.format.table && !whole.results.empty())
      fuzzguard::Fail("results of a stopped input", input.c_str());
    return 0;
  }
  if (messages.size() != whole.failed)
    fuzzguard::Fail("not one message per failure", input.c_str());

  // The next input of the same processor starts afresh; only the byte-order mark of a table is
  // written once, at its start.
  RunOutput expected = whole;
  if (options.format.table && input.compare(0, 3, ByteOrderMark) == 0) {
    if (whole.results.compare(0, 3, ByteOrderMark) != 0)
      fuzzguard::Fail("the table lost the byte-order mark", input.c_str());
    expected.results.erase(0, 3);
  }
  CheckSame(expected, second, "the input before", input);

  if (options.format.table) {
    CheckTable(options, whole, input);
  } else {
    CheckResultLines(options, whole, input);
  }
  return 0;
}
