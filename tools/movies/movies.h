#pragma once
// The small movies the viewer carries as resources, written field by field.
//
// SETVOLUME is written to the layout the player patches (qel_flash_volume_movie.h). FLVPLAYBACK and
// the three skins are placeholders for the playback component and its skins: valid compressed
// movies with the right stage, rate and frame count whose only action records what they stand for.

#include <cstdint>
#include <string>

#include "qel/player/qel_flash_volume_movie.h"

// Uncompressed movie, version 6, 167 bytes, volume 85.
std::string SetVolumeMovie();

// A compressed movie (version 8, 550 x 400, 12 frames per second, 2 frames) whose action sets
// the variable "role" to role.
std::string PlaceholderMovie(const std::string& role);
