#pragma once
// Rectangles of pixels.

#include <cstdint>

// Left, top, right, bottom; right and bottom exclusive. Laid out like the system's RECT.
struct TRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const TRect&) const = default;
};

inline int32_t RectWidth(const TRect& r) {
    return r.right - r.left;
}
inline int32_t RectHeight(const TRect& r) {
    return r.bottom - r.top;
}
inline bool RectIsEmpty(const TRect& r) {
    return RectWidth(r) < 1 || RectHeight(r) < 1;
}
