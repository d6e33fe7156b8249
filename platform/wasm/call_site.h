// Where a call came from, as the address a fault reports. Shared code includes this header as
// "call_site.h" (the build puts the chosen backend's folder on the include path).
//
// WebAssembly code has no addresses that a program can read: its functions are entries of a table
// and its return addresses live in the engine's own stack. A fault raised here carries no address
// (nothing in the module reports one).
#pragma once

#define CALL_SITE() (static_cast<const void*>(nullptr))
