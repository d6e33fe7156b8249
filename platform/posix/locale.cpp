// The user's locale on POSIX: the locale name of the environment mapped to a Win32 locale
// identifier and its three-letter abbreviation.

#include "platform/locale.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/console_files.h"
#include "platform/posix/locale_names.h"

namespace platform {
namespace {

// The codes are held in the rows themselves rather than pointed to, so that the table needs no
// relocation when the program is loaded.
struct LocaleRow {
  char language[4];  // ISO 639 code, lower case
  char country[4];   // ISO 3166 code, upper case
  LCID locale;
  char abbreviation[4];
};

// The first row of a language is its main country: a language named without a country, or with
// one not listed, takes it.
constexpr LocaleRow LocaleTable[] = {
    {"af", "ZA", 0x0436, "AFK"}, {"ar", "SA", 0x0401, "ARA"}, {"ar", "EG", 0x0C01, "ARE"},
    {"be", "BY", 0x0423, "BEL"}, {"bg", "BG", 0x0402, "BGR"}, {"ca", "ES", 0x0403, "CAT"},
    {"cs", "CZ", 0x0405, "CSY"}, {"da", "DK", 0x0406, "DAN"}, {"de", "DE", 0x0407, "DEU"},
    {"de", "CH", 0x0807, "DES"}, {"de", "AT", 0x0C07, "DEA"}, {"de", "LU", 0x1007, "DEL"},
    {"de", "LI", 0x1407, "DEC"}, {"el", "GR", 0x0408, "ELL"}, {"en", "US", 0x0409, "ENU"},
    {"en", "GB", 0x0809, "ENG"}, {"en", "AU", 0x0C09, "ENA"}, {"en", "CA", 0x1009, "ENC"},
    {"en", "NZ", 0x1409, "ENZ"}, {"en", "IE", 0x1809, "ENI"}, {"en", "ZA", 0x1C09, "ENS"},
    {"en", "JM", 0x2009, "ENJ"}, {"en", "IN", 0x4009, "ENN"}, {"es", "ES", 0x040A, "ESP"},
    {"es", "MX", 0x080A, "ESM"}, {"es", "AR", 0x2C0A, "ESS"}, {"et", "EE", 0x0425, "ETI"},
    {"eu", "ES", 0x042D, "EUQ"}, {"fa", "IR", 0x0429, "FAR"}, {"fi", "FI", 0x040B, "FIN"},
    {"fr", "FR", 0x040C, "FRA"}, {"fr", "BE", 0x080C, "FRB"}, {"fr", "CA", 0x0C0C, "FRC"},
    {"fr", "CH", 0x100C, "FRS"}, {"fr", "LU", 0x140C, "FRL"}, {"gl", "ES", 0x0456, "GLC"},
    {"he", "IL", 0x040D, "HEB"}, {"hi", "IN", 0x0439, "HIN"}, {"hr", "HR", 0x041A, "HRV"},
    {"hu", "HU", 0x040E, "HUN"}, {"id", "ID", 0x0421, "IND"}, {"is", "IS", 0x040F, "ISL"},
    {"it", "IT", 0x0410, "ITA"}, {"it", "CH", 0x0810, "ITS"}, {"ja", "JP", 0x0411, "JPN"},
    {"ko", "KR", 0x0412, "KOR"}, {"lt", "LT", 0x0427, "LTH"}, {"lv", "LV", 0x0426, "LVI"},
    {"mk", "MK", 0x042F, "MKI"}, {"ms", "MY", 0x043E, "MSL"}, {"nb", "NO", 0x0414, "NOR"},
    {"no", "NO", 0x0414, "NOR"}, {"nn", "NO", 0x0814, "NON"}, {"nl", "NL", 0x0413, "NLD"},
    {"nl", "BE", 0x0813, "NLB"}, {"pl", "PL", 0x0415, "PLK"}, {"pt", "BR", 0x0416, "PTB"},
    {"pt", "PT", 0x0816, "PTG"}, {"ro", "RO", 0x0418, "ROM"}, {"ru", "RU", 0x0419, "RUS"},
    {"sk", "SK", 0x041B, "SKY"}, {"sl", "SI", 0x0424, "SLV"}, {"sq", "AL", 0x041C, "SQI"},
    {"sv", "SE", 0x041D, "SVE"}, {"sv", "FI", 0x081D, "SVF"}, {"th", "TH", 0x041E, "THA"},
    {"tr", "TR", 0x041F, "TRK"}, {"uk", "UA", 0x0422, "UKR"}, {"vi", "VN", 0x042A, "VIT"},
    {"zh", "CN", 0x0804, "CHS"}, {"zh", "TW", 0x0404, "CHT"}, {"zh", "HK", 0x0C04, "ZHH"},
    {"zh", "SG", 0x1004, "ZHI"},
};

constexpr LCID EnglishUnitedStates = 0x0409;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

LCID LocaleFromPosixName(const char* name) {
  if (name == nullptr || name[0] == '\0') return EnglishUnitedStates;
  if (std::strncmp(name, "POSIX", 5) == 0 && (name[5] == '\0' || name[5] == '.')) {
    return EnglishUnitedStates;
  }
  // language[_COUNTRY][.codeset][@modifier]; "-" is taken for "_" as well.
  char language[4] = {};
  char country[4] = {};
  size_t pos = 0;
  size_t length = 0;
  while (IsLetter(name[pos]) && length < 3) language[length++] = Lower(name[pos++]);
  if (IsLetter(name[pos])) return 0;  // longer than any language code
  const char after = name[pos];
  if (length == 1 && language[0] == 'c' && (after == '\0' || after == '.' || after == '@')) {
    return EnglishUnitedStates;  // "C", "C.UTF-8"
  }
  if (length < 2) return 0;
  if (after == '_' || after == '-') {
    ++pos;
    size_t countryLength = 0;
    while (IsLetter(name[pos]) && countryLength < 3) country[countryLength++] = Upper(name[pos++]);
    if (countryLength != 2) country[0] = '\0';
  }
  const LocaleRow* main = nullptr;
  for (const LocaleRow& row : LocaleTable) {
    if (std::strcmp(row.language, language) != 0) continue;
    if (main == nullptr) main = &row;
    if (std::strcmp(row.country, country) == 0) return row.locale;
  }
  return main != nullptr ? main->locale : 0;
}

LCID GetThreadLocale() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return LocaleFromPosixName(value);
  }
  return EnglishUnitedStates;
}

int GetLocaleInfoA(LCID locale, LCTYPE type, char* data, int size) {
  if (type != LOCALE_SABBREVLANGNAME || size < 0 || (size > 0 && data == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  for (const LocaleRow& row : LocaleTable) {
    if (row.locale != locale) continue;
    const int needed = static_cast<int>(std::strlen(row.abbreviation)) + 1;
    if (size == 0) return needed;
    if (size < needed) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(data, row.abbreviation, static_cast<size_t>(needed));
    return needed;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

}  // namespace platform
