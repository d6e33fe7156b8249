// Speed of the number conversion against the strongest peers, on two kinds of input:
//
//   typed   map coordinates as an operator types them (5431.25, -491, 0.5, 1e-5, ...); for the
//           writers, the same values as the program prints them: stored as doubles, widened, with
//           2 decimals in a field of 5.
//   hard    the peers' slow paths: 19 and more digits, 1e300, long fractions, ties. Reported on
//           their own, never mixed into the typed figures.
//   file    4096 coordinates as bench/batch/run.sh generates them for framecalc-batch: a random
//           sign, up to five integer digits, one to three decimals. Their lengths and signs
//           follow no pattern that a branch predictor could learn, unlike the typed set's
//           sixteen, which repeat.
//
//   TextToReal             vs  strtold, strtod, std::from_chars (long double, double),
//                              fast_float::from_chars (double); PaddedTextToReal, framecalc-batch's
//                              reading of a field (the token in a buffer padded for word reads)
//   RealToText(5, 2)       vs  snprintf "%5.2Lf" and "%5.2f", std::to_chars (long double, double;
//                              fixed, 2 decimals, padded to 5), {fmt} FMT_COMPILE("{:5.2f}")
//                              (double)
//
// One benchmark iteration converts a whole set; items per second count values. Our conversions
// run under DefaultFpuControlWord; the peers under the Linux default 0x037F, because glibc's
// strtold and printf raise x87 faults on purpose (an overflow is computed as LDBL_MAX * LDBL_MAX).
// Double converters use SSE and do not care.
//
//   numconv_bench [Google Benchmark flags]     the timed benchmarks
//   numconv_bench --kernel NAME SET REPEAT     runs one kernel REPEAT times over SET and nothing
//                                              else (for instruction counts under callgrind,
//                                              collected inside RunKernel only)
//   numconv_bench --compare                    where the peers' results differ from ours
#include <benchmark/benchmark.h>
#include <fast_float/fast_float.h>
#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <random>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "numconv/fpu_control.h"
#include "numconv/real_to_text.h"
#include "numconv/text_to_real.h"

namespace {

constexpr uint16_t LinuxDefaultControlWord = 0x037F;

const char* const TypedTokens[] = {
    "5431.25", "-491",       "2271.76", "100", "0.5",     "59.2",   "1e-5", "6523418.75",
    "-0.001",  "98765.4321", "150",     "250", "-73.125", "4012.3", "7.25", "318.05",
};

const char* const HardTokens[] = {
    "2271.7604748603353",
    "1234567890123456789",
    "1e300",
    "3.14159265358979",
    "1.5e-5",
    "123456789012345678901234567890",
    "0.000000000000000000001234",
    "99.995",
    "0.005",
    "4.9406564584124654e-324",
};

// Loads a control word for the life of a scope and puts the previous one back.
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

struct Set {
  std::string name;
  std::vector<std::string> tokens;
  std::vector<const char*> begin;
  std::vector<const char*> end;
  std::vector<std::string> padded;  // each token with zeros up to PaddedTextReadableBytes
  // What the writers are given: each token read, stored as a double and widened again, as the
  // program does with every value it prints.
  std::vector<Extended> values;
  std::vector<long double> longDoubles;  // the same for the long double peers
  std::vector<double> doubles;

  template <size_t N>
  Set(const char* setName, const char* const (&list)[N])
      : Set(setName, std::vector<std::string>(std::begin(list), std::end(list))) {}

  Set(const char* setName, const std::vector<std::string>& list) : name(setName), tokens(list) {
    ControlWordScope scope(DefaultFpuControlWord);
    for (const std::string& token : tokens) {
      begin.push_back(token.c_str());
      end.push_back(token.c_str() + token.size());
      padded.push_back(token);
      padded.back().resize(std::max(token.size() + 1, size_t{PaddedTextReadableBytes}), '\0');
      int32_t errorPosition = 0;
      const Extended value = TextToReal(token.c_str(), errorPosition);
      if (errorPosition != 0) {
        std::fprintf(stderr, "benchmark token %s does not convert\n", token.c_str());
        std::abort();
      }
      const double stored = StoreToDouble(value);
      doubles.push_back(stored);
      values.push_back(stored);
      longDoubles.push_back(stored);
    }
  }
  size_t size() const { return tokens.size(); }
};

// The same kind of coordinates as the batch benchmark's file (uniform in (-1e5, 1e5), rounded to
// 0 to 3 decimals, written with at least one), from a fixed seed.
const std::vector<std::string>& FileTokens() {
  static const std::vector<std::string> tokens = [] {
    std::vector<std::string> list;
    std::mt19937_64 random(20261210);
    std::uniform_real_distribution<double> coordinate(-1e5, 1e5);
    for (int i = 0; i < 4096; ++i) {
      const int decimals = static_cast<int>(random() % 4);
      char text[32];
      std::snprintf(
          text, sizeof text, "%.*f", decimals == 0 ? 1 : decimals,
          std::round(coordinate(random) * std::pow(10.0, decimals)) / std::pow(10.0, decimals));
      list.emplace_back(text);
    }
    return list;
  }();
  return tokens;
}

const Set& Typed() {
  static const Set set("typed", TypedTokens);
  return set;
}
const Set& Hard() {
  static const Set set("hard", HardTokens);
  return set;
}
const Set& File() {
  static const Set set("file", FileTokens());
  return set;
}

// ---- The conversions, each over a whole set -------------------------------------------------

struct Kernel {
  const char* name;
  bool ours;
  void (*run)(const Set& set);
};

char Sink[512];

// Every converted value is kept alive in the register it comes back in: an extended in the x87's
// st(0), a double in an SSE register. (benchmark::DoNotOptimize would force each long double
// through an 80-bit store and load, which costs more than the conversion's own last steps, and
// a double through an 8-byte store; neither belongs to the conversion.)
inline void KeepExtended(long double value) { asm volatile("" : "+t"(value)); }
// The software arithmetic's extended comes back in two integer registers.
template <class Soft>
requires(!std::is_same_v<Soft, long double>) inline void KeepExtended(Soft value) {
  asm volatile("" : "+r"(value.bits.significand), "+r"(value.bits.signExponent));
}
inline void KeepDouble(double value) { asm volatile("" : "+x"(value)); }

void OursTextToReal(const Set& set) {
  for (size_t i = 0; i < set.size(); ++i) {
    int32_t errorPosition;
    KeepExtended(TextToReal(set.begin[i], errorPosition));
    benchmark::DoNotOptimize(errorPosition);
  }
}

void OursPaddedTextToReal(const Set& set) {
  for (size_t i = 0; i < set.size(); ++i) {
    int32_t errorPosition;
    KeepExtended(PaddedTextToReal(set.padded[i].data(), errorPosition));
    benchmark::DoNotOptimize(errorPosition);
  }
}

// The header-only peers (fast_float, {fmt}) are inlined whole into each kernel that uses them
// (flatten), so that how often they are used in this file cannot change how they are compiled.

// The same two conversions with benchmark::DoNotOptimize as the sink: each extended result goes
// through an 80-bit store and load, each double through an 8-byte store.
void OursTextToRealStored(const Set& set) {
  for (size_t i = 0; i < set.size(); ++i) {
    int32_t errorPosition;
    Extended value = TextToReal(set.begin[i], errorPosition);
    benchmark::DoNotOptimize(value);
    benchmark::DoNotOptimize(errorPosition);
  }
}

[[gnu::flatten]] void FastFloatStored(const Set& set) {
  for (size_t i = 0; i < set.size(); ++i) {
    double value;
    auto result = fast_float::from_chars(set.begin[i], set.end[i], value);
    benchmark::DoNotOptimize(value);
    benchmark::DoNotOptimize(result);
  }
}

void Strtold(const Set& set) {
  for (size_t i = 0; i < set.size(); ++i) {
    char* end;
    KeepExtended(std::strtold(set.begin[i], &end));
    benchmark::DoNotOptimize(end);
  }
}

void Strtod(const Set& set) {
  for (size_t i = 0; i < set.size(); ++i) {
    char* end;
    KeepDouble(std::strtod(set.begin[i], &end));
    benchmark::DoNotOptimize(end);
  }
}

template <typename Real>
void FromChars(const Set& set) {
  for (size_t i = 0; i < set.size(); ++i) {
    Real value;
    auto result = std::from_chars(set.begin[i], set.end[i], value);
    if constexpr (sizeof(Real) > sizeof(double)) {
      KeepExtended(value);
    } else {
      KeepDouble(value);
    }
    benchmark::DoNotOptimize(result);
  }
}

[[gnu::flatten]] void FastFloat(const Set& set) {
  for (size_t i = 0; i < set.size(); ++i) {
    double value;
    auto result = fast_float::from_chars(set.begin[i], set.end[i], value);
    KeepDouble(value);
    benchmark::DoNotOptimize(result);
  }
}

void OursRealToText(const Set& set) {
  CountedText text;
  for (Extended value : set.values) {
    RealToText(value, 5, 2, text);
    benchmark::DoNotOptimize(text);
  }
}

void SnprintfLong(const Set& set) {
  for (long double value : set.longDoubles) {
    int length = std::snprintf(Sink, sizeof Sink, "%5.2Lf", value);
    benchmark::DoNotOptimize(Sink);
    benchmark::DoNotOptimize(length);
  }
}

void SnprintfDouble(const Set& set) {
  for (double value : set.doubles) {
    int length = std::snprintf(Sink, sizeof Sink, "%5.2f", value);
    benchmark::DoNotOptimize(Sink);
    benchmark::DoNotOptimize(length);
  }
}

// std::to_chars writes no padding: the field of 5 is made the cheapest way, by writing at an
// offset and filling the blanks in front only when the text is shorter.
template <typename Real>
char* ToCharsPadded(char* out, char* last, Real value) {
  char* const start = out + 5;
  const auto result = std::to_chars(start, last, value, std::chars_format::fixed, 2);
  const ptrdiff_t length = result.ptr - start;
  if (length >= 5) return std::copy(start, result.ptr, out);
  std::memset(out, ' ', static_cast<size_t>(5 - length));
  std::memmove(out + (5 - length), start, static_cast<size_t>(length));
  return out + 5;
}

void ToCharsLong(const Set& set) {
  for (long double value : set.longDoubles) {
    char* end = ToCharsPadded<long double>(Sink, Sink + sizeof Sink, value);
    benchmark::DoNotOptimize(Sink);
    benchmark::DoNotOptimize(end);
  }
}

void ToCharsDouble(const Set& set) {
  for (double value : set.doubles) {
    char* end = ToCharsPadded<double>(Sink, Sink + sizeof Sink, value);
    benchmark::DoNotOptimize(Sink);
    benchmark::DoNotOptimize(end);
  }
}

[[gnu::flatten]] void FmtCompiled(const Set& set) {
  for (double value : set.doubles) {
    char* end = fmt::format_to(Sink, FMT_COMPILE("{:5.2f}"), value);
    benchmark::DoNotOptimize(Sink);
    benchmark::DoNotOptimize(end);
  }
}

const Kernel Kernels[] = {
    {"TextToReal", true, OursTextToReal},
    {"strtold", false, Strtold},
    {"strtod", false, Strtod},
    {"from_chars_long_double", false, FromChars<long double>},
    {"from_chars_double", false, FromChars<double>},
    {"fast_float_double", false, FastFloat},
    {"TextToReal_stored", true, OursTextToRealStored},
    {"PaddedTextToReal", true, OursPaddedTextToReal},
    {"fast_float_double_stored", false, FastFloatStored},
    {"RealToText_5_2", true, OursRealToText},
    {"snprintf_5.2Lf", false, SnprintfLong},
    {"snprintf_5.2f_double", false, SnprintfDouble},
    {"to_chars_long_double", false, ToCharsLong},
    {"to_chars_double", false, ToCharsDouble},
    {"fmt_compiled_double", false, FmtCompiled},
};

void Measure(benchmark::State& state, const Kernel* kernel, const Set* set) {
  ControlWordScope scope(kernel->ours ? DefaultFpuControlWord : LinuxDefaultControlWord);
  for (auto _ : state) kernel->run(*set);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * set->size()));
}

// The only code that callgrind counts in --kernel mode.
__attribute__((noinline)) void RunKernel(const Kernel& kernel, const Set& set, long repeat) {
  for (long i = 0; i < repeat; ++i) kernel.run(set);
}

int RunKernelMode(const char* name, const char* setName, long repeat) {
  const Set& set = std::strcmp(setName, "hard") == 0   ? Hard()
                   : std::strcmp(setName, "file") == 0 ? File()
                                                       : Typed();
  for (const Kernel& kernel : Kernels) {
    if (std::strcmp(kernel.name, name) != 0) continue;
    ControlWordScope scope(kernel.ours ? DefaultFpuControlWord : LinuxDefaultControlWord);
    kernel.run(set);  // first touches (tables, locale data) are not counted
    RunKernel(kernel, set, repeat);
    std::printf("%zu\n", set.size());
    return 0;
  }
  std::fprintf(stderr, "no kernel %s\n", name);
  return 2;
}

// ---- Where the peers' results differ from ours ----------------------------------------------

std::string Ours(Extended value) {
  ControlWordScope scope(DefaultFpuControlWord);
  CountedText text;
  RealToText(value, 5, 2, text);
  return std::string(text.chars, text.length);
}

std::string Field(std::string_view text) {
  std::string padded(text);
  if (padded.size() < 5) padded.insert(0, 5 - padded.size(), ' ');
  return padded;
}

int CompareMode() {
  for (const Set* set : {&Typed(), &Hard()}) {
    std::printf("%s set\n", set->name.c_str());
    for (size_t i = 0; i < set->size(); ++i) {
      const std::string ours = Ours(set->values[i]);
      char buffer[512];
      std::string peers[3];
      {
        ControlWordScope scope(LinuxDefaultControlWord);
        std::snprintf(buffer, sizeof buffer, "%5.2Lf", set->longDoubles[i]);
        peers[0] = buffer;
        auto r = std::to_chars(buffer, buffer + sizeof buffer, set->doubles[i],
                               std::chars_format::fixed, 2);
        peers[1] = Field(std::string_view(buffer, static_cast<size_t>(r.ptr - buffer)));
        char* e = fmt::format_to(buffer, FMT_COMPILE("{:5.2f}"), set->doubles[i]);
        peers[2] = std::string(buffer, e);
      }
      const char* const peerNames[3] = {"snprintf %5.2Lf", "to_chars(double)", "fmt {:5.2f}"};
      for (int p = 0; p < 3; ++p) {
        if (peers[p] == ours) continue;
        size_t differing = 0;
        for (size_t k = 0; k < ours.size() && k < peers[p].size(); ++k) {
          differing += ours[k] != peers[p][k] ? 1 : 0;
        }
        const char* kind =
            peers[p].size() > ours.size() + 4 ? "the peer prints more digits"
            : peers[p].size() == ours.size() && differing == 1 &&
                    ours[ours.size() - 1] != peers[p][ours.size() - 1]
                ? "rounds differently (a tie: the peer rounds the exact binary value to even, "
                  "RealToText rounds its 18 digits half up)"
                : "the peer writes the exact digits beyond the 18th, RealToText writes zeros";
        std::printf("  %-24s RealToText [%s]  %s [%.40s%s]  %s\n", set->tokens[i].c_str(),
                    ours.c_str(), peerNames[p], peers[p].c_str(), peers[p].size() > 40 ? "..." : "",
                    kind);
      }
      // Reading: ours against the correctly rounded extended of strtold.
      int32_t errorPosition = 0;
      Extended mine;
      {
        ControlWordScope scope(DefaultFpuControlWord);
        mine = TextToReal(set->begin[i], errorPosition);
      }
      long double reference;
      {
        ControlWordScope scope(LinuxDefaultControlWord);
        reference = std::strtold(set->begin[i], nullptr);
      }
      if (std::memcmp(&mine, &reference, 10) != 0) {
        long double mineAsLong = 0;  // the same 10-byte image in either arithmetic
        std::memcpy(&mineAsLong, &mine, 10);
        std::printf("  %-24s TextToReal %.21Lg  strtold %.21Lg  (last bits differ)\n",
                    set->tokens[i].c_str(), mineAsLong, reference);
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--kernel") == 0) {
    return RunKernelMode(argv[2], argv[3], std::strtol(argv[4], nullptr, 10));
  }
  if (argc == 2 && std::strcmp(argv[1], "--compare") == 0) return CompareMode();
  for (const Set* set : {&Typed(), &Hard(), &File()}) {
    for (const Kernel& kernel : Kernels) {
      const std::string name = std::string(kernel.name) + "/" + set->name;
      benchmark::RegisterBenchmark(name.c_str(), Measure, &kernel, set);
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
