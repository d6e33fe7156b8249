// LoadStringA on the program's own table and on language modules.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/modules.h"
#include "platform/string_tables.h"
#include "runtime/string_ids.h"
#include "platform/posix/string_resources.h"

namespace {

using platform::HMODULE;

class LanguageModule {
 public:
  explicit LanguageModule(const std::string& text)
      : handle_(platform::LoadLanguageModuleFromMemory(text.data(), text.size())) {}
  ~LanguageModule() {
    if (handle_ != 0) platform::FreeLibrary(handle_);
  }
  LanguageModule(const LanguageModule&) = delete;
  LanguageModule& operator=(const LanguageModule&) = delete;
  HMODULE handle() const { return handle_; }

 private:
  HMODULE handle_;
};

std::string TextOf(HMODULE module, platform::UINT id) {
  char buffer[1024];
  const int length = platform::LoadStringA(module, id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

TEST(LoadString, ProgramModuleAndNullAnswerFromTheProgramsTable) {
  EXPECT_EQ(TextOf(0, StringIdInvalidInput), "Invalid numeric input");
  EXPECT_EQ(TextOf(platform::GetModuleHandleA(nullptr), StringIdInvalidInput),
            "Invalid numeric input");
  EXPECT_EQ(TextOf(0, 1), "") << "an identifier the table lacks";
}

TEST(LoadString, CutsToTheBufferAndAlwaysTerminates) {
  LanguageModule module("1 = abcdefgh\n");
  ASSERT_NE(module.handle(), 0u);
  char buffer[8];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(platform::LoadStringA(module.handle(), 1, buffer, 5), 4);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(buffer[5], 'X') << "nothing written past the buffer";
  EXPECT_EQ(platform::LoadStringA(module.handle(), 1, buffer, 1), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(platform::LoadStringA(module.handle(), 1, buffer, 0), 0);
  EXPECT_EQ(platform::LoadStringA(module.handle(), 1, nullptr, 8), 0);

  // The report template is read into 256 characters: at most 255 of it are used.
  char report[256];
  LanguageModule longTemplate("65511 = " + std::string(300, 'x') + "\n");
  EXPECT_EQ(
      platform::LoadStringA(longTemplate.handle(), StringIdExceptionReport, report, sizeof report),
      255);
}

TEST(LoadString, LanguageModuleLacksEntryGivesEmptyNotTheProgramsText) {
  LanguageModule module("65527 = Datentraeger voll\n");
  ASSERT_NE(module.handle(), 0u);
  EXPECT_EQ(TextOf(module.handle(), StringIdDiskFull), "Datentraeger voll");
  char buffer[16] = "unchanged";
  EXPECT_EQ(platform::LoadStringA(module.handle(), StringIdInvalidInput, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(LoadString, ReleasedOrUnknownHandlesAnswerNothing) {
  const std::string text = "65528 = released\n";
  const HMODULE handle = platform::LoadLanguageModuleFromMemory(text.data(), text.size());
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(platform::FreeLibrary(handle), platform::TRUE_);
  EXPECT_EQ(TextOf(handle, StringIdInvalidInput), "");
  EXPECT_EQ(platform::FreeLibrary(handle), platform::FALSE_) << "released twice";
  EXPECT_EQ(TextOf(0x1234, StringIdInvalidInput), "");
  EXPECT_EQ(platform::FreeLibrary(platform::GetModuleHandleA(nullptr)), platform::FALSE_);
  EXPECT_EQ(platform::GetProcAddress(platform::GetModuleHandleA(nullptr), "GetLongPathNameA"),
            nullptr);
}

TEST(LoadString, SeveralModulesStayApart) {
  LanguageModule german("65528 = Ungueltige Zahl\n");
  LanguageModule french("65528 = Nombre invalide\n");
  EXPECT_EQ(TextOf(german.handle(), StringIdInvalidInput), "Ungueltige Zahl");
  EXPECT_EQ(TextOf(french.handle(), StringIdInvalidInput), "Nombre invalide");
}

}  // namespace
