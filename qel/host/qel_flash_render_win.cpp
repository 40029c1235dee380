// Windowless, transparent drawing: the parent's image under the component is captured once per
// size, and every paint draws the control over it in off-screen bitmaps before one copy reaches
// the parent's window.

#include "base/scoped_flag.h"
#include "qel/host/qel_flash_olehost.h"

namespace {

TRect ToTRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The union of two dirty areas, where none stands for everything.
std::optional<RECT> Widen(const std::optional<RECT>& a, const std::optional<RECT>& b) {
    if (!a || !b)
        return std::nullopt;
    RECT both;
    UnionRect(&both, &*a, &*b);
    return both;
}

} // namespace

void TqelOleControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    if (creationFailed_ || resizeGuard_)
        return;
    {
        TScopedFlag guard(resizeGuard_);
        // The control always sees itself at the origin of its own space, the space in which
        // mouse positions reach it.
        const RECT area{0, 0, width, height};
        if (inPlaceIntf_)
            inPlaceIntf_->SetObjectRects(&area, &area);
        if (windowlessIntf_)
            windowlessIntf_->SetObjectRects(&area, &area);
        for (auto* bitmap : {&backgroundBitmap_, &workBitmap_, &outputBitmap_}) {
            if (!*bitmap)
                *bitmap = std::make_unique<TqelBitmap>();
            (*bitmap)->Resize(width, height);
        }
        UpdateBackground();
        fullRepaintPending_ = true;
    }
    // Asked for while the bitmaps still had the old size: the first request after the resize,
    // which shows everything.
    if (repaintRequested_) {
        repaintRequested_ = false;
        fullRepaintPending_ = false;
        RepaintFromControl(std::nullopt);
    }
}

void TqelOleControl::UpdateBackground() {
    TWinControl* parent = Parent();
    if (!parent || !parent->HandleAllocated() || Loading())
        return;
    const bool ready = backgroundBitmap_ && outputBitmap_ && outputBitmap_->MemoryDC() &&
                       backgroundBitmap_->MemoryDC();
    if (!transparent_) {
        if (ready)
            backgroundBitmap_->FillAll(TqelBitmap::ColorWithAlpha(Color(), 255));
        return;
    }
    TScopedFlag capturing(capturingBackground_);
    if (!ready)
        return;
    const HDC dc = backgroundBitmap_->MemoryDC();
    const HWND window = parent->WindowHandle();
    RECT edge{0, 0, Width(), Height()};
    if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    else if (GetWindowLongA(window, GWL_STYLE) & WS_BORDER)
        DrawEdge(dc, &edge, BDR_RAISEDOUTER | BDR_SUNKENOUTER, BF_RECT | BF_ADJUST | BF_MONO);
    // Painting the parent reaches this component's Paint too, which stays out of it.
    parent->PaintTo(dc, -Left() - edge.left, -Top() - edge.top);
    GdiFlush();
}

void TqelOleControl::Paint() {
    if (capturingBackground_ || !Parent() || !Parent()->HandleAllocated())
        return;
    if (recaptureOnPaint_) {
        recaptureOnPaint_ = false;
        UpdateBackground();
    }
    if (OnPaint)
        OnPaint(*this);
    const int width = Width(), height = Height();
    if (width > 0 && height > 0 && outputBitmap_ && !outputBitmap_->IsEmpty()) {
        if (viewIntf_) {
            TScopedFlag painting(painting_);
            outputBitmap_->SetHasAlpha(false);
            outputBitmap_->SetColorKeyed(false);
            RECT dirty{};
            const RECT client{0, 0, width, height};
            // What reaches the window: everything, unless the control asked for a part and the
            // window still shows the rest from the last frame (not so inside a parent's paint,
            // which has painted its own background over the component).
            RECT shown = client;
            const bool anyDirty = dirtyRect_ && IntersectRect(&dirty, &*dirtyRect_, &client);
            if (dirtyRect_ && repaintingForControl_)
                shown = dirty; // empty when the rectangle lies outside: nothing to copy
            if (anyDirty) {
                // Composed in the top-left corner of WorkBitmap, landing at its own place.
                const int w = dirty.right - dirty.left, h = dirty.bottom - dirty.top;
                backgroundBitmap_->DrawOnBitmap(*workBitmap_, 0, 0, ToTRect(dirty));
                const HDC work = workBitmap_->MemoryDC();
                MoveWindowOrigin(work, -dirty.left, -dirty.top);
                const RECTL bounds{0, 0, dirty.right, dirty.bottom};
                viewIntf_->Draw(DVASPECT_TRANSPARENT, -1, nullptr, nullptr, nullptr, work, &bounds,
                                nullptr, nullptr, 0);
                MoveWindowOrigin(work, dirty.left, dirty.top);
                GdiFlush();
                workBitmap_->DrawOnBitmap(*outputBitmap_, dirty.left, dirty.top, {0, 0, w, h});
            } else if (!dirtyRect_) {
                backgroundBitmap_->DrawOnBitmap(*outputBitmap_, 0, 0);
                viewIntf_->Draw(DVASPECT_TRANSPARENT, -1, nullptr, nullptr, nullptr,
                                outputBitmap_->MemoryDC(), nullptr, nullptr, nullptr, 0);
                GdiFlush();
            }
            if (const HDC canvas = IsRectEmpty(&shown) ? nullptr : Canvas().Handle())
                outputBitmap_->DrawOnDC(canvas, shown.left, shown.top, ToTRect(shown));
        }
    }
    if (Designing() && width > 0 && height > 0) {
        if (const HDC canvas = Canvas().Handle()) {
            const TGdiObject pen(CreatePen(PS_DOT, 1, RGB(0, 0, 0)));
            const TSelectedObject dotted(canvas, pen.Get());
            const TSelectedObject hollow(canvas, GetStockObject(NULL_BRUSH));
            Rectangle(canvas, 0, 0, width, height);
        }
    }
    dirtyRect_.reset();
    // Whoever started this paint (the control, the parent, a change of Transparent), what the
    // control asked for meanwhile is painted right after it, once.
    if (repaintRequested_ && !followingUp_) {
        TScopedFlag followingUp(followingUp_);
        repaintRequested_ = false;
        dirtyRect_ = requestedDirty_;
        Paint();
        // What the follow-up paint asked for itself is dropped: it has just been drawn.
        repaintRequested_ = false;
    }
}

void TqelOleControl::RepaintFromControl(std::optional<RECT> dirty) {
    if (painting_ || resizeGuard_) {
        // Asked from inside a paint or a resize: painted right after it, covering this too.
        requestedDirty_ = repaintRequested_ ? Widen(requestedDirty_, dirty) : dirty;
        repaintRequested_ = true;
        return;
    }
    TScopedFlag forControl(repaintingForControl_);
    dirtyRect_ = dirty;
    PaintNow();
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
        std::optional<RECT> dirty;
        if (rect)
            dirty = *rect;
        // The first request after a size change repaints everything.
        if (fullRepaintPending_) {
            fullRepaintPending_ = false;
            dirty.reset();
        }
        RepaintFromControl(dirty);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::InvalidateRgn(HRGN, BOOL) {
    if (!Parent())
        return S_OK;
    try {
        RepaintFromControl(std::nullopt);
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
