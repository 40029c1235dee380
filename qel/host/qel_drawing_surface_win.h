#pragma once
// The drawing surface of a windowless control: the parent's image under the component, the
// off-screen bitmaps the control is drawn over, and when a paint shows everything or only the
// part the control asked for. The site's drawing methods call in here; the surface calls back
// through TClient only, so its rules run without a control.

#include <functional>
#include <memory>
#include <optional>
#include <windows.h>

#include "qel/host/qel_bitmap_win.h"

class TqelDrawingSurface {
public:
    class TClient {
    public:
        // Draws the control into dc, within bounds (null: all of it, at the origin).
        virtual void DrawControl(HDC dc, const RECTL* bounds) = 0;
        // Paints what lies under the component into the background bitmap.
        virtual void CaptureBackground(TqelBitmap& background) = 0;
        // The window's context of this paint; null when there is no window to draw on.
        virtual HDC WindowContext() = 0;
        // Has the window paint the component now.
        virtual void RepaintWindow() = 0;
        // Runs the component's whole paint once more, inside the one in progress.
        virtual void PaintAgain() = 0;

    protected:
        ~TClient() = default;
    };

    explicit TqelDrawingSurface(TClient& client) : client_(client) {}
    TqelDrawingSurface(const TqelDrawingSurface&) = delete;
    TqelDrawingSurface& operator=(const TqelDrawingSurface&) = delete;

    // The bitmaps at the new size, the background captured again, and the next request of the
    // control repaints everything. placeControl runs first, inside the resize.
    void Resize(int width, int height, const std::function<void()>& placeControl);
    // Captures the background again; nothing is drawn meanwhile.
    void UpdateBackground();

    // The control asks for rect (none: everything) to be repainted; the first request after a
    // resize repaints everything.
    void Invalidate(std::optional<RECT> rect);
    // The control asks for everything to be repainted.
    void InvalidateAll();

    // A paint of a width x height component: the control over the background, then the part
    // due onto the window. EndPaint closes every paint, drawn or not.
    void Draw(int width, int height);
    void EndPaint();

    TqelBitmap* Background() const { return background_.get(); }
    TqelBitmap* Work() const { return work_.get(); }
    TqelBitmap* Output() const { return output_.get(); }
    const std::optional<RECT>& DirtyRect() const { return dirtyRect_; }
    bool FullRepaintPending() const { return fullRepaintPending_; }
    bool CapturingBackground() const { return capturingBackground_; }

private:
    // Paints now for a request of the control, dirty (or everything when none).
    void Repaint(std::optional<RECT> dirty);

    TClient& client_;
    std::unique_ptr<TqelBitmap> background_, work_, output_;
    std::optional<RECT> dirtyRect_;
    bool fullRepaintPending_ = false;
    bool capturingBackground_ = false;
    bool resizing_ = false;
    // A control that asks for a repaint while it is being painted or resized gets one paint more
    // afterwards, covering all it asked for, instead of a paint inside the paint or one at the
    // old size.
    bool painting_ = false;
    bool repaintRequested_ = false;
    std::optional<RECT> requestedDirty_; // none: everything
    bool repaintingForControl_ = false;  // inside a request of the control
    bool followingUp_ = false;           // painting what was asked for during a paint
};
