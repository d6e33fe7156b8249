// How the run-time shows code addresses on this platform. Shared code includes this header as
// "address_rules.h"; the build puts the chosen backend's folder on the include path.
#pragma once

namespace platform {

// Whether the "Runtime error" message shows an address as it is. Not here: a 64-bit address
// does not fit the message's 8 digits, so an address inside a mapped region is shown relative
// to the region's base (its module's load base for code).
inline constexpr bool RuntimeErrorShowsAbsoluteAddress = false;

}  // namespace platform
