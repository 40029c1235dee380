#pragma once
// What the reader sees of the book and how input changes it: the spread shown, the turn under
// way (animated or following the pointer), the zoomed page and the bar along the bottom edge.
// Time comes in as seconds; every change adds the area it touched to the dirty rectangle.
// Portable: the control feeds it window messages and draws what it describes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pageturn/book_layout.h"
#include "pageturn/page_fold.h"

// The virtual-key codes the view acts on.
namespace PageKey {
constexpr uint32_t kEscape = 0x1B, kSpace = 0x20, kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23,
                   kHome = 0x24, kLeft = 0x25, kRight = 0x27, kF11 = 0x7A;
}

enum class TBarButton { None, First, Previous, Next, Last, Zoom, FullScreen };

struct TBarLayout {
    bool fits = false; // false: the area is too small for the bar
    TRect bar;
    TRect label;
    struct TButton {
        TBarButton kind;
        TRect rect;
    };
    std::vector<TButton> buttons;
};

// A turn under way between two neighbouring places of the book: lower shows before the leaf
// turns, upper once it has. A turn forward goes from lower to upper, a turn back the other way.
struct TTurnView {
    int32_t lower = 0, upper = 0;
    bool forward = true;
    TCorner corner = TCorner::Bottom;
    TFoldGeometry fold; // in page units of the leaf's slot
};

// The zoomed page and where it lies (it may reach beyond the area).
struct TZoomView {
    int32_t page = 0;
    double scale = 1; // 1: the page as large as fits the area
    TRect pageRect;
};

class TBookView {
public:
    static constexpr double kTurnSeconds = 0.5;
    static constexpr double kBarStillSeconds = 2.0;
    static constexpr double kBarFadeSeconds = 0.3;
    // A press that moves less than this is a click.
    static constexpr int32_t kDragThreshold = 5;
    // The outer part of a page, as a share of its width, that turns it when dragged.
    static constexpr double kGrabShare = 0.25;
    static constexpr double kMaxZoom = 4.0;
    static constexpr double kZoomStep = 1.25;
    static constexpr double kDoubleClickZoom = 2.0;
    // A second click this soon after a click that turned undoes the turn (it was a double click).
    static constexpr double kDoubleClickSeconds = 0.6;

    void SetArea(const TRect& area);
    // A new book: its first spread, nothing turning or zoomed.
    void SetPageCount(int32_t count);
    void SetPageShape(int32_t width, int32_t height);
    const TBookLayout& Layout() const { return layout_; }

    // The spread at rest; while a turn runs, the one it started from.
    int32_t Spread() const { return spread_; }
    std::optional<TTurnView> Turn() const;
    std::optional<TZoomView> Zoom() const;
    bool FullScreen() const { return fullScreen_; }
    // Pixel mapping of a turn's page units: the leaf's slot (the right one, or the only one).
    TRect LeafSlot() const { return layout_.Slot(TPageSide::Right); }
    // Its width over its height (1 while it has no height): the fold's geometry is in units of
    // the page's height.
    double LeafAspect() const {
        const TRect slot = LeafSlot();
        return RectHeight(slot) > 0 ? double(RectWidth(slot)) / RectHeight(slot) : 1;
    }

    // How opaque the bar is drawn (as of the last input or Advance), and shows it now.
    double BarOpacity() const { return barOpacity_; }
    void ShowBar(double now);
    TBarLayout Bar() const;
    TBarButton HoverButton() const { return hover_; }
    bool ButtonEnabled(TBarButton button) const;
    // "3–4 / 120" (UTF-8), or "" for a book without pages.
    std::string BarLabel() const;

    // The areas changed since they were last taken (none: nothing). A turn's frames change
    // bands that follow the leaf rather than the rectangle around it.
    std::vector<TRect> TakeDirty();
    void Invalidate(const TRect& r);
    // The script commands "fullscreen" asked for since last taken: true or false each.
    std::vector<bool> TakeFullScreenRequests();
    // When Advance is due: never (negative), at once (0: an animation runs), or at that time.
    double NextWake(double now) const;
    void Advance(double now);
    // The pages to have ready, most urgent first.
    std::vector<int32_t> WantedPages() const;

    void TurnTo(int32_t spread, double now);
    void ZoomInto(int32_t page, double scale, TPointF at);
    void LeaveZoom();

    void MouseDown(int32_t x, int32_t y, double now);
    void MouseMove(int32_t x, int32_t y, bool held, double now);
    void MouseUp(int32_t x, int32_t y, double now);
    void DoubleClick(int32_t x, int32_t y, double now);
    // delta in wheel units (120 a notch, positive away from the reader); zoom when Ctrl is held.
    void Wheel(int32_t delta, bool zoom, int32_t x, int32_t y, double now);
    void KeyDown(uint32_t key, double now);
    void Character(uint32_t c, double now);

private:
    struct TRun {
        int32_t from = 0, to = 0;     // spreads; to is where it ends
        int32_t lower = 0, upper = 0; // the two it lies between
        TCorner corner = TCorner::Bottom;
        bool dragging = false;
        TPointF position;   // the corner, in page units
        bool onPath = true; // moving along the turn's path, else straight
        double pathFrom = 0, pathTo = 1;
        TPointF start, end; // straight moves
        double startTime = 0, duration = 0;
        bool byClick = false;
    };
    struct TPress {
        int32_t x = 0, y = 0;
        double time = 0;
        bool onBar = false;
        TBarButton button = TBarButton::None;
        bool canDrag = false;
        int32_t dragTo = 0; // the spread a drag from this press turns to
        TCorner corner = TCorner::Bottom;
        bool moved = false;
        bool panning = false;
    };

    void StartTurn(int32_t to, double now, bool byClick);
    void FinishTurn();
    void UpdateRun(double now);
    // Repaints a turn's new frame: where the leaf was and where it is now, and of the page it
    // uncovers what changed: along the fold, where the shade and the fold moved.
    void InvalidateTurn();
    double BarOpacityAt(double now) const;
    void Press(TBarButton button, double now);
    void Turnable(int32_t x, int32_t y, TPress& press) const;
    TPointF ToPage(int32_t x, int32_t y) const;
    int32_t PageAt(int32_t x, int32_t y) const;
    void ZoomIntoShownPage(double scale);
    void ZoomBy(double factor, TPointF at);
    // Moves the zoomed page so that its point (px, py) (0 to 1 across it) lies at at.
    void PutUnder(double px, double py, TPointF at);
    void PanBy(double dx, double dy);
    void ClampZoom();
    TRect ZoomRect() const;
    void InvalidateAll() { Invalidate(layout_.Area()); }

    TBookLayout layout_;
    int32_t spread_ = 0;
    std::optional<TRun> run_;
    std::optional<TFoldGeometry> lastFold_; // of the frame last repainted
    std::vector<TRect> turnBands_;
    std::optional<TPress> press_;
    struct TZoom {
        int32_t page = 0;
        double scale = 1;
        double centreX = 0.5, centreY = 0.5; // the page point at the area's centre
    };
    std::optional<TZoom> zoom_;
    double lastActivity_ = -1e9;
    double barOpacity_ = 0;
    bool overBar_ = false; // the pointer is over the bar: it stays
    TBarButton hover_ = TBarButton::None;
    int32_t wheelRest_ = 0;
    bool fullScreen_ = false;
    std::vector<bool> fullScreenRequests_;
    TRect dirty_{};
    double lastClickTurn_ = -1e9;
    int32_t lastClickFrom_ = 0;
};
