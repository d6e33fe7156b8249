// The registry on POSIX: one configuration file per hive. As Windows loads a hive once and
// keeps it, a hive's file is read when a key of the hive is first opened and kept for the run (a
// missing file stays missing); only a change of the file's place (XDG_CONFIG_HOME, HOME) reads
// it again.
//
//   # comment (also ";")
//   [Software\Quenlor\Locales]
//   "/usr/local/bin/framecalc"=DEU
//   @=ENG
//   [SOFTWARE\Quenlor\Vantro\RTL]
//   "FPUMaskValue"=dword:0000003f
//
// A value name is "@" (the default value), a quoted name ("\\" and "\"" escape a backslash and
// a quote) or a bare name up to the "=". Data is dword:HEX (REG_DWORD, up to 8 digits),
// hex:HH,HH,... (REG_BINARY), a quoted string or the bare rest of the line (REG_SZ, stored with
// its terminating zero). Lines that fit none of these are skipped; a later value of the same
// name replaces an earlier one.

#include "platform/registry.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/console_files.h"
#include "platform/files.h"
#include "platform/posix/registry_files.h"
#include "platform/posix/small_files.h"

namespace platform {
namespace {

constexpr size_t MaxRegistryFileSize = 1024 * 1024;

struct RegistryValue {
  std::string name;
  DWORD type;
  std::string data;
};

struct OpenKey {
  OpenKey* next;
  HKEY hive;
  std::string path;
  std::vector<RegistryValue> values;
};

OpenKey* OpenKeys = nullptr;

bool CurrentUserOverridden = false;
std::string CurrentUserFile;
bool LocalMachineOverridden = false;
std::string LocalMachineFile;

// What a hive's file held when it was read, and which file that was. A hive without a file (no
// HOME) matches the empty snapshot: there is nothing to read.
struct HiveSnapshot {
  bool present = false;
  std::string file;
  std::string contents;
};
HiveSnapshot CurrentUserHive;
HiveSnapshot LocalMachineHive;

OpenKey* LiveKey(HKEY key) {
  for (OpenKey* open = OpenKeys; open != nullptr; open = open->next) {
    if (reinterpret_cast<HKEY>(open) == key) return open;
  }
  return nullptr;
}

std::string HiveFile(HKEY hive) {
  if (hive == HKEY_LOCAL_MACHINE) {
    return LocalMachineOverridden ? LocalMachineFile : std::string("/etc/quenlor/registry");
  }
  if (CurrentUserOverridden) return CurrentUserFile;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/quenlor/registry";
  // A relative place would depend on the folder the program happens to start in: like a
  // relative XDG_CONFIG_HOME, a relative HOME names no file.
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/quenlor/registry";
  return std::string();
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string LowerName(const std::string& name) {
  std::string lower(name);
  for (char& c : lower) c = Lower(c);
  return lower;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// "key" names the key itself or one of its sub-keys ("a\b" lies below "A").
bool SameOrBelow(const std::string& section, const std::string& key) {
  if (section.size() < key.size()) return false;
  if (!SameName(section.substr(0, key.size()), key)) return false;
  return section.size() == key.size() || key.empty() || section[key.size()] == '\\';
}

std::string Trim(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
  while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
  return text.substr(first, last - first);
}

// Key paths are compared without leading or trailing backslashes.
std::string KeyPath(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && text[first] == '\\') ++first;
  while (last > first && text[last - 1] == '\\') --last;
  return text.substr(first, last - first);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A quoted text starting at text[pos] == '"'; pos ends after the closing quote.
bool Quoted(const std::string& text, size_t& pos, std::string& result) {
  result.clear();
  ++pos;
  while (pos < text.size()) {
    char c = text[pos++];
    if (c == '"') return true;
    if (c == '\\') {
      if (pos == text.size()) return false;
      c = text[pos++];
      if (c != '\\' && c != '"') return false;
    }
    result.push_back(c);
  }
  return false;
}

bool ParseData(const std::string& text, RegistryValue& value) {
  if (text.size() > 6 && SameName(text.substr(0, 6), "dword:")) {
    const std::string digits = Trim(text.substr(6));
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t number = 0;
    for (char c : digits) {
      const int digit = HexDigit(c);
      if (digit < 0) return false;
      number = number * 16 + static_cast<uint32_t>(digit);
    }
    value.type = REG_DWORD;
    value.data.clear();
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
    return true;
  }
  if (text.size() >= 4 && SameName(text.substr(0, 4), "hex:")) {
    value.type = REG_BINARY;
    value.data.clear();
    size_t pos = 4;
    while (pos < text.size()) {
      while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
      if (pos == text.size()) break;
      const int high = HexDigit(text[pos]);
      const int low = pos + 1 < text.size() ? HexDigit(text[pos + 1]) : -1;
      if (high < 0 || low < 0) return false;
      value.data.push_back(static_cast<char>(high * 16 + low));
      pos += 2;
      while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
      if (pos < text.size() && text[pos] != ',') return false;
      ++pos;
    }
    return true;
  }
  value.type = REG_SZ;
  if (!text.empty() && text[0] == '"') {
    size_t pos = 0;
    if (!Quoted(text, pos, value.data) || !Trim(text.substr(pos)).empty()) return false;
  } else {
    value.data = text;
  }
  if (value.data.find('\0') != std::string::npos) return false;
  value.data.push_back('\0');
  return true;
}

bool ParseValueLine(const std::string& line, RegistryValue& value) {
  size_t pos = 0;
  if (line[0] == '@') {
    value.name.clear();
    pos = 1;
  } else if (line[0] == '"') {
    if (!Quoted(line, pos, value.name)) return false;
  } else {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    value.name = Trim(line.substr(0, equals));
    if (value.name.empty()) return false;
    pos = equals;
  }
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos == line.size() || line[pos] != '=') return false;
  return ParseData(Trim(line.substr(pos + 1)), value);
}

// The hive's file, whole, read at the first call for that file; null when there is none.
const std::string* ReadHive(HKEY hive) {
  HiveSnapshot& snapshot = hive == HKEY_LOCAL_MACHINE ? LocalMachineHive : CurrentUserHive;
  std::string file = HiveFile(hive);
  if (file != snapshot.file) {
    snapshot.present = !file.empty() && posix_detail::ReadSmallFile(
                                            file.c_str(), MaxRegistryFileSize, snapshot.contents);
    if (!snapshot.present) snapshot.contents.clear();
    snapshot.file = std::move(file);
  }
  return snapshot.present ? &snapshot.contents : nullptr;
}

// Whether `path` exists in the hive's file, and the values of exactly that key.
bool ReadKey(const std::string& contents, const std::string& path,
             std::vector<RegistryValue>& values) {
  bool exists = false;
  bool inKey = false;
  std::unordered_map<std::string, size_t> indexOfName;  // into `values`
  size_t pos = 0;
  if (contents.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  while (pos < contents.size()) {
    size_t end = contents.find('\n', pos);
    if (end == std::string::npos) end = contents.size();
    size_t lineEnd = end;
    if (lineEnd > pos && contents[lineEnd - 1] == '\r') --lineEnd;
    const std::string line = Trim(contents.substr(pos, lineEnd - pos));
    pos = end + 1;
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') {
        inKey = false;
        continue;
      }
      const std::string section = KeyPath(Trim(line.substr(1, line.size() - 2)));
      inKey = SameName(section, path);
      if (SameOrBelow(section, path)) exists = true;
      continue;
    }
    if (!inKey) continue;
    RegistryValue value;
    if (!ParseValueLine(line, value)) continue;
    // A later line for a name replaces the earlier one in its place. Names are found by their
    // lower-case form, so that a key of any size is read in one pass.
    const auto [known, added] = indexOfName.try_emplace(LowerName(value.name), values.size());
    if (added) {
      values.push_back(std::move(value));
    } else {
      values[known->second] = std::move(value);
    }
  }
  return exists;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, DWORD, HKEY* result) {
  if (result == nullptr) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  *result = 0;
  HKEY hive = key;
  std::string path;
  if (const OpenKey* parent = LiveKey(key)) {
    hive = parent->hive;
    path = parent->path;
  } else if (key != HKEY_CURRENT_USER && key != HKEY_LOCAL_MACHINE) {
    return static_cast<LONG>(ERROR_INVALID_HANDLE);
  }
  try {
    // A hive without a file holds no key: nothing more to look at.
    const std::string* contents = ReadHive(hive);
    if (contents == nullptr) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    const std::string sub = KeyPath(subKey != nullptr ? subKey : "");
    if (!sub.empty()) path = path.empty() ? sub : path + "\\" + sub;
    auto* open = new OpenKey{nullptr, hive, path, {}};
    if (!ReadKey(*contents, path, open->values)) {
      delete open;
      return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    }
    open->next = OpenKeys;
    OpenKeys = open;
    *result = reinterpret_cast<HKEY>(open);
    return static_cast<LONG>(ERROR_SUCCESS);
  } catch (const std::bad_alloc&) {
    return static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
  }
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, unsigned char* data,
                      DWORD* dataSize) {
  const OpenKey* open = LiveKey(key);
  if (open == nullptr) return static_cast<LONG>(ERROR_INVALID_HANDLE);
  if (data != nullptr && dataSize == nullptr) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  const std::string name = valueName != nullptr ? valueName : "";
  for (const RegistryValue& value : open->values) {
    if (!SameName(value.name, name)) continue;
    if (type != nullptr) *type = value.type;
    const DWORD size = static_cast<DWORD>(value.data.size());
    if (data != nullptr && *dataSize < size) {
      *dataSize = size;
      return static_cast<LONG>(ERROR_MORE_DATA);
    }
    if (data != nullptr) std::memcpy(data, value.data.data(), size);
    if (dataSize != nullptr) *dataSize = size;
    return static_cast<LONG>(ERROR_SUCCESS);
  }
  return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE)
    return static_cast<LONG>(ERROR_SUCCESS);
  for (OpenKey** link = &OpenKeys; *link != nullptr; link = &(*link)->next) {
    if (reinterpret_cast<HKEY>(*link) == key) {
      OpenKey* open = *link;
      *link = open->next;
      delete open;
      return static_cast<LONG>(ERROR_SUCCESS);
    }
  }
  return static_cast<LONG>(ERROR_INVALID_HANDLE);
}

void SetRegistryFiles(const char* currentUser, const char* localMachine) {
  CurrentUserOverridden = currentUser != nullptr;
  CurrentUserFile = currentUser != nullptr ? currentUser : "";
  LocalMachineOverridden = localMachine != nullptr;
  LocalMachineFile = localMachine != nullptr ? localMachine : "";
  CurrentUserHive = HiveSnapshot{};
  LocalMachineHive = HiveSnapshot{};
}

}  // namespace platform
