// The registered modules and the loading of message texts through them.

#include "runtime/message_text.h"

#include "platform/modules.h"
#include "platform/string_tables.h"
#include "runtime/translated_text.h"

namespace {

// The list of registered modules; the program registers exactly one, its own.
ModuleRecord* ModuleList = nullptr;
ModuleRecord ProgramModuleRecord{};

}  // namespace

void RegisterProgramModule(platform::HMODULE module) {
  for (const ModuleRecord* record = ModuleList; record != nullptr; record = record->next) {
    if (record == &ProgramModuleRecord) return;
  }
  ProgramModuleRecord = ModuleRecord{ModuleList, module, module, module, 0, false};
  ModuleList = &ProgramModuleRecord;
}

void UnregisterProgramModule() {
  for (ModuleRecord** link = &ModuleList; *link != nullptr; link = &(*link)->next) {
    if (*link != &ProgramModuleRecord) continue;
    *link = ProgramModuleRecord.next;
    ProgramModuleRecord.next = nullptr;
    const platform::HMODULE resource = ProgramModuleRecord.ResourceHandle;
    const bool resolved = ProgramModuleRecord.LanguageResolved;
    ProgramModuleRecord.ResourceHandle = 0;
    ProgramModuleRecord.LanguageResolved = false;
    if (resolved && resource != ProgramModuleRecord.moduleHandle) {
      platform::FreeLibrary(resource);
    }
    return;
  }
}

void LoadMessageText(const MessageTextRef* ref, std::string& destination) {
  if (ref == nullptr || ref->module == nullptr) return;
  if (ref->identifier >= 0x10000) {
    // Not a table identifier: the address of a fixed text of the program.
    destination = reinterpret_cast<const char*>(ref->identifier);
    return;
  }
  char buffer[MessageTextBufferSize];
  const int length = LoadFittingText(*ref->module, static_cast<uint32_t>(ref->identifier), buffer,
                                     MessageTextBufferSize);
  destination.assign(buffer, static_cast<size_t>(length));
}

std::string LoadMessageText(uint32_t identifier) {
  std::string text;
  if (identifier >= 0x10000) return text;
  const platform::HMODULE module = ModuleList != nullptr ? ModuleList->moduleHandle : 0;
  const MessageTextRef ref{&module, identifier};
  LoadMessageText(&ref, text);
  return text;
}

platform::HMODULE FindMessageModule(platform::HMODULE handle) {
  for (ModuleRecord* record = ModuleList; record != nullptr; record = record->next) {
    if (handle == record->moduleHandle || handle == record->codeHandle ||
        handle == record->dataHandle) {
      return ResolveLanguageModule(*record);
    }
  }
  return handle;
}

int LoadFittingText(platform::HMODULE module, uint32_t id, char* buffer, int bufferSize,
                    TextUse use) {
  if (buffer == nullptr || bufferSize <= 0) return 0;
  buffer[0] = '\0';
  const auto tableId = static_cast<platform::UINT>(id);
  const platform::HMODULE chosen = FindMessageModule(module);
  if (chosen != module) {
    const int length = platform::LoadStringA(chosen, tableId, buffer, bufferSize);
    if (length > 0) {
      // The translation as it will be used, cut to the buffer, against the program's own text.
      char own[MessageTextBufferSize];
      const int ownLength = platform::LoadStringA(module, tableId, own, MessageTextBufferSize);
      if (TranslationFits(std::string_view(own, ownLength > 0 ? static_cast<size_t>(ownLength) : 0),
                          std::string_view(buffer, static_cast<size_t>(length)), use)) {
        return length;
      }
    }
  }
  // The program's own text: for an entry the language module lacks, holds empty or cannot fit.
  const int length = platform::LoadStringA(module, tableId, buffer, bufferSize);
  if (length <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

platform::HMODULE ResolveLanguageModule(ModuleRecord& record) {
  if (record.LanguageResolved) return record.ResourceHandle;
  char path[PathBufferSize] = {};
  const platform::DWORD length = platform::GetModuleFileNameA(
      record.moduleHandle, path, static_cast<platform::DWORD>(PathBufferSize));
  // A name that filled the whole buffer was cut: no language module is looked for under it.
  if (length == 0 || length >= PathBufferSize) path[0] = '\0';
  // The program's own record already holds the program's path, under which the override is
  // looked up: it is not asked for twice.
  const bool isProgram = record.moduleHandle == platform::GetModuleHandleA(nullptr);
  const platform::HMODULE found =
      path[0] != '\0' ? FindLanguageModule(path, isProgram ? path : nullptr) : 0;
  record.ResourceHandle = found != 0 ? found : record.moduleHandle;
  record.LanguageResolved = true;
  return record.ResourceHandle;
}
