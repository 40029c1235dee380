// Windowless, transparent drawing: the parent's image under the component is captured once per
// size, and every paint draws the control over it in off-screen bitmaps before one copy reaches
// the parent's window.

#include "qel/host/qel_drawing_surface_win.h"

#include "base/scoped_flag.h"
#include "ui/controls_win.h"

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

void TqelDrawingSurface::Resize(int width, int height, const std::function<void()>& placeControl) {
    if (resizing_)
        return;
    {
        TScopedFlag guard(resizing_);
        placeControl();
        for (auto* bitmap : {&background_, &work_, &output_}) {
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
        Repaint(std::nullopt);
    }
}

void TqelDrawingSurface::UpdateBackground() {
    if (!background_ || !output_ || !output_->MemoryDC() || !background_->MemoryDC())
        return;
    // Painting the parent reaches the component's paint too, which stays out of it.
    TScopedFlag capturing(capturingBackground_);
    client_.CaptureBackground(*background_);
}

void TqelDrawingSurface::Invalidate(std::optional<RECT> rect) {
    if (fullRepaintPending_) {
        fullRepaintPending_ = false;
        rect.reset();
    }
    Repaint(rect);
}

void TqelDrawingSurface::InvalidateAll() {
    Repaint(std::nullopt);
}

void TqelDrawingSurface::Draw(int width, int height) {
    if (width <= 0 || height <= 0 || !output_ || output_->IsEmpty())
        return;
    TScopedFlag painting(painting_);
    output_->SetHasAlpha(false);
    output_->SetColorKeyed(false);
    RECT dirty{};
    const RECT client{0, 0, width, height};
    // What reaches the window: everything, unless the control asked for a part and the window
    // still shows the rest from the last frame (not so inside a parent's paint, which has
    // painted its own background over the component).
    RECT shown = client;
    const bool anyDirty = dirtyRect_ && IntersectRect(&dirty, &*dirtyRect_, &client);
    if (dirtyRect_ && repaintingForControl_)
        shown = dirty; // empty when the rectangle lies outside: nothing to copy
    if (anyDirty) {
        // Composed in the top-left corner of the work bitmap, landing at its own place.
        const int w = dirty.right - dirty.left, h = dirty.bottom - dirty.top;
        background_->DrawOnBitmap(*work_, 0, 0, ToTRect(dirty));
        const HDC work = work_->MemoryDC();
        MoveWindowOrigin(work, -dirty.left, -dirty.top);
        const RECTL bounds{0, 0, dirty.right, dirty.bottom};
        client_.DrawControl(work, &bounds);
        MoveWindowOrigin(work, dirty.left, dirty.top);
        GdiFlush();
        work_->DrawOnBitmap(*output_, dirty.left, dirty.top, {0, 0, w, h});
    } else if (!dirtyRect_) {
        background_->DrawOnBitmap(*output_, 0, 0);
        client_.DrawControl(output_->MemoryDC(), nullptr);
        GdiFlush();
    }
    if (const HDC canvas = IsRectEmpty(&shown) ? nullptr : client_.WindowContext())
        output_->DrawOnDC(canvas, shown.left, shown.top, ToTRect(shown));
}

void TqelDrawingSurface::EndPaint() {
    dirtyRect_.reset();
    // Whoever started this paint (the control, the parent, a change of Transparent), what the
    // control asked for meanwhile is painted right after it, once.
    if (repaintRequested_ && !followingUp_) {
        TScopedFlag followingUp(followingUp_);
        repaintRequested_ = false;
        dirtyRect_ = requestedDirty_;
        client_.PaintAgain();
        // What the follow-up paint asked for itself is dropped: it has just been drawn.
        repaintRequested_ = false;
    }
}

void TqelDrawingSurface::Repaint(std::optional<RECT> dirty) {
    if (painting_ || resizing_) {
        // Asked from inside a paint or a resize: painted right after it, covering this too.
        requestedDirty_ = repaintRequested_ ? Widen(requestedDirty_, dirty) : dirty;
        repaintRequested_ = true;
        return;
    }
    TScopedFlag forControl(repaintingForControl_);
    dirtyRect_ = dirty;
    client_.RepaintWindow();
}
