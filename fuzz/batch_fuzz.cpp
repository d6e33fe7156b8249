// framecalc-batch's processing of whole inputs with arbitrary bytes: the scanner, the header
// rule, the conversions and the intersection under the fault guard, and the output formatting.
//
// The first byte chooses the output options (decimals, echo, CR LF); the rest is the input. It is
// processed twice, once in one piece and once cut at a position taken from the data, and checks:
//   - no crash, no read or write out of bounds (the sanitizers), no x87 fault left pending;
//   - both runs write the same results and messages;
//   - one result line per record, one message line per failed record, a failed record's result
//     line empty, and every result line holds exactly the coordinates (and the echoed fields).
#include <cstdint>
#include <cstring>
#include <string>

#include "batch/record_processor.h"
#include "fuzz/fuzz_support.h"

namespace {

bool Guard(void (*routine)(void*), void* context, uint32_t& status) {
  switch (fuzzguard::Run([&] { routine(context); })) {
    case fuzzguard::Outcome::Returned: return true;
    case fuzzguard::Outcome::Overflow: status = 0xC0000091u; return false;
    case fuzzguard::Outcome::Invalid: status = 0xC0000090u; return false;
    case fuzzguard::Outcome::ZeroDivide: status = 0xC000008Eu; return false;
    case fuzzguard::Outcome::OtherFault: status = 0; return false;
    case fuzzguard::Outcome::FaultLeftPending: fuzzguard::Fail("x87 fault left pending", "");
  }
  return true;
}

bool AppendTo(void* context, const char* data, size_t size) {
  static_cast<std::string*>(context)->append(data, size);
  return true;
}

const MessageTexts Texts{"Invalid numeric input", "Floating point division by zero",
                         "Invalid floating point operation", "Floating point overflow"};

struct Outcome {
  std::string results, errors;
  uint64_t records = 0, failed = 0;
};

Outcome Process(const OutputFormat& format, const char* data, size_t size, size_t cut) {
  Outcome outcome;
  // Small blocks, so that the block boundaries are crossed often.
  static char resultBlock[512], errorBlock[512];
  OutputBuffer results(resultBlock, sizeof resultBlock, &AppendTo, &outcome.results);
  OutputBuffer errors(errorBlock, sizeof errorBlock, &AppendTo, &outcome.errors);
  RecordProcessor processor(format, Texts, results, errors, &Guard);
  processor.BeginInput("-");
  // Each piece in its own allocation, so that reading past it is caught.
  const std::string first(data, cut), second(data + cut, size - cut);
  processor.Feed(first.data(), first.size());
  processor.Feed(second.data(), second.size());
  processor.EndInput();
  results.Flush();
  errors.Flush();
  if (processor.unexpectedFault() != 0) fuzzguard::Fail("unexpected fault", "");
  outcome.records = processor.records();
  outcome.failed = processor.failedRecords();
  return outcome;
}

size_t Count(const std::string& text, char c) {
  size_t count = 0;
  for (char x : text) count += x == c;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size == 0) return 0;
  OutputFormat format;
  format.decimals = bytes[0] % 8 == 7 ? 216 : bytes[0] % 8;
  format.echo = (bytes[0] & 0x10) != 0;
  format.crlf = (bytes[0] & 0x20) != 0;
  const char* data = reinterpret_cast<const char*>(bytes + 1);
  const size_t length = size - 1;
  const size_t cut = length == 0 ? 0 : (bytes[0] * 131u + length / 2) % (length + 1);

  const Outcome whole = Process(format, data, length, length);
  const Outcome pieces = Process(format, data, length, cut);
  const std::string input(data, length);
  if (whole.results != pieces.results) fuzzguard::Fail("results depend on the pieces", input.c_str());
  if (whole.errors != pieces.errors) fuzzguard::Fail("messages depend on the pieces", input.c_str());

  if (Count(whole.results, '\n') != whole.records) fuzzguard::Fail("not one line per record", input.c_str());
  if (Count(whole.errors, '\n') != whole.failed) fuzzguard::Fail("not one message per failure", input.c_str());
  size_t empty = 0;
  const size_t tabs = format.echo ? 7 : 1;
  for (size_t start = 0; start < whole.results.size();) {
    const size_t end = whole.results.find('\n', start);
    std::string line = whole.results.substr(start, end - start);
    start = end + 1;
    if (format.crlf) {
      if (line.empty() || line.back() != '\r') fuzzguard::Fail("line without CR", input.c_str());
      line.pop_back();
    }
    if (line.empty()) {
      ++empty;
      continue;
    }
    if (Count(line, '\t') != tabs) fuzzguard::Fail("result line of the wrong shape", line.c_str());
  }
  if (empty != whole.failed) fuzzguard::Fail("failed records without an empty line", input.c_str());
  return 0;
}
