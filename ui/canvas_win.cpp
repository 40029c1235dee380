#include "ui/canvas_win.h"

#include "ui/colors_win.h"
#include "ui/graphics_win.h"

void TCanvas::SetBrushColor(TColor color) {
    if (color != brushColor_)
        brush_.Reset();
    brushColor_ = color;
}

void TCanvas::FillRect(const TRect& rect) {
    if (!brush_)
        brush_.Reset(CreateSolidBrush(ColorToRGB(brushColor_)));
    const RECT r = ToRECT(rect);
    ::FillRect(handle_, &r, static_cast<HBRUSH>(brush_.Get()));
}

void TCanvas::StretchDraw(const TRect& rect, const TGraphic& graphic) {
    graphic.Draw(*this, rect);
}
