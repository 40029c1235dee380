#include "ui/colors.h"

#include <windows.h>

uint32_t ColorToRGB(TColor color) {
    if (color & kSystemColorFlag)
        return GetSysColor(color & 0xFF);
    return static_cast<uint32_t>(color) & 0x00FFFFFF;
}
