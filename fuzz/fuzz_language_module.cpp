// Fuzz target for the language module parser. The input bytes are the contents of a module file.
// Checked for every input:
//   - parsing never crashes nor reads or writes out of bounds (AddressSanitizer);
//   - the module loads exactly when an independent model of the line format finds at least one
//     well-formed entry, and answers every identifier with the model's text (the last line for
//     an identifier wins), except that a text the program formats may be answered with the
//     program's own text when the translation's conversions do not fit;
//   - LoadStringA copies at most bufferMax - 1 characters, always terminates, and reports the
//     count it copied;
//   - after FreeLibrary the handle answers nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "platform/console_files.h"
#include "platform/modules.h"
#include "platform/string_tables.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/string_resources.h"

// The target links the parser alone: the few calls it makes into the rest of the platform.
namespace platform {
HMODULE GetModuleHandleA(const char*) { return 0x400000; }
void SetLastError(DWORD) {}
DWORD Win32ErrorFromErrno(int) { return ERROR_GEN_FAILURE; }  // for CreateFileA in files.cpp
}  // namespace platform

namespace {

// The model: line by line, written independently of the parser.
std::optional<std::pair<unsigned, std::string>> ModelLine(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos || line[first] == '#') return std::nullopt;
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return std::nullopt;
  const size_t idEnd = line.find_last_not_of(" \t", equals - 1 < line.size() ? equals - 1 : 0);
  if (equals == 0 || idEnd == std::string::npos || idEnd < first) return std::nullopt;
  const std::string digits = line.substr(first, idEnd - first + 1);
  if (digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const std::string trimmedDigits =
      digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
  if (trimmedDigits.size() > 5 || (trimmedDigits.size() == 5 && trimmedDigits > "65535")) {
    return std::nullopt;
  }
  const unsigned id = trimmedDigits.empty() ? 0u : static_cast<unsigned>(std::stoul(trimmedDigits));
  std::string raw = line.substr(equals + 1);
  if (raw.find('\0') != std::string::npos) return std::nullopt;
  raw.erase(0, std::min(raw.find_first_not_of(" \t"), raw.size()));
  std::string text;
  size_t significant = 0;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      text += raw[i];
      if (raw[i] != ' ' && raw[i] != '\t') significant = text.size();
      continue;
    }
    if (i + 1 >= raw.size()) return std::nullopt;
    const char e = raw[++i];
    if (e == 'r')
      text += '\r';
    else if (e == 'n')
      text += '\n';
    else if (e == 't')
      text += '\t';
    else if (e == '\\')
      text += '\\';
    else if (e == 'x' && i + 2 < raw.size() + 0 &&
             std::isxdigit(static_cast<unsigned char>(raw[i + 1])) &&
             std::isxdigit(static_cast<unsigned char>(raw[i + 2]))) {
      text += static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      return std::nullopt;
    }
    significant = text.size();
  }
  // A zero byte is no character of a text, escaped or not: the line is malformed.
  if (text.find('\0') != std::string::npos) return std::nullopt;
  text.resize(significant);
  return std::make_pair(id, text);
}

std::string ImageTextOf(unsigned id) {
  for (size_t i = 0; i < platform::ImageStringTableSize; ++i) {
    if (platform::ImageStringTable[i].id == id) return platform::ImageStringTable[i].text;
  }
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  std::map<unsigned, std::string> model;
  size_t pos = size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  while (pos < size) {
    const char* end = static_cast<const char*>(std::memchr(text + pos, '\n', size - pos));
    const size_t lineEnd = end != nullptr ? static_cast<size_t>(end - text) : size;
    if (auto entry = ModelLine(std::string(text + pos, lineEnd - pos))) {
      model[entry->first] = entry->second;
    }
    pos = lineEnd + 1;
  }

  const platform::HMODULE module = platform::LoadLanguageModuleFromMemory(text, size);
  if ((module != 0) != !model.empty()) __builtin_trap();
  if (module == 0) return 0;

  static char buffer[70000];
  for (const auto& [id, expected] : model) {
    const int length = platform::LoadStringA(module, id, buffer, static_cast<int>(sizeof buffer));
    const std::string answered(buffer, static_cast<size_t>(length));
    if (buffer[length] != '\0') __builtin_trap();
    const std::string own = ImageTextOf(id);
    const bool ownIsFormat = own.find('%') != std::string::npos;
    if (answered != expected && !(ownIsFormat && answered == own)) __builtin_trap();
    for (int small : {1, 2, 7}) {
      std::memset(buffer, 'Z', 16);
      const int cut = platform::LoadStringA(module, id, buffer, small);
      if (cut < 0 || cut > small - 1 || buffer[cut] != '\0' || buffer[small] != 'Z')
        __builtin_trap();
      if (std::memcmp(buffer, answered.data(), static_cast<size_t>(cut)) != 0) __builtin_trap();
    }
  }
  if (model.find(65535) == model.end() && platform::LoadStringA(module, 65535, buffer, 16) != 0) {
    __builtin_trap();
  }
  if (platform::FreeLibrary(module) != platform::TRUE_) __builtin_trap();
  if (!model.empty() && platform::LoadStringA(module, model.begin()->first, buffer, 16) != 0) {
    __builtin_trap();
  }
  return 0;
}
