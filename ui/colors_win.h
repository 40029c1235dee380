#pragma once
// Framework colours as the system's RGB values.

#include <cstdint>

#include "ui/colors.h"

// 0x00BBGGRR: system colours resolved through the current colour scheme, other colours as they
// are.
uint32_t ColorToRGB(TColor color);
