// The user's language from the POSIX locale, as the Win32 abbreviation.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/locale.h"
#include "tests/unit/language/temp_files.h"
#include "platform/posix/locale_names.h"

namespace {

std::string Abbreviation(platform::LCID locale) {
  char name[5] = {};
  if (platform::GetLocaleInfoA(locale, platform::LOCALE_SABBREVLANGNAME, name, sizeof name) == 0) {
    return "";
  }
  return name;
}

struct LocaleCase {
  const char* posixName;
  const char* abbreviation;  // "" when no language is known
};
void PrintTo(const LocaleCase& c, std::ostream* os) { *os << c.posixName; }

class LocaleMapping : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleMapping, GivesTheWin32Abbreviation) {
  EXPECT_EQ(Abbreviation(platform::LocaleFromPosixName(GetParam().posixName)),
            GetParam().abbreviation)
      << GetParam().posixName;
}

INSTANTIATE_TEST_SUITE_P(
    Names, LocaleMapping,
    ::testing::Values(
        LocaleCase{"en_US.UTF-8", "ENU"}, LocaleCase{"en_GB", "ENG"}, LocaleCase{"en_AU", "ENA"},
        LocaleCase{"en_CA", "ENC"}, LocaleCase{"de_DE.UTF-8@euro", "DEU"},
        LocaleCase{"de_AT", "DEA"}, LocaleCase{"de_CH.ISO-8859-1", "DES"},
        LocaleCase{"fr_FR", "FRA"}, LocaleCase{"fr_CA", "FRC"}, LocaleCase{"fr_BE", "FRB"},
        LocaleCase{"fr_CH", "FRS"}, LocaleCase{"it_IT", "ITA"}, LocaleCase{"es_ES", "ESP"},
        LocaleCase{"pt_BR", "PTB"}, LocaleCase{"pt_PT", "PTG"}, LocaleCase{"nl_NL", "NLD"},
        LocaleCase{"nl_BE", "NLB"}, LocaleCase{"sv_SE", "SVE"}, LocaleCase{"da_DK", "DAN"},
        LocaleCase{"nb_NO", "NOR"}, LocaleCase{"fi_FI", "FIN"}, LocaleCase{"pl_PL", "PLK"},
        LocaleCase{"cs_CZ", "CSY"}, LocaleCase{"hu_HU", "HUN"}, LocaleCase{"ru_RU", "RUS"},
        LocaleCase{"tr_TR", "TRK"}, LocaleCase{"el_GR", "ELL"}, LocaleCase{"ja_JP.eucJP", "JPN"},
        LocaleCase{"zh_CN.GB18030", "CHS"}, LocaleCase{"zh_TW", "CHT"}, LocaleCase{"ko_KR", "KOR"},
        // The C locale, and the names of no locale.
        LocaleCase{"C", "ENU"}, LocaleCase{"C.UTF-8", "ENU"}, LocaleCase{"POSIX", "ENU"},
        LocaleCase{"", "ENU"},
        // A language alone or with a country not listed: its main country.
        LocaleCase{"de", "DEU"}, LocaleCase{"de_BE", "DEU"}, LocaleCase{"fr_SN.UTF-8", "FRA"},
        LocaleCase{"en_PH", "ENU"}, LocaleCase{"es", "ESP"}, LocaleCase{"de_DEU", "DEU"},
        // Spelling.
        LocaleCase{"DE_at", "DEA"}, LocaleCase{"de-AT", "DEA"},
        // Nothing known.
        LocaleCase{"eo", ""}, LocaleCase{"xx_YY", ""}, LocaleCase{"english", ""},
        LocaleCase{"c_DE", ""}, LocaleCase{"_DE", ""}, LocaleCase{"POSIXLY", ""}),
    [](const ::testing::TestParamInfo<LocaleCase>& test) {
      std::string name;
      for (const char* c = test.param.posixName; *c != '\0'; ++c) {
        name += (std::isalnum(static_cast<unsigned char>(*c)) != 0) ? *c : '_';
      }
      return "L" + std::to_string(test.index) + "_" + name;
    });

TEST(ThreadLocale, FirstNonEmptyOfLcAllLcMessagesLang) {
  struct {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    const char* expected;
  } cases[] = {
      {"it_IT", "fr_CA", "de_DE", "ITA"}, {"", "fr_CA", "de_DE", "FRC"},
      {nullptr, nullptr, "de_AT", "DEA"}, {"", "", "", "ENU"},
      {nullptr, nullptr, nullptr, "ENU"}, {"C", "fr_CA", "de_DE", "ENU"},
      {nullptr, "eo", "de_DE", ""},
  };
  for (const auto& c : cases) {
    ScopedEnvironment lcAll("LC_ALL", c.lcAll);
    ScopedEnvironment lcMessages("LC_MESSAGES", c.lcMessages);
    ScopedEnvironment lang("LANG", c.lang);
    EXPECT_EQ(Abbreviation(platform::GetThreadLocale()), c.expected)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

TEST(LocaleInfo, BufferSizesAndUnknownRequests) {
  const platform::LCID german = platform::LocaleFromPosixName("de_DE");
  char name[5] = "xxxx";
  EXPECT_EQ(platform::GetLocaleInfoA(german, platform::LOCALE_SABBREVLANGNAME, nullptr, 0), 4);
  EXPECT_EQ(platform::GetLocaleInfoA(german, platform::LOCALE_SABBREVLANGNAME, name, 3), 0);
  EXPECT_STREQ(name, "xxxx") << "nothing written to a buffer too small";
  EXPECT_EQ(platform::GetLocaleInfoA(german, platform::LOCALE_SABBREVLANGNAME, name, 4), 4);
  EXPECT_STREQ(name, "DEU");
  EXPECT_EQ(platform::GetLocaleInfoA(0, platform::LOCALE_SABBREVLANGNAME, name, 5), 0);
  EXPECT_EQ(platform::GetLocaleInfoA(german, 0x59, name, 5), 0) << "another kind of information";
}

}  // namespace
