// The search for a language module beside the program.

#include <cstring>

#include "platform/files.h"
#include "platform/locale.h"
#include "platform/modules.h"
#include "platform/registry.h"
#include "platform/string_tables.h"
#include "runtime/message_text.h"
#include "path_rules.h"

namespace {

// The long form of a path, or the path unchanged when it has none. How the backend finds it is
// its own affair (on Windows: the system's call looked up by name, else one component at a time).
void LongPathForm(const char* path, char (&longPath)[PathBufferSize]) {
  const platform::DWORD length =
      platform::GetLongPathNameA(path, longPath, static_cast<platform::DWORD>(PathBufferSize));
  if (length == 0 || length >= PathBufferSize) {
    std::strncpy(longPath, path, PathBufferSize - 1);
    longPath[PathBufferSize - 1] = '\0';
  }
}

// An abbreviation becomes part of a file name: nothing that leaves the program's directory
// or is not text is taken.
bool UsableAbbreviation(const char* abbreviation) {
  if (abbreviation[0] == '\0') return false;
  for (const char* c = abbreviation; *c != '\0'; c = platform::CharNextA(c)) {
    if (platform::IsPathDelimiter(*c) || *c == '\\' || (platform::DriveColonInPaths && *c == ':') ||
        static_cast<unsigned char>(*c) < 32) {
      return false;
    }
  }
  return std::strcmp(abbreviation, ".") != 0 && std::strcmp(abbreviation, "..") != 0;
}

platform::HMODULE LoadFrom(const char* path, const char* abbreviation, const char* folder) {
  char candidate[PathBufferSize];
  if (!LanguageModuleCandidate(path, abbreviation, candidate, folder)) return 0;
  return platform::LoadLibraryExA(candidate, 0, platform::LOAD_LIBRARY_AS_DATAFILE);
}

// One candidate name: beside the module, then in the data folder of installed modules.
platform::HMODULE LoadCandidate(const char* path, const char* abbreviation) {
  if (const platform::HMODULE module = LoadFrom(path, abbreviation, nullptr)) return module;
  if (platform::LanguageModuleDataFolder == nullptr) return 0;
  return LoadFrom(path, abbreviation, platform::LanguageModuleDataFolder);
}

}  // namespace

bool LanguageModuleCandidate(const char* path, const char* abbreviation,
                             char (&candidate)[PathBufferSize], const char* folder) {
  candidate[0] = '\0';
  if (path == nullptr || abbreviation == nullptr || !UsableAbbreviation(abbreviation)) {
    return false;
  }
  const size_t length = std::strlen(path);
  if (length == 0) return false;
  // Only the file-name part can hold the extension: a "." in a directory name does not count,
  // nor does a leading "." that marks a hidden file.
  size_t nameStart = 0;
  for (const char* c = path; *c != '\0'; c = platform::CharNextA(c)) {
    if (platform::IsPathDelimiter(*c) || (platform::DriveColonInPaths && *c == ':')) {
      nameStart = static_cast<size_t>(c - path) + 1;
    }
  }
  size_t dot = 0;
  bool hasDot = false;
  for (size_t i = nameStart + 1; i < length; ++i) {
    if (path[i] == '.') {
      dot = i;
      hasDot = true;
    }
  }
  size_t baseLength = 0;
  bool addDot = false;
  if (hasDot) {
    baseLength = dot + 1;
  } else if (platform::ProgramFilesCarryExtension) {
    return false;
  } else {
    baseLength = length;
    addDot = true;
  }
  const size_t abbreviationLength = std::strlen(abbreviation);
  const size_t folderLength = folder != nullptr ? std::strlen(folder) : 0;
  if (folderLength + baseLength + (addDot ? 1 : 0) + abbreviationLength >= PathBufferSize) {
    return false;
  }
  // The module's folder, the data folder relative to it, then the module's file name.
  std::memcpy(candidate, path, nameStart);
  size_t pos = nameStart;
  if (folderLength > 0) std::memcpy(candidate + pos, folder, folderLength);
  pos += folderLength;
  std::memcpy(candidate + pos, path + nameStart, baseLength - nameStart);
  pos += baseLength - nameStart;
  if (addDot) candidate[pos++] = '.';
  std::memcpy(candidate + pos, abbreviation, abbreviationLength + 1);
  return true;
}

void ReadLanguageOverride(const char* programPath, char (&languageOverride)[5]) {
  std::memset(languageOverride, 0, sizeof languageOverride);
  static constexpr struct {
    platform::HKEY root;
    const char* subKey;
  } Keys[] = {
      {platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Locales"},
      {platform::HKEY_LOCAL_MACHINE, "Software\\Quenlor\\Locales"},
      {platform::HKEY_CURRENT_USER, "Software\\Quenlor\\Vantro\\Locales"},
  };
  platform::HKEY key = 0;
  bool opened = false;
  for (const auto& candidate : Keys) {
    if (platform::RegOpenKeyExA(candidate.root, candidate.subKey, 0, platform::KEY_READ, &key) ==
        static_cast<platform::LONG>(platform::ERROR_SUCCESS)) {
      opened = true;
      break;
    }
  }
  if (!opened) return;
  char longPath[PathBufferSize] = {};
  if (programPath != nullptr && programPath[0] != '\0') LongPathForm(programPath, longPath);
  auto* data = reinterpret_cast<unsigned char*>(languageOverride);
  platform::DWORD size = sizeof languageOverride;
  if (longPath[0] == '\0' ||
      platform::RegQueryValueExA(key, longPath, nullptr, nullptr, data, &size) !=
          static_cast<platform::LONG>(platform::ERROR_SUCCESS)) {
    std::memset(languageOverride, 0, sizeof languageOverride);
    size = sizeof languageOverride;
    if (platform::RegQueryValueExA(key, "", nullptr, nullptr, data, &size) !=
        static_cast<platform::LONG>(platform::ERROR_SUCCESS)) {
      std::memset(languageOverride, 0, sizeof languageOverride);
    }
  }
  languageOverride[4] = '\0';  // at most 4 characters are used
  platform::RegCloseKey(key);
}

platform::HMODULE LoadLanguageCandidates(const char* path, const char* languageOverride,
                                         const char* languageName) {
  if (path == nullptr || path[0] == '\0') return 0;
  if (languageOverride != nullptr && languageOverride[0] != '\0') {
    if (const platform::HMODULE module = LoadCandidate(path, languageOverride)) return module;
  }
  if (languageName == nullptr || languageName[0] == '\0') return 0;
  if (const platform::HMODULE module = LoadCandidate(path, languageName)) return module;
  if (std::strlen(languageName) <= 2) return 0;  // the two-letter name was the one just tried
  const char twoLetters[3] = {languageName[0], languageName[1], '\0'};
  return LoadCandidate(path, twoLetters);
}

platform::HMODULE FindLanguageModule(const char* path, const char* programPath) {
  char ownPath[PathBufferSize] = {};
  if (programPath == nullptr) {
    const platform::DWORD length =
        platform::GetModuleFileNameA(0, ownPath, static_cast<platform::DWORD>(PathBufferSize));
    if (length == 0 || length >= PathBufferSize) ownPath[0] = '\0';
    programPath = ownPath;
  }
  char languageOverride[5];
  ReadLanguageOverride(programPath, languageOverride);

  if (path == nullptr || std::strlen(path) >= PathBufferSize) return 0;
  char workPath[PathBufferSize];
  std::memcpy(workPath, path, std::strlen(path) + 1);

  char languageName[5] = {};
  if (platform::GetLocaleInfoA(platform::GetThreadLocale(), platform::LOCALE_SABBREVLANGNAME,
                               languageName, sizeof languageName) == 0) {
    languageName[0] = '\0';
  }
  languageName[4] = '\0';

  if (workPath[0] == '\0' || (languageOverride[0] == '\0' && languageName[0] == '\0')) return 0;
  return LoadLanguageCandidates(workPath, languageOverride, languageName);
}
