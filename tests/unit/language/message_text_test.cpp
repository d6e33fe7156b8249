// Message texts through the registered program module, with and without a language module.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/modules.h"
#include "platform/string_tables.h"
#include "platform/registry.h"
#include "runtime/message_text.h"
#include "runtime/string_ids.h"
#include "tests/unit/language/temp_files.h"
#include "platform/posix/registry_files.h"

namespace {

using platform::HMODULE;

TEST(MessageText, AbsentReferenceLeavesTheDestination) {
  std::string text = "kept";
  LoadMessageText(nullptr, text);
  EXPECT_EQ(text, "kept");
  const MessageTextRef noModule{nullptr, StringIdInvalidInput};
  LoadMessageText(&noModule, text);
  EXPECT_EQ(text, "kept");
}

TEST(MessageText, IdentifiersFrom65536AreFixedTexts) {
  static const char fixed[] = "a fixed text of the program";
  const HMODULE module = 0;
  const MessageTextRef ref{&module, reinterpret_cast<uintptr_t>(fixed)};
  ASSERT_GE(ref.identifier, 0x10000u);
  std::string text;
  LoadMessageText(&ref, text);
  EXPECT_EQ(text, fixed);
}

TEST(MessageText, WithoutRegistrationTheProgramsTableAnswers) {
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Invalid numeric input");
  EXPECT_EQ(LoadMessageText(StringIdExceptionReport),
            "Exception %s in module %s at %p.\r\n%s%s\r\n");
  EXPECT_EQ(LoadMessageText(1), "");
  EXPECT_EQ(FindMessageModule(0x5000), 0x5000u) << "a handle of no registered module";
}

// The language module is looked for beside the running test program: a file named like it,
// with the override of the user's configuration file as extension.
class ProgramModule : public ::testing::Test {
 protected:
  void SetUp() override {
    char path[PathBufferSize] = {};
    const platform::DWORD length =
        platform::GetModuleFileNameA(0, path, static_cast<platform::DWORD>(PathBufferSize));
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, PathBufferSize) << "the test program's path is too long";
    program_ = path;
    // An extension of this test's own: tests of the unit test binary may run side by side in
    // separate processes, and must not find each other's module beside the binary.
    const std::string extension = ModuleExtensionForThisTest('Q');
    module_ = program_ + "." + extension;
    dir_.Write("user", "[Software\\Quenlor\\Locales]\n@=" + extension + "\n");
    platform::SetRegistryFiles((dir_ / "user").c_str(), "");
  }
  void TearDown() override {
    UnregisterProgramModule();
    std::remove(module_.c_str());
    platform::SetRegistryFiles("", "");
  }

  ScopedEnvironment locale_{"LC_ALL", "C"};
  ScratchDirectory dir_;
  std::string program_;
  std::string module_;
};

TEST_F(ProgramModule, ChosenOnceAtTheFirstLookupAndReleasedAtUnregistration) {
  {
    std::FILE* file = std::fopen(module_.c_str(), "wb");
    ASSERT_NE(file, nullptr) << "cannot write beside the test program";
    std::fputs("65528 = Zahl ungueltig\n65511 = Ausnahme %s in %s bei %p.\\r\\n%s%s\\r\\n\n", file);
    std::fclose(file);
  }
  const HMODULE program = platform::GetModuleHandleA(nullptr);
  RegisterProgramModule(program);
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Zahl ungueltig");
  EXPECT_EQ(LoadMessageText(StringIdDiskFull), "Disk full")
      << "an entry the module lacks gives the program's own text";
  const HMODULE module = FindMessageModule(program);
  ASSERT_NE(module, program);
  char buffer[256];
  EXPECT_GT(platform::LoadStringA(module, StringIdExceptionReport, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "Ausnahme %s in %s bei %p.\r\n%s%s\r\n");

  // Fixed for the rest of the run, whatever happens to the file.
  std::remove(module_.c_str());
  EXPECT_EQ(FindMessageModule(program), module);
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Zahl ungueltig");

  UnregisterProgramModule();
  EXPECT_EQ(platform::LoadStringA(module, StringIdInvalidInput, buffer, sizeof buffer), 0)
      << "the language module is released";
  EXPECT_EQ(FindMessageModule(program), program);
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Invalid numeric input");
}

// A program linked at load base 0 has module handle 0: the choice is still made once. A module
// that appears after the first lookup is not taken up by later ones.
TEST_F(ProgramModule, ChosenOnceEvenForAProgramAtLoadBaseZero) {
  RegisterProgramModule(0);
  EXPECT_EQ(FindMessageModule(0), 0u);
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Invalid numeric input");
  {
    std::FILE* file = std::fopen(module_.c_str(), "wb");
    ASSERT_NE(file, nullptr) << "cannot write beside the test program";
    std::fputs("65528 = Zahl ungueltig\n", file);
    std::fclose(file);
  }
  EXPECT_EQ(FindMessageModule(0), 0u);
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Invalid numeric input");
}

// Whatever a module holds for an entry, the text the program uses is one that works: its own
// where the module's is missing, empty, or does not fit the program's arguments as it will be
// used (after the cut to the buffer it is read into).
TEST_F(ProgramModule, EntriesThatCannotServeGiveTheProgramsOwnText) {
  const std::string longTemplate =
      "Exception " + std::string(244, '0') + "%s in module %s at %p.\\r\\n%s%s\\r\\n";
  {
    std::FILE* file = std::fopen(module_.c_str(), "wb");
    ASSERT_NE(file, nullptr) << "cannot write beside the test program";
    std::fputs(
        "65528 =\n"                        // empty
        "65521 = E/A-Fehler %9999999d\n"   // a width no report can hold
        "65513 = Format %1024s falsch\n",  // the largest width that fits
        file);
    std::fputs(("65511 = " + longTemplate + "\n").c_str(), file);
    std::fclose(file);
  }
  RegisterProgramModule(platform::GetModuleHandleA(nullptr));
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Invalid numeric input");
  EXPECT_EQ(LoadMessageText(StringIdIoError), "I/O error %d");
  EXPECT_EQ(LoadMessageText(StringIdFormatInvalid), "Format %1024s falsch");
  char buffer[256];
  const int length = LoadFittingText(platform::GetModuleHandleA(nullptr), StringIdExceptionReport,
                                     buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)),
            "Exception %s in module %s at %p.\r\n%s%s\r\n")
      << "cut at 255 characters the translation ends in a broken conversion";
  // Read whole, the same translation fits.
  EXPECT_EQ(LoadMessageText(StringIdExceptionReport).substr(0, 10), "Exception ");
  EXPECT_EQ(LoadMessageText(StringIdExceptionReport).size(), 284u);
}

TEST_F(ProgramModule, WithoutALanguageModuleTheProgramAnswers) {
  const HMODULE program = platform::GetModuleHandleA(nullptr);
  RegisterProgramModule(program);
  RegisterProgramModule(program);  // once only
  EXPECT_EQ(FindMessageModule(program), program);
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Invalid numeric input");
  UnregisterProgramModule();
  UnregisterProgramModule();  // nothing left to remove
  EXPECT_EQ(LoadMessageText(StringIdInvalidInput), "Invalid numeric input");
}

}  // namespace
