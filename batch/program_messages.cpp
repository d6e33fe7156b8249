#include "batch/program_messages.h"

#include <cstring>

#include "batch/program_name.h"
#include "numconv/integer_text.h"
#include "platform/console_files.h"
#include "platform/string_tables.h"
#include "runtime/string_ids.h"

namespace batch {

platform::HANDLE StandardOutput = platform::INVALID_HANDLE_VALUE;
platform::HANDLE StandardError = platform::INVALID_HANDLE_VALUE;

bool WriteToHandle(void* context, const char* data, size_t size) {
  const auto handle = *static_cast<platform::HANDLE*>(context);
  while (size > 0) {
    const auto part = static_cast<platform::DWORD>(size < 0x40000000u ? size : 0x40000000u);
    platform::DWORD written = 0;
    if (!platform::WriteFile(handle, data, part, &written)) return false;
    data += part;
    size -= part;
  }
  return true;
}

namespace {

void Say(const char* text) {
  if (StandardError == platform::INVALID_HANDLE_VALUE) return;
  WriteToHandle(&StandardError, text, std::strlen(text));
}

// The run-time's text for a Win32 error of a file: the four that it names, "I/O error N" else.
void ErrorText(platform::DWORD code, char* buffer) {
  switch (code) {
    case platform::ERROR_FILE_NOT_FOUND:
      LoadText(StringIdFileNotFound, buffer);
      return;
    case platform::ERROR_PATH_NOT_FOUND:
      LoadText(StringIdInvalidFilename, buffer);
      return;
    case platform::ERROR_TOO_MANY_OPEN_FILES:
      LoadText(StringIdTooManyOpenFiles, buffer);
      return;
    case platform::ERROR_ACCESS_DENIED:
      LoadText(StringIdFileAccessDenied, buffer);
      return;
    default:
      break;
  }
  char format[TextSize];
  LoadText(StringIdIoError, format);
  const char* conversion = std::strstr(format, "%d");
  if (conversion == nullptr) {
    std::memcpy(buffer, format, TextSize);
    return;
  }
  char number[integertext::MaxDigits];
  const size_t digits = integertext::WriteDecimal(code, number);
  const size_t before = static_cast<size_t>(conversion - format);
  const size_t after = std::strlen(conversion + 2);
  if (before + digits + after >= TextSize) {
    std::memcpy(buffer, format, TextSize);
    return;
  }
  std::memcpy(buffer, format, before);
  std::memcpy(buffer + before, number, digits);
  std::memcpy(buffer + before + digits, conversion + 2, after + 1);
}

// `value`'s digits after the text in `text`.
void AppendDecimal(char* text, uint64_t value) {
  const size_t length = std::strlen(text);
  text[length + integertext::WriteDecimal(value, text + length)] = '\0';
}

}  // namespace

void SayProblem(const char* subject, const char* message) {
  Say(ProgramName);
  Say(": ");
  if (subject != nullptr) {
    Say(subject);
    Say(": ");
  }
  Say(message);
  Say("\n");
}

void LoadText(uint32_t id, char* buffer) {
  if (platform::LoadStringA(0, id, buffer, TextSize) == 0) buffer[0] = '\0';
}

void SayFileProblem(const char* name, platform::DWORD code) {
  char text[TextSize];
  ErrorText(code, text);
  SayProblem(name, text);
}

void SayOutputProblem(const ResultOutput& results) {
  char text[TextSize + 64];
  ErrorText(results.error, text);
  if (results.lineCut) {
    if (results.completeLines == 0) {
      std::strcat(text, "; no result line reached it complete");
    } else {
      std::strcat(text, "; the last complete result line is line ");
      AppendDecimal(text, results.completeLines);
    }
  }
  SayProblem("standard output", text);
}

void UsageError(const char* message, const char* argument) {
  Say(ProgramName);
  Say(": ");
  Say(message);
  if (argument != nullptr) {
    Say(" '");
    Say(argument);
    Say("'");
  }
  Say("\nTry 'framecalc-batch --help' for more information.\n");
  platform::ExitProcess(ExitTrouble);
}

}  // namespace batch
