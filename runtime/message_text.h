// Where the message texts come from: the program's own string table, or a language module
// beside the program.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

struct ModuleRecord {
  ModuleRecord* next;
  platform::HMODULE moduleHandle;
  platform::HMODULE codeHandle;
  platform::HMODULE dataHandle;
  platform::HMODULE ResourceHandle;  // the module whose string table answers; 0 until first use
};

// A message names its text by a module and an identifier. Identifiers of 65536 or more are the
// address of a fixed text inside the program.
struct MessageTextRef {
  const platform::HMODULE* module;
  uintptr_t identifier;
};

// Registers the program's module (start-up) and removes it again, releasing its language module
// if one was loaded (ExitProgram).
void RegisterProgramModule(platform::HMODULE module);
void UnregisterProgramModule();

// The text for a reference; an absent reference leaves `destination` untouched.
void LoadMessageText(const MessageTextRef* ref, std::string& destination);
// Convenience: the text of an identifier of the program's own module.
std::string LoadMessageText(uint32_t identifier);

platform::HMODULE FindMessageModule(platform::HMODULE handle);
platform::HMODULE ResolveLanguageModule(ModuleRecord& record);
platform::HMODULE FindLanguageModule(const char* path);
