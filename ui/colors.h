#pragma once
// The framework's colours: an RGB value 0x00BBGGRR, or a system colour (the top bit set, the
// system colour index in the low byte) that is resolved when it is used.

#include <cstdint>

using TColor = int32_t;

constexpr TColor kSystemColorFlag = static_cast<TColor>(0x80000000u);
constexpr TColor SystemColor(int index) {
    return kSystemColorFlag | index;
}

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clBtnFace = SystemColor(15);   // COLOR_BTNFACE
constexpr TColor clWindow = SystemColor(5);     // COLOR_WINDOW
constexpr TColor clWindowText = SystemColor(8); // COLOR_WINDOWTEXT
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clBtnHighlight = SystemColor(20);

// The RGB value of a colour, system colours resolved.
uint32_t ColorToRGB(TColor color);
