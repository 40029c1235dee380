#pragma once
// The layout of the volume movie the player carries as a resource: it sets the global sound
// volume and nothing else, and the player patches the volume into it before loading it.

#include <cstddef>

constexpr size_t kSetVolumeSize = 167;
// The 32-bit volume pushed before "soundvolume" is set (little-endian, bytes 99 to 102).
constexpr size_t kSetVolumeValueOffset = 99;
