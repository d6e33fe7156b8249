// String tables on POSIX. The program's own table is linked into the image (ImageStringTable);
// a language module is a text file of "identifier = text" lines that LoadLibraryExA reads and
// parses into memory. Its handle is the address of the parsed table; a handle is only ever
// compared with the live tables, never followed blindly.

#include "platform/string_tables.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/console_files.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/posix/small_files.h"
#include "platform/posix/string_resources.h"

namespace platform {
namespace {

struct LanguageEntry {
  UINT id;
  size_t offset;  // into LanguageTable::texts
  size_t length;
};

struct LanguageTable {
  LanguageTable* next;                 // the list of loaded language modules
  std::vector<LanguageEntry> entries;  // sorted by id, one per id
  std::string texts;
};

LanguageTable* LoadedLanguageModules = nullptr;

LanguageTable* LiveLanguageModule(HMODULE handle) {
  for (LanguageTable* table = LoadedLanguageModules; table != nullptr; table = table->next) {
    if (reinterpret_cast<HMODULE>(table) == handle) return table;
  }
  return nullptr;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One line without its line end. Appends the entry's text to `texts` and returns true for a
// well-formed entry; a blank line, a comment or a malformed line leaves `texts` as it was.
bool ParseLine(const char* line, size_t length, UINT& id, std::string& texts) {
  size_t pos = 0;
  while (pos < length && IsBlank(line[pos])) ++pos;
  if (pos == length || line[pos] == '#') return false;

  uint32_t value = 0;
  size_t digits = 0;
  while (pos < length && line[pos] >= '0' && line[pos] <= '9') {
    value = value * 10 + static_cast<uint32_t>(line[pos] - '0');
    if (value > 0xFFFF) return false;  // string-table identifiers are 16-bit
    ++pos;
    ++digits;
  }
  if (digits == 0) return false;
  while (pos < length && IsBlank(line[pos])) ++pos;
  if (pos == length || line[pos] != '=') return false;
  ++pos;
  while (pos < length && IsBlank(line[pos])) ++pos;

  const size_t start = texts.size();
  size_t keep = start;  // length up to the last character that is not an unescaped blank
  while (pos < length) {
    const char c = line[pos++];
    if (c == '\0') {
      texts.resize(start);
      return false;
    }
    if (c != '\\') {
      texts.push_back(c);
      if (!IsBlank(c)) keep = texts.size();
      continue;
    }
    if (pos == length) {
      texts.resize(start);
      return false;
    }
    const char escape = line[pos++];
    switch (escape) {
      case 'r':
        texts.push_back('\r');
        break;
      case 'n':
        texts.push_back('\n');
        break;
      case 't':
        texts.push_back('\t');
        break;
      case '\\':
        texts.push_back('\\');
        break;
      case 'x': {
        const int high = pos < length ? HexDigit(line[pos]) : -1;
        const int low = pos + 1 < length ? HexDigit(line[pos + 1]) : -1;
        // A zero byte cannot be part of a text, written or escaped: the line is malformed.
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
          texts.resize(start);
          return false;
        }
        texts.push_back(static_cast<char>(high * 16 + low));
        pos += 2;
        break;
      }
      default:
        texts.resize(start);
        return false;
    }
    keep = texts.size();
  }
  texts.resize(keep);
  id = value;
  return true;
}

LanguageTable* ParseLanguageModule(const char* data, size_t size) {
  auto* table = new LanguageTable{};
  size_t pos = 0;
  if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) pos = 3;  // UTF-8 byte order mark
  while (pos < size) {
    const void* found = std::memchr(data + pos, '\n', size - pos);
    const size_t end =
        found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - data) : size;
    size_t lineLength = end - pos;
    if (lineLength > 0 && data[pos + lineLength - 1] == '\r') --lineLength;
    const size_t offset = table->texts.size();
    UINT id = 0;
    if (ParseLine(data + pos, lineLength, id, table->texts)) {
      table->entries.push_back(LanguageEntry{id, offset, table->texts.size() - offset});
    }
    pos = end + 1;
  }
  if (table->entries.empty()) {
    delete table;
    return nullptr;
  }
  // A later line for the same identifier replaces an earlier one.
  std::stable_sort(table->entries.begin(), table->entries.end(),
                   [](const LanguageEntry& a, const LanguageEntry& b) { return a.id < b.id; });
  std::vector<LanguageEntry> unique;
  unique.reserve(table->entries.size());
  for (const LanguageEntry& entry : table->entries) {
    if (!unique.empty() && unique.back().id == entry.id) {
      unique.back() = entry;
    } else {
      unique.push_back(entry);
    }
  }
  table->entries.swap(unique);
  return table;
}

HMODULE AddLanguageModule(LanguageTable* table) {
  table->next = LoadedLanguageModules;
  LoadedLanguageModules = table;
  return reinterpret_cast<HMODULE>(table);
}

const char* ImageText(UINT id) {
  for (size_t i = 0; i < ImageStringTableSize; ++i) {
    if (ImageStringTable[i].id == id) return ImageStringTable[i].text;
  }
  return nullptr;
}

int CopyText(const char* text, size_t length, char* buffer, int bufferMax) {
  const size_t count = std::min(length, static_cast<size_t>(bufferMax) - 1);
  std::memcpy(buffer, text, count);
  buffer[count] = '\0';
  return static_cast<int>(count);
}

}  // namespace

int LoadStringA(HINSTANCE module, UINT id, char* buffer, int bufferMax) {
  if (buffer == nullptr || bufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  buffer[0] = '\0';
  if (const LanguageTable* table = LiveLanguageModule(module)) {
    const auto found =
        std::lower_bound(table->entries.begin(), table->entries.end(), id,
                         [](const LanguageEntry& entry, UINT key) { return entry.id < key; });
    if (found == table->entries.end() || found->id != id || found->length == 0) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return 0;
    }
    return CopyText(table->texts.data() + found->offset, found->length, buffer, bufferMax);
  }
  if (module != 0 && module != GetModuleHandleA(nullptr)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const char* own = ImageText(id);
  if (own == nullptr || own[0] == '\0') {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  return CopyText(own, std::strlen(own), buffer, bufferMax);
}

HMODULE LoadLanguageModuleFromMemory(const char* data, size_t size) {
  if (data == nullptr || size > MaxLanguageModuleFileSize) return 0;
  try {
    LanguageTable* table = ParseLanguageModule(data, size);
    return table != nullptr ? AddLanguageModule(table) : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

HMODULE LoadLibraryExA(const char* fileName, HANDLE reserved, DWORD flags) {
  if (fileName == nullptr || fileName[0] == '\0' || reserved != 0 ||
      (flags & LOAD_LIBRARY_AS_DATAFILE) == 0) {
    // Nothing but data is ever loaded.
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string contents;
  if (!posix_detail::ReadSmallFile(fileName, MaxLanguageModuleFileSize, contents)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  const HMODULE handle = LoadLanguageModuleFromMemory(contents.data(), contents.size());
  if (handle == 0) SetLastError(ERROR_BAD_EXE_FORMAT);
  return handle;
}

BOOL FreeLibrary(HMODULE module) {
  for (LanguageTable** link = &LoadedLanguageModules; *link != nullptr; link = &(*link)->next) {
    if (reinterpret_cast<HMODULE>(*link) == module) {
      LanguageTable* table = *link;
      *link = table->next;
      delete table;
      return TRUE_;
    }
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE_;
}

void* GetProcAddress(HMODULE, const char*) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return nullptr;
}

}  // namespace platform
