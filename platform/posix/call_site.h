// Where a call came from, as the address a fault reports. Shared code includes this header as
// "call_site.h" (the build puts the chosen backend's folder on the include path): the software
// extended arithmetic names the place just after the call of a failing operation with it.
#pragma once

// The return address of the function that uses it: the place just after its call.
#define CALL_SITE() (__builtin_extract_return_addr(__builtin_return_address(0)))
