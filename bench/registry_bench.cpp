// How the time to read the user's configuration file grows with the number of its values.
//
// The language search at start-up opens "Software\Quenlor\Locales" in the user's file: the whole
// file is read and every value of the key is gathered (a later line for a name replaces the
// earlier one). A file of N values (a short quoted program path and a three-letter language a
// line, one line in seven written again later in another case) is read from the page cache, for
// N from 1,000 to 64,000, which fills the file nearly to its 1 MiB limit.
//
//   OpenKey/N     RegOpenKeyExA of the key, its values gathered, RegCloseKey
//   ReadLines/N   the floor for the same file: read it whole and find its lines (memchr), and
//                 nothing else; the peer does less work than a parser and is there to show what
//                 part of the time the file itself costs
//
// Google Benchmark fits each family to O(N); the RMS of the fit says how well the times follow a
// straight line (a quadratic reading would show as a large RMS and a growing time per value).
//
//   registry_bench [Google Benchmark flags]
//   (bench/registry/run.sh builds it and runs it with interleaved repetitions)
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/posix/registry_files.h"
#include "platform/registry.h"

namespace {

std::string ScratchFile(int64_t values) {
  static const std::string directory = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "framecalc-registry-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  const std::string path = directory + "/registry-" + std::to_string(values);
  if (std::filesystem::exists(path)) return path;
  std::string text = "; the language of each program\n[Software\\Quenlor\\Locales]\n";
  for (int64_t i = 0; i < values; ++i) {
    text += "\"/b/" + std::to_string(i) + "\"=DEU\n";
  }
  for (int64_t i = 0; i < values; i += 7) {
    text += "\"/B/" + std::to_string(i) + "\"=FRA\n";
  }
  text += "@=ENG\n";
  if (text.size() > 1024 * 1024) std::abort();  // larger files are not read at all
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

void OpenKey(benchmark::State& state) {
  const std::string file = ScratchFile(state.range(0));
  for (auto _ : state) {
    // Naming the file again drops the snapshot of the hive: each iteration reads the file.
    platform::SetRegistryFiles(file.c_str(), "");
    platform::HKEY key = 0;
    if (platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales", 0,
                                platform::KEY_READ, &key) != 0) {
      state.SkipWithError("the key did not open");
      break;
    }
    benchmark::DoNotOptimize(key);
    platform::RegCloseKey(key);
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ReadLines(benchmark::State& state) {
  const std::string file = ScratchFile(state.range(0));
  std::string contents;
  for (auto _ : state) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    contents.resize(1024 * 1024 + 1);
    const ssize_t got = ::read(fd, contents.data(), contents.size());
    ::close(fd);
    contents.resize(got > 0 ? static_cast<size_t>(got) : 0);
    size_t lines = 0;
    for (const char* p = contents.data(); p != nullptr;) {
      const size_t left = static_cast<size_t>(contents.data() + contents.size() - p);
      p = static_cast<const char*>(std::memchr(p, '\n', left));
      if (p != nullptr) {
        ++lines;
        ++p;
      }
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// 60,000 values and their later lines make a file just under the 1 MiB limit.
void Sizes(benchmark::internal::Benchmark* family) {
  for (const int64_t values : {1000, 2000, 4000, 8000, 16000, 32000, 60000}) family->Arg(values);
  family->Complexity(benchmark::oN);
}
BENCHMARK(OpenKey)->Apply(Sizes);
BENCHMARK(ReadLines)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
