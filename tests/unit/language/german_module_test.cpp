// The German module that ships with the program (share/framecalc.DEU.lang): it translates every
// text of the program's string table, and the program uses each translation as it stands.

#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/modules.h"
#include "platform/posix/registry_files.h"
#include "platform/posix/string_resources.h"
#include "platform/string_tables.h"
#include "runtime/message_text.h"
#include "runtime/string_ids.h"
#include "tests/unit/language/temp_files.h"

namespace {

using platform::HMODULE;

const std::string ModuleSource = std::string(FRAMECALC_SOURCE_DIR) + "/share/framecalc.DEU.lang";

// The report template is read into 256 characters, every other message into 1,024.
constexpr int TemplateBufferSize = 256;

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::string OwnText(platform::UINT id) {
  char buffer[MessageTextBufferSize];
  const int length = platform::LoadStringA(0, id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

// The module beside this test program, chosen for it by an override in a scratch configuration
// file, as a user's program would choose it; the program's module registered as at start-up.
class GermanModule : public ::testing::Test {
 protected:
  void SetUp() override {
    char path[PathBufferSize] = {};
    const platform::DWORD length =
        platform::GetModuleFileNameA(0, path, static_cast<platform::DWORD>(PathBufferSize));
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, PathBufferSize) << "the test program's path is too long";
    // An extension of this test's own (the fixture's tests, too, may run side by side).
    const std::string extension = ModuleExtensionForThisTest('G');
    module_ = std::string(path) + "." + extension;
    std::filesystem::copy_file(ModuleSource, module_,
                               std::filesystem::copy_options::overwrite_existing);
    dir_.Write("user", "[Software\\Quenlor\\Locales]\n@=" + extension + "\n");
    platform::SetRegistryFiles((dir_ / "user").c_str(), "");
    program_ = platform::GetModuleHandleA(nullptr);
    RegisterProgramModule(program_);
    language_ = FindMessageModule(program_);
  }
  void TearDown() override {
    UnregisterProgramModule();
    std::remove(module_.c_str());
    platform::SetRegistryFiles("", "");
  }

  std::string ModuleText(platform::UINT id) const {
    char buffer[MessageTextBufferSize];
    const int length = platform::LoadStringA(language_, id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
  }

  ScopedEnvironment locale_{"LC_ALL", "C"};
  ScratchDirectory dir_;
  std::string module_;
  HMODULE program_ = 0;
  HMODULE language_ = 0;
};

// Each text the program reads is the module's own, cut to the buffer it is read into and checked
// against the program's text as the program checks it: none falls back to English.
TEST_F(GermanModule, EveryTextOfTheProgramIsTranslatedAndUsed) {
  ASSERT_NE(language_, program_) << "the module did not load: " << module_;
  ASSERT_GT(platform::ImageStringTableSize, 0u);
  for (size_t i = 0; i < platform::ImageStringTableSize; ++i) {
    const platform::UINT id = platform::ImageStringTable[i].id;
    SCOPED_TRACE(id);
    const std::string german = ModuleText(id);
    if (german.empty()) {
      ADD_FAILURE() << "no entry for " << OwnText(id);
      continue;
    }
    EXPECT_NE(german, OwnText(id)) << "left in English";
    const bool isTemplate = id == StringIdExceptionReport;
    char used[MessageTextBufferSize];
    const int length =
        LoadFittingText(program_, id, used, isTemplate ? TemplateBufferSize : MessageTextBufferSize,
                        isTemplate ? TextUse::ReportTemplate : TextUse::Message);
    EXPECT_EQ(std::string(used, static_cast<size_t>(length > 0 ? length : 0)), german)
        << "the program does not use the translation of " << OwnText(id);
  }
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Ungültige Zahleneingabe");
  EXPECT_EQ(LoadMessageText(StringIdExceptionReport),
            "Ausnahme %s in Modul %s an Adresse %p.\r\n%s%s\r\n");
}

// An identifier the program has no text for would be a typo that leaves a text untranslated.
TEST_F(GermanModule, HoldsNoOtherIdentifiers) {
  ASSERT_NE(language_, program_);
  size_t entries = 0;
  for (uint32_t id = 0; id <= 0xFFFF; ++id) {
    if (ModuleText(static_cast<platform::UINT>(id)).empty()) continue;
    ++entries;
    EXPECT_FALSE(OwnText(static_cast<platform::UINT>(id)).empty()) << "unknown identifier " << id;
  }
  EXPECT_EQ(entries, platform::ImageStringTableSize);
  // Every line that is not a comment or blank is an entry: none is skipped as malformed.
  std::istringstream lines(ReadWhole(ModuleSource));
  size_t entryLines = 0;
  for (std::string line; std::getline(lines, line);) {
    const size_t start = line.find_first_not_of(" \t\r");
    if (start != std::string::npos && line[start] != '#') ++entryLines;
  }
  EXPECT_EQ(entryLines, entries);
}

// The file is UTF-8 for Linux terminals; the Windows DLL holds its text in code page 1252 and the
// report reaches the console in OEM code page 850. Each character must exist in all three, or a
// text would reach a German user mangled.
TEST(GermanModuleCharacters, ExistInTheWindowsCodePages) {
  const std::string text = ReadWhole(ModuleSource);
  ASSERT_FALSE(text.empty()) << ModuleSource;
  for (const char* codePage : {"CP1252", "CP850"}) {
    SCOPED_TRACE(codePage);
    iconv_t converter = iconv_open(codePage, "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
      // A statically linked test program (the aarch64 build) carries no code-page converters;
      // the x86-64 build's run of this test checks the module.
      GTEST_SKIP() << "this C library has no converter to " << codePage;
    }
    std::string input = text;
    std::string output(text.size(), '\0');
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    const size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    const int error = errno;
    iconv_close(converter);
    const size_t offset = input.size() - inLeft;
    if (result == static_cast<size_t>(-1)) {
      ADD_FAILURE() << "errno " << error << " at byte " << offset << ": "
                    << text.substr(offset > 20 ? offset - 20 : 0, 40);
    } else {
      EXPECT_EQ(result, 0u) << "characters without an exact form in " << codePage;
    }
  }
}

}  // namespace
