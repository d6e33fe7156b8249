// Speed of the number conversion against its peers, over one set of typical tokens.
//
//   TextToReal  vs  strtold (C library, extended)  and  fast_float::from_chars (double)
//   RealToText (width 5, 2 decimals)  vs  snprintf "%5.2Lf"  and  fmt::format_to "{:5.2f}" (double)
//
// One iteration converts the whole token set; items per second count tokens. The writers are
// measured twice: /0 over all token values, /1 over those that every writer puts in fixed notation. Our conversions run
// under DefaultFpuControlWord. The C library runs under the Linux default 0x037F, because glibc's
// strtold and printf raise x87 faults on purpose (overflow is computed as LDBL_MAX * LDBL_MAX);
// fast_float and {fmt} use SSE doubles and do not care.
#include <benchmark/benchmark.h>
#include <fast_float/fast_float.h>
#include <fmt/format.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "numconv/real_to_text.h"
#include "numconv/text_to_real.h"
#include "numconv/fpu_control.h"

namespace {

constexpr uint16_t LinuxDefaultControlWord = 0x037F;

// Map coordinates as the operator types them, with a few harder tokens: many digits, small and
// large exponents, a 19-digit integer.
const char* const Tokens[] = {
    "5431.25",
    "-491",
    "2271.7604748603353",
    "1.5e-5",
    "1234567890123456789",
    "1e300",
    "6523418.75",
    "-0.001",
    "98765.4321",
    "3.14159265358979",
};
constexpr size_t TokenCount = sizeof Tokens / sizeof Tokens[0];

// Loads a control word for the life of a benchmark and puts the previous one back.
class ControlWordScope {
 public:
  explicit ControlWordScope(uint16_t word) : saved_(ReadFpuControlWord()) {
    LoadFpuControlWord(word);
  }
  ~ControlWordScope() { LoadFpuControlWord(saved_); }
  ControlWordScope(const ControlWordScope&) = delete;
  ControlWordScope& operator=(const ControlWordScope&) = delete;

 private:
  uint16_t saved_;
};

struct TokenSet {
  std::vector<const char*> begin;
  std::vector<const char*> end;
  std::vector<Extended> values;
  // The values below 2^120, which all three writers put in fixed notation. Above it RealToText
  // switches to scientific notation while the peers write every integer digit (303 characters for
  // 1e300, through a slow exact path), which would swamp the comparison.
  std::vector<Extended> fixedValues;

  TokenSet() {
    ControlWordScope scope(DefaultFpuControlWord);
    for (const char* token : Tokens) {
      begin.push_back(token);
      end.push_back(token + std::strlen(token));
      int32_t errorPosition = 0;
      values.push_back(TextToReal(token, errorPosition));
      if (errorPosition != 0) {
        std::fprintf(stderr, "benchmark token %s does not convert\n", token);
        std::abort();
      }
      if (values.back() < 0x1p120L && values.back() > -0x1p120L) {
        fixedValues.push_back(values.back());
      }
    }
  }
};

const TokenSet& Set() {
  static const TokenSet set;
  return set;
}

// Formatting benchmarks take an argument: 0 for all token values, 1 for those below 2^120.
const std::vector<Extended>& FormatValues(const benchmark::State& state) {
  return state.range(0) == 0 ? Set().values : Set().fixedValues;
}

void BM_TextToReal(benchmark::State& state) {
  const TokenSet& set = Set();
  ControlWordScope scope(DefaultFpuControlWord);
  for (auto _ : state) {
    for (size_t i = 0; i < TokenCount; ++i) {
      int32_t errorPosition;
      Extended value = TextToReal(set.begin[i], errorPosition);
      benchmark::DoNotOptimize(value);
      benchmark::DoNotOptimize(errorPosition);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * TokenCount));
}
BENCHMARK(BM_TextToReal);

void BM_strtold(benchmark::State& state) {
  const TokenSet& set = Set();
  ControlWordScope scope(LinuxDefaultControlWord);
  for (auto _ : state) {
    for (size_t i = 0; i < TokenCount; ++i) {
      char* end;
      long double value = std::strtold(set.begin[i], &end);
      benchmark::DoNotOptimize(value);
      benchmark::DoNotOptimize(end);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * TokenCount));
}
BENCHMARK(BM_strtold);

void BM_FastFloatFromChars(benchmark::State& state) {
  const TokenSet& set = Set();
  ControlWordScope scope(LinuxDefaultControlWord);
  for (auto _ : state) {
    for (size_t i = 0; i < TokenCount; ++i) {
      double value;
      auto result = fast_float::from_chars(set.begin[i], set.end[i], value);
      benchmark::DoNotOptimize(value);
      benchmark::DoNotOptimize(result);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * TokenCount));
}
BENCHMARK(BM_FastFloatFromChars);

void BM_RealToText(benchmark::State& state) {
  const std::vector<Extended>& values = FormatValues(state);
  ControlWordScope scope(DefaultFpuControlWord);
  CountedText text;
  for (auto _ : state) {
    for (Extended value : values) {
      RealToText(value, 5, 2, text);
      benchmark::DoNotOptimize(text);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_RealToText)->Arg(0)->Arg(1);

void BM_snprintf(benchmark::State& state) {
  const std::vector<Extended>& values = FormatValues(state);
  ControlWordScope scope(LinuxDefaultControlWord);
  char buffer[512];
  for (auto _ : state) {
    for (Extended value : values) {
      int length = std::snprintf(buffer, sizeof buffer, "%5.2Lf", value);
      benchmark::DoNotOptimize(buffer);
      benchmark::DoNotOptimize(length);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_snprintf)->Arg(0)->Arg(1);

void BM_FmtFormatTo(benchmark::State& state) {
  std::vector<double> doubles;
  for (Extended value : FormatValues(state)) doubles.push_back(static_cast<double>(value));
  ControlWordScope scope(LinuxDefaultControlWord);
  char buffer[512];
  for (auto _ : state) {
    for (double value : doubles) {
      char* end = fmt::format_to(buffer, "{:5.2f}", value);
      benchmark::DoNotOptimize(buffer);
      benchmark::DoNotOptimize(end);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * doubles.size()));
}
BENCHMARK(BM_FmtFormatTo)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
