// How the run-time shows code addresses on this platform. Shared code includes this header as
// "address_rules.h"; the build puts the chosen backend's folder on the include path.
#pragma once

namespace platform {

// Whether the "Runtime error" message shows an address as it is: yes, the 32-bit address itself
// (the image is loaded at its preferred base, so a code address reads as in the map file).
inline constexpr bool RuntimeErrorShowsAbsoluteAddress = true;

}  // namespace platform
