// The component's side of windowless drawing: its drawing surface keeps the bitmaps and decides
// what a paint shows; the component supplies the control, the parent's picture and the window.

#include "qel/host/qel_flash_olehost.h"

void TqelOleControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    if (creationFailed_)
        return;
    surface_.Resize(width, height, [&] {
        // The control always sees itself at the origin of its own space, the space in which
        // mouse positions reach it.
        const RECT area{0, 0, width, height};
        if (inPlaceIntf_)
            inPlaceIntf_->SetObjectRects(&area, &area);
        if (windowlessIntf_)
            windowlessIntf_->SetObjectRects(&area, &area);
    });
}

void TqelOleControl::UpdateBackground() {
    surface_.UpdateBackground();
}

void TqelOleControl::CaptureBackground(TqelBitmap& background) {
    TWinControl* parent = Parent();
    if (!parent || !parent->HandleAllocated() || Loading())
        return;
    if (!transparent_) {
        background.FillAll(TqelBitmap::ColorWithAlpha(Color(), 255));
        return;
    }
    const HDC dc = background.MemoryDC();
    const HWND window = parent->WindowHandle();
    RECT edge{0, 0, Width(), Height()};
    if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    else if (GetWindowLongA(window, GWL_STYLE) & WS_BORDER)
        DrawEdge(dc, &edge, BDR_RAISEDOUTER | BDR_SUNKENOUTER, BF_RECT | BF_ADJUST | BF_MONO);
    parent->PaintTo(dc, -Left() - edge.left, -Top() - edge.top);
    GdiFlush();
}

void TqelOleControl::DrawControl(HDC dc, const RECTL* bounds) {
    viewIntf_->Draw(DVASPECT_TRANSPARENT, -1, nullptr, nullptr, nullptr, dc, bounds, nullptr,
                    nullptr, 0);
}

HDC TqelOleControl::WindowContext() {
    return Canvas().Handle();
}

void TqelOleControl::Paint() {
    if (surface_.CapturingBackground() || !Parent() || !Parent()->HandleAllocated())
        return;
    if (recaptureOnPaint_) {
        recaptureOnPaint_ = false;
        UpdateBackground();
    }
    if (OnPaint)
        OnPaint(*this);
    const int width = Width(), height = Height();
    if (viewIntf_)
        surface_.Draw(width, height);
    if (Designing() && width > 0 && height > 0) {
        if (const HDC canvas = Canvas().Handle()) {
            const TGdiObject pen(CreatePen(PS_DOT, 1, RGB(0, 0, 0)));
            const TSelectedObject dotted(canvas, pen.Get());
            const TSelectedObject hollow(canvas, GetStockObject(NULL_BRUSH));
            Rectangle(canvas, 0, 0, width, height);
        }
    }
    surface_.EndPaint();
}

void TqelOleControl::SetTransparent(bool transparent) {
    if (transparent == transparent_)
        return;
    transparent_ = transparent;
    UpdateBackground();
    PaintNow();
}

void TqelOleControl::Loaded() {
    TControl::Loaded();
    recaptureOnPaint_ = true;
}

// ---- the windowless site's drawing methods

HRESULT STDMETHODCALLTYPE TqelOleControl::GetDC(LPCRECT, DWORD, HDC* dc) {
    if (!dc)
        return E_POINTER;
    // Inside a paint the control draws with the paint's context. Outside one it gets a context
    // of its own, which ReleaseDC gives back: no later paint draws through its origin and clip.
    *dc = Canvas().HandleAllocated() ? Canvas().Handle() : controlCanvas_.Handle();
    // Without a parent window there is nothing to draw on.
    return *dc ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::ReleaseDC(HDC dc) {
    if (dc && controlCanvas_.HandleAllocated() && dc == controlCanvas_.Handle())
        controlCanvas_.Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::InvalidateRect(LPCRECT rect, BOOL) {
    if (!Parent())
        return S_OK;
    try {
        surface_.Invalidate(rect ? std::optional<RECT>(*rect) : std::nullopt);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::InvalidateRgn(HRGN, BOOL) {
    if (!Parent())
        return S_OK;
    try {
        surface_.InvalidateAll();
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::ScrollRect(INT, INT, LPCRECT, LPCRECT) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::AdjustRect(LPRECT rect) {
    if (!rect)
        return E_POINTER;
    *rect = {0, 0, Width(), Height()};
    return S_OK;
}
