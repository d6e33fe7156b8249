// What only the Windows build does, run under Wine: language modules as resource-only DLLs made by
// tools/make-language-dll.sh, the registry override of the language, the report in the console's
// OEM code page, and the start-up registry value that a machine failing the keyboard test never
// reads. The Windows program is copied into a scratch directory; registry values are set with
// Wine's reg.exe in the program's prefix and removed again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/program_runner.h"

namespace {

namespace fs = std::filesystem;

const char MistypedNumber[] = "12a\n";
const char ParallelLines[] = "1\n2\n1\n7\nX\n5\n";

const std::string EnglishReport =
    "Exception EInOutError in module framecalc.exe at ########.\r\nInvalid numeric input.\r\n\r\n";
const std::string GermanReport =
    "Ausnahme EInOutError in Modul framecalc.exe bei ########.\r\nUngueltige Zahl.\r\n\r\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

// The example module with the mistyped number's message and the report template translated.
std::string GermanSource() {
  std::string text = ReadFile(std::string(FRAMECALC_SOURCE_DIR) + "/share/framecalc.example.lang");
  const auto replace = [&text](const std::string& line, const std::string& translated) {
    const size_t at = text.find(line);
    if (at != std::string::npos) text.replace(at, line.size(), translated);
    return at != std::string::npos;
  };
  EXPECT_TRUE(replace("65528 = Invalid numeric input", "65528 = Ungueltige Zahl"));
  EXPECT_TRUE(replace("65511 = Exception %s in module %s at %p.\\r\\n%s%s\\r\\n",
                      "65511 = Ausnahme %s in Modul %s bei %p.\\r\\n%s%s\\r\\n"));
  return text;
}

// Where the heap of the Wine loader that runs `program` through the runner begins (the kernel's
// start_brk, /proc/PID/stat's field 47), read while the program waits for its first answer; 0 when
// no Wine loader ran the program on this machine within ten seconds.
uint64_t LoaderHeapStart(const std::string& program) {
  int input[2];
  if (pipe2(input, O_CLOEXEC) != 0) return 0;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(input[0], 0);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    const std::string runner = e2e::ProgramRunner();
    execl("/bin/bash", "bash", runner.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(input[0]);
  uint64_t start = 0;
  // The runner's shell and setarch become the loader in the same process: it is the loader once
  // its executable is Wine's.
  const std::string proc = "/proc/" + std::to_string(pid);
  for (int i = 0; i < 1000 && start == 0; ++i) {
    std::error_code error;
    const std::string exe = fs::read_symlink(proc + "/exe", error).filename().string();
    if (!error && (exe == "wine" || exe == "wine64")) {
      std::ifstream stat(proc + "/stat");
      std::string line;
      std::getline(stat, line);
      std::istringstream fields(line.substr(line.rfind(')') + 2));  // from field 3 on
      std::string field;
      for (int n = 3; n <= 47 && fields >> field; ++n) {
        if (n == 47) start = std::stoull(field);
      }
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  close(input[1]);  // the end of the input ends the program
  int status = 0;
  waitpid(pid, &status, 0);
  return start;
}

class WindowsSystem : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::canonical(e2e::MakeTempDir()).string();
    program_ = dir_ + "/framecalc.exe";
    fs::copy_file(e2e::ProgramPath(), program_);
  }
  void TearDown() override {
    for (const std::string& key : keysToRemove_) Reg({"delete", key, "/f"});
    e2e::RemoveTree(dir_);
  }

  // The module made by the project's tool from a text source.
  void MakeModule(const std::string& name, const std::string& source) {
    const std::string sourcePath = dir_ + "/" + name + ".lang";
    std::ofstream(sourcePath, std::ios::binary) << source;
    const std::string command = "FRAMECALC_MINGW_PREFIX='" + MingwPrefix() + "' bash '" +
                                FRAMECALC_SOURCE_DIR + "/tools/make-language-dll.sh' '" +
                                sourcePath + "' '" + dir_ + "/" + name + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // Wine's reg.exe in the program's prefix; the key is removed after the test.
  void SetValue(const std::string& key, std::vector<std::string> valueArguments) {
    keysToRemove_.push_back(key);
    std::vector<std::string> arguments = {"add", key};
    arguments.insert(arguments.end(), valueArguments.begin(), valueArguments.end());
    arguments.push_back("/f");
    const e2e::RunResult r = Reg(arguments);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }

  e2e::RunResult Reg(const std::vector<std::string>& arguments) {
    e2e::RunOptions options;
    options.program = "reg";
    options.arguments = arguments;
    options.input = e2e::InputKind::DevNull;
    options.environment["FRAMECALC_WINEARCH"] = Is64Bit() ? "win64" : "win32";
    return e2e::RunProgram(options);
  }

  e2e::RunResult Run(const char* locale, const std::string& input) {
    e2e::RunOptions options;
    options.program = program_;
    options.stdinBytes = input;
    options.environment["LC_ALL"] = locale;
    options.unsetEnvironment = {"LC_MESSAGES", "LANG"};
    e2e::RunResult r = e2e::RunProgram(options);
    // The runner is a shell script: its shell warns about a locale that Linux lacks (Wine needs
    // none to take the language from LC_ALL). That line is the shell's, not the program's.
    const std::string warning = "bash: warning: setlocale: LC_ALL: cannot change locale";
    if (r.err.rfind(warning, 0) == 0) r.err.erase(0, r.err.find('\n') + 1);
    return r;
  }

  // The program's path as Windows names it (Wine's drive Z: is the Linux root).
  std::string WindowsPath() const {
    std::string path = "Z:" + program_;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
  }

  static std::string MingwPrefix() {
    const char* prefix = std::getenv("FRAMECALC_BINUTILS_PREFIX");
    std::string text = prefix != nullptr ? prefix : "i686-w64-mingw32-";
    if (!text.empty() && text.back() == '-') text.pop_back();
    return text;
  }
  static bool Is64Bit() { return MingwPrefix().rfind("x86_64", 0) == 0; }

  void ExpectReport(const e2e::RunResult& r, const std::string& expected) {
    EXPECT_TRUE(std::regex_match(r.err, std::regex(e2e::ReportPattern(expected)))) << r.err;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.timedOut);
  }

  std::string dir_;
  std::string program_;
  std::vector<std::string> keysToRemove_;
};

TEST_F(WindowsSystem, LanguageDllOfTheLocale) {
  MakeModule("framecalc.DEU", GermanSource());
  ExpectReport(Run("de_DE.UTF-8", MistypedNumber), GermanReport);
  ExpectReport(Run("C", MistypedNumber), EnglishReport);
}

TEST_F(WindowsSystem, TwoLetterLanguageDll) {
  MakeModule("framecalc.DE", GermanSource());
  ExpectReport(Run("de_AT.UTF-8", MistypedNumber), GermanReport);
}

// An entry the module lacks is the program's own; so is a text that does not fit its use.
TEST_F(WindowsSystem, MissingOrUnfitEntryGivesTheProgramsText) {
  MakeModule("framecalc.DEU",
             "65511 = Ausnahme %s in Modul %s bei %p.\\r\\n%s%s\\r\\n\n"
             "65521 = E/A-Fehler %s %s\n");
  ExpectReport(Run("de_DE.UTF-8", MistypedNumber),
               "Ausnahme EInOutError in Modul framecalc.exe bei ########.\r\n"
               "Invalid numeric input.\r\n\r\n");
  // A template with more conversions, or with a width or a precision on any of them (the report
  // would show the address alone, or lose the message past its limit).
  for (const char* unfit :
       {"Ausnahme %s %s %s %s %s %s", "%.0s%.0s%p%.0s%.0s", "%1024s|%1024s|%1024p|%1024s|%1024s",
        "Ausnahme %s in Modul %s bei %p.\\r\\n%s%1024s\\r\\n"}) {
    MakeModule("framecalc.DEU", "65528 = Ungueltige Zahl\n65511 = " + std::string(unfit) + "\n");
    ExpectReport(Run("de_DE.UTF-8", MistypedNumber),
                 "Exception EInOutError in module framecalc.exe at ########.\r\n"
                 "Ungueltige Zahl.\r\n\r\n");
  }
}

TEST_F(WindowsSystem, RegistryOverrideForTheProgramsLongPath) {
  MakeModule("framecalc.ITA", GermanSource());
  MakeModule("framecalc.DEU", "65528 = ohne Vorrang\n");
  SetValue("HKCU\\Software\\Quenlor\\Locales", {"/v", WindowsPath(), "/d", "ITA"});
  ExpectReport(Run("de_DE.UTF-8", MistypedNumber), GermanReport);
  ExpectReport(Run("C", MistypedNumber), GermanReport);
}

TEST_F(WindowsSystem, RegistryOverrideByTheDefaultValue) {
  MakeModule("framecalc.ITA", GermanSource());
  SetValue("HKCU\\Software\\Quenlor\\Vantro\\Locales", {"/ve", "/d", "ITA"});
  ExpectReport(Run("C", MistypedNumber), GermanReport);
}

// "Ungültige Zahl äöß" written in code page 1252 (as bytes, and one as an escape) reaches
// standard error in the OEM code page of a German locale (850: ü 81, ä 84, ö 94, ß E1; the same
// bytes in 437). The tool reads the text format as the Linux build does: a later line replaces
// an earlier one, a malformed line (one with a zero byte among them) is skipped.
TEST_F(WindowsSystem, ReportInTheOemCodePage) {
  MakeModule("framecalc.DEU",
             "65528 = erste Zeile\n"
             "65528 = Ung\xFCltige Zahl \\xE4\xF6\xDF\n"
             "65528 Zahl ohne Gleichheitszeichen\n"
             "65528 = kaputt \\q\n"
             "65528 = Null\\x00Byte\n");
  const e2e::RunResult r = Run("de_DE.UTF-8", MistypedNumber);
  ExpectReport(r,
               "Exception EInOutError in module framecalc.exe at ########.\r\n"
               "Ung\x81ltige Zahl \x84\x94\xE1.\r\n\r\n");
}

// The blocks of a DLL's string table, found through its resource directory: for each block (the
// identifiers 16 (n - 1) to 16 n - 1 of block n) the file offsets of its data entry (whose second
// word is the block's size) and of its bytes.
struct StringBlock {
  uint32_t number;
  size_t entryOffset;
  size_t dataOffset;
};

uint32_t Word32(const std::string& image, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(image.at(at + i));
  return value;
}
uint16_t Word16(const std::string& image, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(image.at(at)) |
                               static_cast<uint8_t>(image.at(at + 1)) << 8);
}
void PutWord16(std::string& image, size_t at, uint16_t value) {
  image.at(at) = static_cast<char>(value & 0xFF);
  image.at(at + 1) = static_cast<char>(value >> 8);
}
void PutWord32(std::string& image, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) image.at(at + i) = static_cast<char>(value >> (8 * i) & 0xFF);
}

std::vector<StringBlock> StringBlocksOf(const std::string& image) {
  const size_t header = Word32(image, 0x3C);
  const size_t sections = Word16(image, header + 6);
  const size_t table = header + 24 + Word16(image, header + 20);
  size_t rsrc = 0, rsrcAddress = 0;
  for (size_t i = 0; i < sections; ++i) {
    const size_t section = table + 40 * i;
    if (image.compare(section, 6, ".rsrc\0", 6) == 0) {
      rsrcAddress = Word32(image, section + 12);
      rsrc = Word32(image, section + 20);
    }
  }
  EXPECT_NE(rsrc, 0u) << "no resource section";
  // The entries of a resource directory at `offset` (relative to the section): id and target.
  const auto entries = [&](size_t offset) {
    std::vector<std::pair<uint32_t, uint32_t>> list;
    const size_t count =
        size_t{Word16(image, rsrc + offset + 12)} + Word16(image, rsrc + offset + 14);
    for (size_t i = 0; i < count; ++i) {
      const size_t entry = rsrc + offset + 16 + 8 * i;
      list.emplace_back(Word32(image, entry), Word32(image, entry + 4));
    }
    return list;
  };
  std::vector<StringBlock> blocks;
  for (const auto& [type, types] : entries(0)) {
    if (type != 6) continue;  // RT_STRING
    for (const auto& [number, languages] : entries(types & 0x7FFFFFFF)) {
      for (const auto& [language, data] : entries(languages & 0x7FFFFFFF)) {
        const size_t entryOffset = rsrc + data;
        const size_t dataOffset = Word32(image, entryOffset) - rsrcAddress + rsrc;
        blocks.push_back(StringBlock{number, entryOffset, dataOffset});
      }
    }
  }
  return blocks;
}

// Ways to spoil the block that holds one identifier.
enum class Spoil { LengthPastTheEnd, BlockCutShort, OddByteCount };

struct SpoiledCase {
  const char* name;
  uint32_t identifier;
  Spoil spoil;
};

void PrintTo(const SpoiledCase& c, std::ostream* os) { *os << c.name; }

class SpoiledLanguageDll : public WindowsSystem, public testing::WithParamInterface<SpoiledCase> {
 protected:
  // The German module, its block of `identifier` spoiled as the case says.
  void MakeSpoiledModule(const SpoiledCase& c) {
    MakeModule("framecalc.DEU", GermanSource());
    const std::string path = dir_ + "/framecalc.DEU";
    std::string image = ReadFile(path);
    bool found = false;
    for (const StringBlock& block : StringBlocksOf(image)) {
      if (block.number != c.identifier / 16 + 1) continue;
      found = true;
      const uint32_t size = Word32(image, block.entryOffset + 4);
      // The offset in the block of the identifier's count, and of the end of its text.
      size_t at = 0;
      for (uint32_t entry = 0; entry < c.identifier % 16; ++entry) {
        at += 2 + 2 * size_t{Word16(image, block.dataOffset + at)};
      }
      const size_t end = at + 2 + 2 * size_t{Word16(image, block.dataOffset + at)};
      ASSERT_LE(end, size);
      switch (c.spoil) {
        case Spoil::LengthPastTheEnd:
          PutWord16(image, block.dataOffset + at, static_cast<uint16_t>((size - at - 2) / 2 + 1));
          break;
        case Spoil::BlockCutShort:
          PutWord32(image, block.entryOffset + 4, static_cast<uint32_t>(end - 2));
          break;
        case Spoil::OddByteCount:
          PutWord32(image, block.entryOffset + 4, size + 1);
          break;
      }
    }
    ASSERT_TRUE(found) << "no block for " << c.identifier;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << image;
  }
};

// A module with a malformed block is not used at all: the dialogue runs as without it, and a
// failure is reported in the program's own words, never through a loader that reads past the
// block.
TEST_P(SpoiledLanguageDll, IsNotUsed) {
  const SpoiledCase& c = GetParam();
  MakeSpoiledModule(c);
  const e2e::RunResult whole = Run("de_DE.UTF-8", "100\n200\n300\n400\nX\n150\n\n");
  EXPECT_EQ(whole.out, e2e::DialogueTranscript("X", "X= 150.00m", "Y= 250.00m"));
  EXPECT_EQ(whole.err, "");
  EXPECT_EQ(whole.exitCode, 0);
  ExpectReport(Run("de_DE.UTF-8", MistypedNumber), EnglishReport);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, SpoiledLanguageDll,
    testing::Values(SpoiledCase{"FirstBlockLengthPastTheEnd", 65504, Spoil::LengthPastTheEnd},
                    SpoiledCase{"TemplateLengthPastTheEnd", 65511, Spoil::LengthPastTheEnd},
                    SpoiledCase{"MessageLengthPastTheEnd", 65528, Spoil::LengthPastTheEnd},
                    SpoiledCase{"FirstBlockCutShort", 65504, Spoil::BlockCutShort},
                    SpoiledCase{"TemplateBlockCutShort", 65511, Spoil::BlockCutShort},
                    SpoiledCase{"MessageBlockCutShort", 65528, Spoil::BlockCutShort},
                    SpoiledCase{"TemplateBlockOddByteCount", 65511, Spoil::OddByteCount},
                    SpoiledCase{"MessageBlockOddByteCount", 65528, Spoil::OddByteCount}),
    [](const testing::TestParamInfo<SpoiledCase>& param) { return std::string(param.param.name); });

// The same module unspoiled is used: the spoiling above is what keeps it out.
TEST_F(WindowsSystem, UnspoiledExampleDllIsUsed) {
  MakeModule("framecalc.DEU", GermanSource());
  ASSERT_EQ(StringBlocksOf(ReadFile(dir_ + "/framecalc.DEU")).size(), 3u)
      << "the blocks of 65488 to 65503, 65504 to 65519 and 65520 to 65535";
  ExpectReport(Run("de_DE.UTF-8", MistypedNumber), GermanReport);
}

// A text with a byte that code page 1252 does not define (81, 8D, 8F, 90, 9D; a UTF-8 "с" is
// D1 81) would be cut there by the resource compiler: the tool stops instead, names the line and
// the byte, and writes nothing.
TEST_F(WindowsSystem, LanguageDllToolStopsAtAByteTheCodePageLacks) {
  struct {
    std::string source;
    const char* where;  // "LINE: the byte 0xNN"
  } const cases[] = {
      {"65528 = Ung\x81ltige Zahl\n", "1: the byte 0x81"},
      {"# Russian, written in UTF-8\n65528 = "
       "\xD0\x9D\xD0\xB5\xD0\xB2\xD0\xB5\xD1\x80\xD0\xBD\xD0\xBE\n",
       "2: the byte 0x9D"},
      {"65528 = a\\x8Db\n", "1: the byte 0x8D"},
      {"65528 = erste\n\n65521 = E/A \x8F %d\n", "3: the byte 0x8F"},
      {"65528 = \x90\n", "1: the byte 0x90"},
      {"65528 = ok\n65528 = \xD1\x81\n", "2: the byte 0x81"},
  };
  for (const auto& c : cases) {
    const std::string source = dir_ + "/bad.lang";
    const std::string output = dir_ + "/framecalc.DEU";
    std::ofstream(source, std::ios::binary | std::ios::trunc) << c.source;
    e2e::RunOptions options;
    options.program = "/bin/bash";
    options.arguments = {std::string(FRAMECALC_SOURCE_DIR) + "/tools/make-language-dll.sh", source,
                         output};
    options.environment["FRAMECALC_MINGW_PREFIX"] = MingwPrefix();
    options.input = e2e::InputKind::DevNull;
    options.direct = true;
    const e2e::RunResult r = e2e::RunProgram(options);
    EXPECT_NE(r.exitCode, 0) << c.where;
    EXPECT_NE(r.err.find(source + ":" + c.where + " is not defined in code page 1252"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(output)) << c.where;
  }
  // The bytes it does define pass, 0x80 (the euro sign) and 0x9E among them.
  MakeModule("framecalc.DEU", "65528 = \x80\x9E\xFC\\x8E\n");
  EXPECT_TRUE(fs::exists(dir_ + "/framecalc.DEU"));
}

// Wine's keyboard fails the start-up test: a value that would mask every floating-point
// exception is never read, and parallel lines still divide by zero.
TEST_F(WindowsSystem, FpuMaskValueIsNotReadWithoutTheKeyboard) {
  SetValue("HKLM\\SOFTWARE\\Quenlor\\Vantro\\RTL",
           {"/v", "FPUMaskValue", "/t", "REG_DWORD", "/d", "63"});
  const e2e::RunResult r = Run("C", ParallelLines);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Exception EZeroDivide in module framecalc\\.exe at [0-9A-F]{8}\\.\r\n"
                        "Floating point division by zero\\.\r\n\r\n")))
      << r.err;
  EXPECT_EQ(r.exitCode, 1);
}

// Wine maps its user shared data at the fixed address 0x7ffe0000 and ends with exit code 1, and
// no word under WINEDEBUG=-all, when that page is taken. Debian's Wine has no preloader to hold
// it; with the address space randomised, the loader's heap starts anywhere in the gigabyte after
// the loader (0x7d000000) and covered the page about once in 8,000 starts of a 64-bit program.
// The runner starts Wine without randomisation: the heap starts at one place, right after the
// loader.
TEST_F(WindowsSystem, WineLoaderHeapStartsAtOnePlaceFarBelowTheUserSharedData) {
  if (!Is64Bit() && std::system(("bash '" + e2e::ProgramRunner() + "' --uses-vm").c_str()) == 0) {
    GTEST_SKIP() << "32-bit programs run in the virtual machine on this machine";
  }
  constexpr uint64_t UserSharedData = 0x7ffe0000;
  std::vector<uint64_t> starts;
  for (int run = 0; run < 3; ++run) starts.push_back(LoaderHeapStart(program_));
  for (const uint64_t start : starts) {
    ASSERT_NE(start, 0u) << "no Wine loader seen";
    EXPECT_LT(start, UserSharedData - 0x1000000) << std::hex << start;
  }
  EXPECT_EQ(starts[1], starts[0]);
  EXPECT_EQ(starts[2], starts[0]);
}

}  // namespace
