// How paths are spelt on this platform. Shared code includes this header as "path_rules.h"; the
// build puts the chosen backend's folder on the include path.
#pragma once

namespace platform {

// The separator of directories in a path: "/" only ("frame\\calc" is one file name).
inline constexpr bool IsPathDelimiter(char c) { return c == '/'; }
// Whether a ":" ends a drive name in front of a path (as in "C:framecalc.exe"). Not on POSIX,
// where it is an ordinary character of a file name.
inline constexpr bool DriveColonInPaths = false;
// Whether program files carry an extension (".EXE") that a language abbreviation replaces.
// They do not on POSIX: there the abbreviation is appended to the program's file name.
inline constexpr bool ProgramFilesCarryExtension = false;
// Where installed language modules lie, relative to the program's folder: each candidate name is
// tried beside the program first, then in this folder (/usr/bin/framecalc looks for
// /usr/bin/framecalc.DEU, then /usr/bin/../share/framecalc/framecalc.DEU), so that a packaged
// program finds its modules without files among the programs.
inline constexpr const char* LanguageModuleDataFolder = "../share/framecalc/";

}  // namespace platform
