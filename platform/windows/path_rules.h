// How paths are spelt on Windows. Shared code includes this header as "path_rules.h"; the build
// puts the chosen backend's folder on the include path.
#pragma once

namespace platform {

// Either slash separates directories; a drive's colon ends its name.
inline constexpr bool IsPathDelimiter(char c) { return c == '\\' || c == '/' || c == ':'; }
// Program files carry an extension (".EXE") that a language abbreviation replaces.
inline constexpr bool ProgramFilesCarryExtension = true;

}  // namespace platform
