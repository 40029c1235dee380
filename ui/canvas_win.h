#pragma once
// A drawing surface over a device context the canvas does not own.

#include <windows.h>

#include "base/handles_win.h"
#include "base/rect.h"
#include "ui/colors.h"

class TGraphic;

inline RECT ToRECT(const TRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

class TCanvas {
public:
    explicit TCanvas(HDC handle = nullptr) : handle_(handle) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    HDC Handle() const { return handle_; }
    void SetHandle(HDC handle) { handle_ = handle; }

    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor color);

    // Fills the rectangle (right and bottom exclusive) with the brush colour.
    void FillRect(const TRect& rect);
    // Lets the graphic draw itself stretched into the rectangle.
    void StretchDraw(const TRect& rect, const TGraphic& graphic);

private:
    HDC handle_;
    TColor brushColor_ = clWhite;
    TGdiObject brush_; // made for brushColor_ when first needed
};
