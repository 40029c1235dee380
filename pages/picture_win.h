#pragma once
// Pictures of pages: decoded with the platform's imaging component into 32-bit DIB sections, and
// drawn scaled into a rectangle.

#include <cstdint>
#include <memory>
#include <vector>
#include <windows.h>

#include "base/handles_win.h"

// A decoded picture: a top-down 32-bit DIB section with premultiplied alpha.
struct TPagePicture {
    TGdiObject bitmap;
    uint32_t* bits = nullptr; // width * height pixels, top row first
    int width = 0, height = 0;
};

// Larger pictures are refused before any pixel memory is taken.
inline constexpr uint32_t kMaxPictureSide = 16384;
inline constexpr uint64_t kMaxPicturePixels = 16u << 20;

// Decodes PNG, JPEG or any format the imaging component knows; null with the reason in problem.
std::unique_ptr<TPagePicture> DecodePicture(const std::vector<uint8_t>& bytes, HRESULT& problem);

// Draws the picture as large as fits in area, in proportion, centred, blended with its own
// alpha; the rest of area is left alone.
void DrawPictureScaled(HDC dc, const TPagePicture& picture, const RECT& area);
