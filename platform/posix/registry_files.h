// The files that stand for the registry on POSIX:
// ${XDG_CONFIG_HOME:-$HOME/.config}/quenlor/registry for HKEY_CURRENT_USER and
// /etc/quenlor/registry for HKEY_LOCAL_MACHINE (format: docs/language-modules.md).
#pragma once

namespace platform {

// Test substitution: the files that stand for HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE. A null
// path selects the usual place; an empty path stands for no file.
void SetRegistryFiles(const char* currentUser, const char* localMachine);

}  // namespace platform
