#include "runtime/exception_report.h"

#include <cstring>
#include <string>

#include "platform/console_files.h"
#include "platform/modules.h"
#include "platform/string_tables.h"
#include "platform/system.h"
#include "runtime/exception_support.h"
#include "numconv/fpu_control.h"
#include "runtime/lifetime.h"
#include "runtime/message_text.h"
#include "runtime/string_ids.h"
#include "textio/text_stream.h"

namespace {

constexpr int TemplateBufferSize = 256;
constexpr uintptr_t CodeSectionOffset = 4096;

}  // namespace

uintptr_t ReportAddressOf(const void* address, char* path, size_t pathSize) {
  const auto size = static_cast<platform::DWORD>(pathSize);
  platform::MEMORY_BASIC_INFORMATION region{};
  if (platform::VirtualQuery(address, &region, sizeof region) != 0 &&
      region.State == platform::MEM_COMMIT &&
      platform::GetModuleFileNameA(reinterpret_cast<platform::HMODULE>(region.AllocationBase), path,
                                   size) != 0) {
    return reinterpret_cast<uintptr_t>(address) -
           reinterpret_cast<uintptr_t>(region.AllocationBase);
  }
  if (platform::GetModuleFileNameA(ProgramModule, path, size) == 0 && pathSize > 0) path[0] = '\0';
  const auto value = reinterpret_cast<uintptr_t>(address);
  return value == 0 ? 0 : value - CodeSectionOffset;
}

size_t FormatExceptionReport(TObject* object, const void* address, char* buffer, size_t limit) {
  char path[ModulePathBufferSize];
  const uintptr_t reportAddress = ReportAddressOf(address, path, sizeof path);
  const std::string moduleName = ModuleNameOfPath(path, false);

  std::string_view messagePart;
  if (IsInstanceOf<Exception>(object)) {
    const std::string& message = static_cast<Exception*>(object)->Message();
    messagePart = std::string_view(message.c_str());  // up to its first zero character
  }
  const char* endPart = !messagePart.empty() && messagePart.back() != '.' ? "." : "";

  char reportTemplate[TemplateBufferSize];
  const int templateLength = LoadFittingText(ProgramModule, StringIdExceptionReport, reportTemplate,
                                             TemplateBufferSize, TextUse::ReportTemplate);
  const std::string_view templateText(reportTemplate, static_cast<size_t>(templateLength));

  const std::string text =
      FormatText(templateText, {object != nullptr ? object->ClassName() : "", moduleName,
                                FormatArg::Address(reportAddress), messagePart, endPart});
  const size_t length = text.size() < limit ? text.size() : limit;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return length;
}

void WriteExceptionReport(TObject* object, const void* address) {
  char text[ExceptionReportLimit + 1];
  const size_t length = FormatExceptionReport(object, address, text, ExceptionReportLimit);
  FlushTextStream(ConsoleOutput);
  CheckIoResult();
  platform::CharToOemA(text, text);
  const platform::HANDLE standardError = platform::GetStdHandle(platform::STD_ERROR_HANDLE);
  platform::DWORD written = 0;
  platform::WriteFile(standardError, text, static_cast<platform::DWORD>(length), &written);
  platform::WriteFile(standardError, "\r\n", 2, &written);
}

void ReportUnhandledException(TObject* object, const void* address) {
  WriteExceptionReport(object, address);
  ExitProgram(1, nullptr);
}

int OutermostHandler(platform::EXCEPTION_RECORD& record) {
  if ((record.ExceptionFlags & (platform::EXCEPTION_UNWINDING | platform::EXCEPTION_EXIT_UNWIND)) !=
      0) {
    return 0;
  }
  // The platform's last word first: a debugger may take the exception over.
  if (platform::UnhandledExceptionFilter(record) == platform::EXCEPTION_CONTINUE_SEARCH) return 0;
  ResetFpu();
  // The frames above have been unwound already: the exception reached the outermost frame.
  TObject* object;
  const void* address;
  if (record.ExceptionCode == ObjectExceptionStatus) {
    object = reinterpret_cast<TObject*>(record.ExceptionInformation[1]);
    address = reinterpret_cast<const void*>(record.ExceptionInformation[0]);
  } else {
    if (FaultObjectHook == nullptr) FaultToRuntimeError(&record);
    object = FaultObjectHook(&record);
    if (object == nullptr) FaultToRuntimeError(&record);
    address = record.ExceptionAddress;
  }
  if (UnhandledExceptionHook != nullptr) UnhandledExceptionHook(object, address);
  ExitProgram(217, address);
}
