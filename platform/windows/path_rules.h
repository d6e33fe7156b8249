// How paths are spelt on Windows. Shared code includes this header as "path_rules.h"; the build
// puts the chosen backend's folder on the include path.
#pragma once

namespace platform {

// Either slash separates directories.
inline constexpr bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }
// A ":" ends a drive name in front of a path ("C:framecalc.exe").
inline constexpr bool DriveColonInPaths = true;
// Program files carry an extension (".EXE") that a language abbreviation replaces.
inline constexpr bool ProgramFilesCarryExtension = true;
// Language modules lie beside the program only: no other folder is searched.
inline constexpr const char* LanguageModuleDataFolder = nullptr;

}  // namespace platform
