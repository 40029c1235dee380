#pragma once
// Counts the Windows tests make of what they saw: pixels of a value, lines of a log.

#include <string>
#include <vector>

#include "qel/host/qel_bitmap_win.h"

// How many pixels of the bitmap hold exactly value.
inline int CountOf(const TqelBitmap& bitmap, TqelColor value) {
    GdiFlush();
    int n = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            n += *bitmap.PixelAddress(x, y) == value;
    return n;
}

// How many lines start with prefix.
inline int CountStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& line : lines)
        n += line.rfind(prefix, 0) == 0;
    return n;
}
