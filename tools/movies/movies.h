#pragma once
// The small movies the viewer carries as resources, written field by field.
//
// SETVOLUME sets the global sound volume and nothing else; the player patches the volume at
// kSetVolumeValueOffset before loading it. FLVPLAYBACK and the three skins are placeholders for
// the playback component and its skins: valid compressed movies with the right stage, rate and
// frame count whose only action records what they stand for.

#include <cstdint>
#include <string>

constexpr size_t kSetVolumeSize = 167;
// The 32-bit volume pushed before "soundvolume" is set (little-endian, bytes 99 to 102).
constexpr size_t kSetVolumeValueOffset = 99;

// Uncompressed movie, version 6, 167 bytes, volume 85.
std::string SetVolumeMovie();

// A compressed movie (version 8, 550 x 400, 12 frames per second, 2 frames) whose action sets
// the variable "role" to role.
std::string PlaceholderMovie(const std::string& role);
