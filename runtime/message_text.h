// Where the message texts come from: the program's own string table, or a language module
// beside the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32.h"
#include "runtime/translated_text.h"

struct ModuleRecord {
  ModuleRecord* next;
  platform::HMODULE moduleHandle;
  platform::HMODULE codeHandle;
  platform::HMODULE dataHandle;
  platform::HMODULE ResourceHandle;  // the module whose string table answers
  // Whether the language choice has been made. A resource handle of 0 cannot say so: a program
  // linked at load base 0 has module handle 0.
  bool LanguageResolved;
};

// A message names its text by a module and an identifier. Identifiers of 65536 or more are the
// address of a fixed text inside the program.
struct MessageTextRef {
  const platform::HMODULE* module;
  uintptr_t identifier;
};

// Paths are held in buffers of this many characters.
inline constexpr size_t PathBufferSize = 261;
// Message texts are read into a buffer of this many characters.
inline constexpr int MessageTextBufferSize = 1024;

// Registers the program's module (start-up) and removes it again, releasing its language module
// if one was loaded (ExitProgram). Registering the same module twice does nothing.
void RegisterProgramModule(platform::HMODULE module);
void UnregisterProgramModule();

// The text for a reference; an absent reference leaves `destination` untouched.
void LoadMessageText(const MessageTextRef* ref, std::string& destination);
// Convenience: the text of an identifier of the program's own module (the registered one, or
// the program's own table when none is registered).
std::string LoadMessageText(uint32_t identifier);

platform::HMODULE FindMessageModule(platform::HMODULE handle);

// The text of `id` as the program uses it, read into `buffer` (at most bufferSize - 1
// characters and a zero): the entry of the module that FindMessageModule chooses for `module`
// when that is a language module whose entry exists, is not empty and, cut to the buffer, fits
// the program's own text for its use (TranslationFits); otherwise the program's own entry from
// `module`. Returns the length.
int LoadFittingText(platform::HMODULE module, uint32_t id, char* buffer, int bufferSize,
                    TextUse use = TextUse::Message);
platform::HMODULE ResolveLanguageModule(ModuleRecord& record);
// The language module for the module at `path`; the override is looked up under the program's
// path, `programPath` (asked for when null).
platform::HMODULE FindLanguageModule(const char* path, const char* programPath = nullptr);

// The pieces of FindLanguageModule (runtime/language_module.cpp).

// The language named for the program in the configuration (the registry key
// "Software\Quenlor\Locales" of the user, then of the machine, then the key
// "Software\Quenlor\Vantro\Locales" of the user; the value named by the program's long path, else
// the key's default value), cut to at most 4 characters; empty when none is set.
void ReadLanguageOverride(const char* programPath, char (&languageOverride)[5]);

// Builds the candidate file name for `abbreviation` from the module path: the extension of the
// file-name part (after its last ".") is replaced; a file name without an extension gets "."
// and the abbreviation appended where program files carry no extension (Linux), and gives no
// candidate where they do. With a `folder` (relative, ending in a delimiter) the candidate lies
// in that folder relative to the module's own instead of beside the module. False when there is
// no candidate or it does not fit the buffer.
bool LanguageModuleCandidate(const char* path, const char* abbreviation,
                             char (&candidate)[PathBufferSize], const char* folder = nullptr);

// Tries the candidates in order: the override, the full language abbreviation, its first two
// characters; each beside the module, then, where the platform has one, in the data folder of
// installed modules (LanguageModuleDataFolder). Returns the first module that loads, or 0.
platform::HMODULE LoadLanguageCandidates(const char* path, const char* languageOverride,
                                         const char* languageName);
