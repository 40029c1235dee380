#include "pageturn/book_view.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "pages/page_list.h"

namespace {

constexpr int32_t kBarHeight = 40, kBarButton = 36, kBarLabel = 112, kBarGap = 10, kBarPadding = 6,
                  kBarBottom = 14;

double EaseOut(double t) {
    t = std::clamp(t, 0.0, 1.0);
    return 1 - (1 - t) * (1 - t) * (1 - t);
}

} // namespace

void TBookView::SetArea(const TRect& area) {
    if (area == layout_.Area())
        return;
    // The page shown first stays in view when the area changes between one and two pages.
    if (run_)
        FinishTurn();
    const TSpread shown = layout_.Spread(spread_);
    const int32_t anchor = shown.left >= 0 ? shown.left : shown.right;
    layout_.SetArea(area);
    if (anchor >= 0)
        spread_ = layout_.SpreadOf(anchor);
    ClampZoom();
    lastFold_.reset();
    InvalidateAll();
}

void TBookView::SetPageCount(int32_t count) {
    layout_.SetPageCount(count);
    spread_ = 0;
    run_.reset();
    press_.reset();
    zoom_.reset();
    lastFold_.reset();
    InvalidateAll();
}

void TBookView::SetPageShape(int32_t width, int32_t height) {
    layout_.SetPageShape(width, height);
    InvalidateAll();
}

// ---- what is shown

std::optional<TTurnView> TBookView::Turn() const {
    if (!run_)
        return std::nullopt;
    const double aspect = LeafAspect();
    TTurnView view;
    view.lower = run_->lower;
    view.upper = run_->upper;
    view.forward = run_->to == run_->upper;
    view.corner = run_->corner;
    view.fold = Fold(run_->position, run_->corner, aspect);
    return view;
}

std::optional<TZoomView> TBookView::Zoom() const {
    if (!zoom_)
        return std::nullopt;
    return TZoomView{zoom_->page, zoom_->scale, ZoomRect()};
}

void TBookView::InvalidateTurn() {
    const std::optional<TTurnView> turn = Turn();
    std::optional<TFoldGeometry> fold;
    if (turn && turn->fold.folded)
        fold = turn->fold;
    const TRect slot = LeafSlot();
    const double scale = RectHeight(slot);
    const double aspect = LeafAspect();
    // The signed distance of a point from a fold, into the part lifted.
    const auto distance = [](const TFoldGeometry& f, TPointF p) {
        return (p.x - f.foldPoint.x) * f.foldNormal.x + (p.y - f.foldPoint.y) * f.foldNormal.y;
    };
    // How far the fold moved at most, over the page.
    double moved = 0;
    if (fold && lastFold_)
        for (TPointF corner : {TPointF{0, 0}, {aspect, 0}, {aspect, 1}, {0, 1}})
            moved =
                std::max(moved, std::abs(distance(*fold, corner) - distance(*lastFold_, corner)));
    std::vector<TPolygon> changed;
    double margin = 2; // how far the leaf's shadow reaches beyond the outlines
    for (const std::optional<TFoldGeometry>& f : {fold, lastFold_}) {
        if (!f)
            continue;
        changed.push_back(f->leaf);
        margin = std::max(margin, LeafShadow(*f, aspect) * scale + 2);
        // Of the page uncovered, a strip along the fold changes: the rest shows the same page
        // beneath, unshaded, unless the fold appeared or went.
        const double reach = FoldShade(*f, aspect) + moved + 2 / std::max(scale, 1.0);
        changed.push_back(fold && lastFold_
                              ? ClipPolygon(f->lifted,
                                            {f->foldPoint.x + f->foldNormal.x * reach,
                                             f->foldPoint.y + f->foldNormal.y * reach},
                                            {-f->foldNormal.x, -f->foldNormal.y})
                              : f->lifted);
    }
    lastFold_ = fold;
    std::vector<TPolygon> both;
    for (const TPolygon& polygon : changed) {
        TPolygon pixels;
        for (int32_t i = 0; i < polygon.count; ++i)
            pixels.Add(
                {slot.left + polygon.points[i].x * scale, slot.top + polygon.points[i].y * scale});
        both.push_back(pixels);
    }
    double top = 1e18, bottom = -1e18;
    for (const TPolygon& polygon : both)
        for (int32_t i = 0; i < polygon.count; ++i) {
            top = std::min(top, polygon.points[i].y - margin);
            bottom = std::max(bottom, polygon.points[i].y + margin);
        }
    if (top >= bottom)
        return;
    // Bands across what changed, each as wide as the outlines reach within it.
    constexpr int32_t kBands = 8;
    const double height = (bottom - top) / kBands;
    for (int32_t band = 0; band < kBands; ++band) {
        const double y0 = top + band * height, y1 = y0 + height;
        double left = 1e18, right = -1e18;
        for (const TPolygon& polygon : both) {
            const TPolygon slab = ClipPolygon(ClipPolygon(polygon, {0, y0 - margin}, {0, 1}),
                                              {0, y1 + margin}, {0, -1});
            for (int32_t i = 0; i < slab.count; ++i) {
                left = std::min(left, slab.points[i].x - margin);
                right = std::max(right, slab.points[i].x + margin);
            }
        }
        if (left < right)
            turnBands_.push_back(
                RectIntersection({int32_t(std::floor(left)), int32_t(std::floor(y0)),
                                  int32_t(std::ceil(right)), int32_t(std::ceil(y1))},
                                 layout_.Area()));
    }
}

double TBookView::BarOpacityAt(double now) const {
    if (overBar_)
        return 1;
    const double still = now - lastActivity_;
    if (still < kBarStillSeconds)
        return 1;
    if (still < kBarStillSeconds + kBarFadeSeconds)
        return 1 - (still - kBarStillSeconds) / kBarFadeSeconds;
    return 0;
}

void TBookView::ShowBar(double now) {
    lastActivity_ = now;
    if (barOpacity_ != 1) {
        barOpacity_ = 1;
        Invalidate(Bar().bar);
    }
}

TBarLayout TBookView::Bar() const {
    TBarLayout layout;
    const TRect area = layout_.Area();
    const int32_t width = 2 * kBarPadding + 6 * kBarButton + kBarLabel + kBarGap;
    if (RectWidth(area) < width + 8 || RectHeight(area) < 3 * kBarHeight)
        return layout;
    layout.fits = true;
    const int32_t left = area.left + (RectWidth(area) - width) / 2;
    const int32_t top = area.bottom - kBarBottom - kBarHeight;
    layout.bar = {left, top, left + width, top + kBarHeight};
    const int32_t buttonTop = top + (kBarHeight - kBarButton) / 2;
    int32_t x = left + kBarPadding;
    const auto button = [&](TBarButton kind) {
        layout.buttons.push_back({kind, {x, buttonTop, x + kBarButton, buttonTop + kBarButton}});
        x += kBarButton;
    };
    button(TBarButton::First);
    button(TBarButton::Previous);
    layout.label = {x, top, x + kBarLabel, top + kBarHeight};
    x += kBarLabel;
    button(TBarButton::Next);
    button(TBarButton::Last);
    x += kBarGap;
    button(TBarButton::Zoom);
    button(TBarButton::FullScreen);
    return layout;
}

bool TBookView::ButtonEnabled(TBarButton button) const {
    const int32_t last = layout_.SpreadCount() - 1;
    switch (button) {
    case TBarButton::First:
    case TBarButton::Previous:
        return spread_ > 0;
    case TBarButton::Next:
    case TBarButton::Last:
        return spread_ < last;
    case TBarButton::Zoom:
        return last >= 0;
    case TBarButton::FullScreen:
        return true;
    case TBarButton::None:
        break;
    }
    return false;
}

std::string TBookView::BarLabel() const {
    const int32_t count = layout_.PageCount();
    if (count == 0)
        return "";
    const TSpread spread = layout_.Spread(zoom_ ? layout_.SpreadOf(zoom_->page) : spread_);
    std::string pages;
    if (zoom_)
        pages = std::to_string(zoom_->page + 1);
    else if (spread.left >= 0 && spread.right >= 0)
        pages = std::to_string(spread.left + 1) + "\xE2\x80\x93" + std::to_string(spread.right + 1);
    else
        pages = std::to_string((spread.left >= 0 ? spread.left : spread.right) + 1);
    return pages + " / " + std::to_string(count);
}

// ---- what needs doing

void TBookView::Invalidate(const TRect& r) {
    dirty_ = RectUnion(dirty_, RectIntersection(r, layout_.Area()));
}

std::vector<TRect> TBookView::TakeDirty() {
    std::vector<TRect> dirty;
    if (!RectIsEmpty(dirty_))
        dirty.push_back(dirty_);
    for (const TRect& band : turnBands_)
        if (!RectIsEmpty(band) && RectIntersection(band, dirty_) != band)
            dirty.push_back(band);
    dirty_ = {};
    turnBands_.clear();
    return dirty;
}

std::vector<bool> TBookView::TakeFullScreenRequests() {
    return std::exchange(fullScreenRequests_, {});
}

double TBookView::NextWake(double now) const {
    if (run_ && !run_->dragging)
        return 0;
    if (overBar_ || barOpacity_ == 0)
        return -1;
    const double still = now - lastActivity_;
    return still < kBarStillSeconds ? lastActivity_ + kBarStillSeconds : 0;
}

void TBookView::Advance(double now) {
    if (run_ && !run_->dragging)
        UpdateRun(now);
    const double opacity = BarOpacityAt(now);
    if (opacity != barOpacity_) {
        barOpacity_ = opacity;
        Invalidate(Bar().bar);
    }
}

std::vector<int32_t> TBookView::WantedPages() const {
    std::vector<int32_t> pages;
    const auto want = [&](int32_t page) {
        if (page >= 0 && page < layout_.PageCount() &&
            std::find(pages.begin(), pages.end(), page) == pages.end())
            pages.push_back(page);
    };
    const auto spread = [&](int32_t index) {
        const TSpread s = layout_.Spread(index);
        want(s.left);
        want(s.right);
    };
    if (zoom_)
        want(zoom_->page);
    spread(spread_);
    if (run_) {
        spread(run_->lower);
        spread(run_->upper);
    }
    for (int32_t step : {1, -1, 2, -2})
        spread(spread_ + step);
    return pages;
}

// ---- turning

void TBookView::TurnTo(int32_t spread, double now) {
    StartTurn(spread, now, false);
}

void TBookView::StartTurn(int32_t to, double now, bool byClick) {
    if (zoom_)
        LeaveZoom();
    if (run_)
        FinishTurn();
    to = std::clamp(to, 0, std::max(layout_.SpreadCount() - 1, 0));
    if (to == spread_)
        return;
    TRun run;
    run.from = spread_;
    run.to = to;
    run.lower = std::min(spread_, to);
    run.upper = std::max(spread_, to);
    run.pathFrom = to > spread_ ? 0 : 1;
    run.pathTo = 1 - run.pathFrom;
    run.startTime = now;
    run.duration = kTurnSeconds;
    run.byClick = byClick;
    run.position = CornerOnPath(run.pathFrom, run.corner, LeafAspect());
    run_ = run;
    // The leaf at the start of its path looks as the spread at rest does but for what the
    // first step repaints anyway (the leaf, the strip along the fold): nothing to paint yet,
    // unless the book under the leaf has another outline (a page alone), and so another shadow.
    const TFoldGeometry start = Fold(run.position, run.corner, LeafAspect());
    lastFold_ = start.folded ? std::optional(start) : std::nullopt;
    const TSpread lower = layout_.Spread(run.lower), upper = layout_.Spread(run.upper);
    if ((lower.left < 0) != (upper.left < 0) || (lower.right < 0) != (upper.right < 0))
        InvalidateAll();
    if (byClick) {
        lastClickTurn_ = now;
        lastClickFrom_ = spread_;
    }
}

void TBookView::FinishTurn() {
    spread_ = run_->to;
    run_.reset();
    lastFold_.reset();
    InvalidateAll();
}

void TBookView::UpdateRun(double now) {
    TRun& run = *run_;
    const double t = run.duration > 0 ? (now - run.startTime) / run.duration : 1;
    if (t >= 1) {
        FinishTurn();
        return;
    }
    const double aspect = LeafAspect();
    if (run.onPath) {
        run.position = CornerOnPath(run.pathFrom + (run.pathTo - run.pathFrom) * EaseInOut(t),
                                    run.corner, aspect);
    } else {
        const double e = EaseOut(t);
        run.position = ClampCorner({run.start.x + (run.end.x - run.start.x) * e,
                                    run.start.y + (run.end.y - run.start.y) * e},
                                   run.corner, aspect);
    }
    InvalidateTurn();
}

// ---- zoom

TRect TBookView::ZoomRect() const {
    const TRect area = layout_.Area();
    const int32_t margin = layout_.Margin();
    const TRect slot = layout_.Slot(TPageSide::Right);
    const TRect fit =
        FitRect(RectWidth(slot), RectHeight(slot),
                {area.left + margin, area.top + margin, area.right - margin, area.bottom - margin});
    const double width = RectWidth(fit) * zoom_->scale, height = RectHeight(fit) * zoom_->scale;
    const double left = area.left + RectWidth(area) / 2.0 - zoom_->centreX * width;
    const double top = area.top + RectHeight(area) / 2.0 - zoom_->centreY * height;
    return {int32_t(std::lround(left)), int32_t(std::lround(top)),
            int32_t(std::lround(left + width)), int32_t(std::lround(top + height))};
}

void TBookView::ClampZoom() {
    if (!zoom_)
        return;
    zoom_->scale = std::clamp(zoom_->scale, 1.0, kMaxZoom);
    const TRect area = layout_.Area();
    const TRect page = ZoomRect();
    // A page larger than the area never shows the background beside it; a smaller one is centred.
    const auto clamp = [](double centre, int32_t shown, int32_t size) {
        if (size <= shown || size <= 0)
            return 0.5;
        const double half = shown / 2.0 / size;
        return std::clamp(centre, half, 1 - half);
    };
    zoom_->centreX = clamp(zoom_->centreX, RectWidth(area), RectWidth(page));
    zoom_->centreY = clamp(zoom_->centreY, RectHeight(area), RectHeight(page));
}

void TBookView::ZoomInto(int32_t page, double scale, TPointF at) {
    if (page < 0 || page >= layout_.PageCount())
        return;
    if (run_)
        FinishTurn();
    // The point of the page under at stays under it.
    TRect slot = layout_.Slot(TPageSide::Right);
    const TSpread spread = layout_.Spread(layout_.SpreadOf(page));
    if (layout_.TwoPages() && spread.left == page)
        slot = layout_.Slot(TPageSide::Left);
    const double px = std::clamp((at.x - slot.left) / std::max(RectWidth(slot), 1), 0.0, 1.0);
    const double py = std::clamp((at.y - slot.top) / std::max(RectHeight(slot), 1), 0.0, 1.0);
    zoom_ = TZoom{page, std::clamp(scale, 1.0, kMaxZoom), 0.5, 0.5};
    PutUnder(px, py, at);
}

void TBookView::PutUnder(double px, double py, TPointF at) {
    const TRect rect = ZoomRect();
    const TRect area = layout_.Area();
    const double width = RectWidth(rect), height = RectHeight(rect);
    zoom_->centreX = (area.left + RectWidth(area) / 2.0 - (at.x - px * width)) / width;
    zoom_->centreY = (area.top + RectHeight(area) / 2.0 - (at.y - py * height)) / height;
    ClampZoom();
    InvalidateAll();
}

void TBookView::ZoomIntoShownPage(double scale) {
    // The right page, or the left one where the right is empty; its middle stays in view.
    const TSpread spread = layout_.Spread(spread_);
    const int32_t page = spread.right >= 0 ? spread.right : spread.left;
    const TRect slot = layout_.Slot(page == spread.right ? TPageSide::Right : TPageSide::Left);
    ZoomInto(page, scale, {slot.left + RectWidth(slot) / 2.0, slot.top + RectHeight(slot) / 2.0});
}

void TBookView::LeaveZoom() {
    if (!zoom_)
        return;
    // Back to the spread that holds the page.
    spread_ = layout_.SpreadOf(zoom_->page);
    zoom_.reset();
    InvalidateAll();
}

void TBookView::ZoomBy(double factor, TPointF at) {
    const TRect before = ZoomRect();
    const double px = (at.x - before.left) / std::max(RectWidth(before), 1);
    const double py = (at.y - before.top) / std::max(RectHeight(before), 1);
    zoom_->scale = std::clamp(zoom_->scale * factor, 1.0, kMaxZoom);
    PutUnder(px, py, at);
}

void TBookView::PanBy(double dx, double dy) {
    const TRect page = ZoomRect();
    zoom_->centreX -= dx / std::max(RectWidth(page), 1);
    zoom_->centreY -= dy / std::max(RectHeight(page), 1);
    ClampZoom();
    InvalidateAll();
}

// ---- input

TPointF TBookView::ToPage(int32_t x, int32_t y) const {
    const TRect slot = LeafSlot();
    const double scale = std::max(RectHeight(slot), 1);
    return {(x - slot.left) / scale, (y - slot.top) / scale};
}

int32_t TBookView::PageAt(int32_t x, int32_t y) const {
    const TSpread spread = layout_.Spread(spread_);
    if (RectContains(layout_.Slot(TPageSide::Right), x, y))
        return spread.right;
    if (layout_.TwoPages() && RectContains(layout_.Slot(TPageSide::Left), x, y))
        return spread.left;
    return -1;
}

void TBookView::Turnable(int32_t x, int32_t y, TPress& press) const {
    const TSpread spread = layout_.Spread(spread_);
    const TRect right = layout_.Slot(TPageSide::Right);
    const TRect left = layout_.TwoPages() ? layout_.Slot(TPageSide::Left) : right;
    const int32_t grab = std::max(int32_t(RectWidth(right) * kGrabShare), 12);
    const int32_t last = layout_.SpreadCount() - 1;
    const TRect slot = RectContains(right, x, y) ? right : left;
    if (!RectContains(slot, x, y))
        return;
    if (spread.right >= 0 && spread_ < last && x >= right.right - grab &&
        RectContains(right, x, y)) {
        press.canDrag = true;
        press.dragTo = spread_ + 1;
    } else if (spread_ > 0 && x < left.left + grab && RectContains(left, x, y) &&
               (spread.left >= 0 || !layout_.TwoPages())) {
        press.canDrag = true;
        press.dragTo = spread_ - 1;
    }
    const int32_t band = RectHeight(slot) / 4;
    press.corner = y < slot.top + band       ? TCorner::Top
                   : y >= slot.bottom - band ? TCorner::Bottom
                                             : TCorner::Edge;
}

void TBookView::MouseDown(int32_t x, int32_t y, double now) {
    ShowBar(now);
    TPress press;
    press.x = x;
    press.y = y;
    press.time = now;
    const TBarLayout bar = Bar();
    if (bar.fits && RectContains(bar.bar, x, y)) {
        press.onBar = true;
        for (const auto& button : bar.buttons)
            if (RectContains(button.rect, x, y))
                press.button = button.kind;
        press_ = press;
        return;
    }
    if (run_ && !run_->dragging)
        FinishTurn();
    if (zoom_)
        press.panning = true;
    else
        Turnable(x, y, press);
    press_ = press;
}

void TBookView::MouseMove(int32_t x, int32_t y, bool held, double now) {
    ShowBar(now);
    const TBarLayout bar = Bar();
    const bool overBar = bar.fits && RectContains(bar.bar, x, y);
    TBarButton hover = TBarButton::None;
    if (overBar)
        for (const auto& button : bar.buttons)
            if (RectContains(button.rect, x, y))
                hover = button.kind;
    if (hover != hover_ || overBar != overBar_)
        Invalidate(bar.bar);
    hover_ = hover;
    overBar_ = overBar;
    if (!press_ || !held || press_->onBar)
        return;
    TPress& press = *press_;
    if (!press.moved && std::abs(x - press.x) < kDragThreshold &&
        std::abs(y - press.y) < kDragThreshold)
        return;
    if (press.panning) {
        PanBy(x - press.x, y - press.y);
        press.moved = true;
        press.x = x;
        press.y = y;
        return;
    }
    if (!press.moved && press.canDrag) {
        TRun run;
        run.from = spread_;
        run.to = press.dragTo;
        run.lower = std::min(spread_, press.dragTo);
        run.upper = std::max(spread_, press.dragTo);
        run.corner = press.corner;
        run.dragging = true;
        run_ = run;
    }
    press.moved = true;
    if (run_ && run_->dragging) {
        const double aspect = LeafAspect();
        run_->position = ClampCorner(ToPage(x, y), run_->corner, aspect);
        InvalidateTurn();
    }
}

void TBookView::MouseUp(int32_t x, int32_t y, double now) {
    if (!press_)
        return;
    const TPress press = *press_;
    press_.reset();
    if (press.onBar) {
        const TBarLayout bar = Bar();
        for (const auto& button : bar.buttons)
            if (button.kind == press.button && RectContains(button.rect, x, y))
                Press(button.kind, now);
        return;
    }
    if (run_ && run_->dragging) {
        // Released past the spine it completes, else it falls back.
        TRun& run = *run_;
        const bool forward = run.to == run.upper;
        const bool completes = forward ? run.position.x < 0 : run.position.x > 0;
        if (!completes)
            run.to = run.from;
        const double aspect = LeafAspect();
        run.dragging = false;
        run.onPath = false;
        run.start = run.position;
        run.end =
            run.to == run.upper ? TurnedCorner(run.corner, aspect) : RestCorner(run.corner, aspect);
        const double distance = std::hypot(run.end.x - run.start.x, run.end.y - run.start.y);
        run.startTime = now;
        run.duration = std::clamp(kTurnSeconds * distance / (2 * aspect), 0.12, kTurnSeconds);
        return;
    }
    if (press.moved || press.panning)
        return;
    // A click: the right page turns forward, the left one back.
    const TRect right = layout_.Slot(TPageSide::Right);
    if (layout_.TwoPages()) {
        if (RectContains(right, x, y))
            StartTurn(spread_ + 1, now, true);
        else if (RectContains(layout_.Slot(TPageSide::Left), x, y))
            StartTurn(spread_ - 1, now, true);
    } else if (RectContains(right, x, y)) {
        StartTurn(x >= right.left + RectWidth(right) / 2 ? spread_ + 1 : spread_ - 1, now, true);
    }
}

void TBookView::DoubleClick(int32_t x, int32_t y, double now) {
    const TBarLayout bar = Bar();
    if (bar.fits && RectContains(bar.bar, x, y)) {
        MouseDown(x, y, now); // a second press of the button
        return;
    }
    ShowBar(now);
    // The release that follows belongs to the double click.
    TPress ignored;
    ignored.moved = true;
    press_ = ignored;
    if (zoom_) {
        LeaveZoom();
        return;
    }
    // The first click of the pair turned the page: the reader meant the page it showed.
    if (now - lastClickTurn_ < kDoubleClickSeconds) {
        run_.reset();
        spread_ = lastClickFrom_;
        lastClickTurn_ = -1e9;
        lastFold_.reset();
        InvalidateAll();
    }
    ZoomInto(PageAt(x, y), kDoubleClickZoom, {double(x), double(y)});
}

void TBookView::Wheel(int32_t delta, bool zoom, int32_t x, int32_t y, double now) {
    ShowBar(now);
    wheelRest_ += delta;
    const int32_t notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    if (notches == 0)
        return;
    if (zoom) {
        const double factor = std::pow(kZoomStep, notches);
        if (!zoom_) {
            if (notches > 0)
                ZoomInto(PageAt(x, y), factor, {double(x), double(y)});
        } else if (notches < 0 && zoom_->scale <= 1.0 + 1e-9) {
            LeaveZoom();
        } else {
            ZoomBy(factor, {double(x), double(y)});
        }
    } else if (zoom_) {
        PanBy(0, notches * RectHeight(layout_.Area()) / 6.0);
    } else {
        // Towards the reader turns forward.
        StartTurn((run_ ? run_->to : spread_) - notches, now, false);
    }
}

void TBookView::KeyDown(uint32_t key, double now) {
    const int32_t at = run_ ? run_->to : spread_;
    switch (key) {
    case PageKey::kRight:
    case PageKey::kPageDown:
    case PageKey::kSpace:
        StartTurn(zoom_ ? layout_.SpreadOf(zoom_->page) + 1 : at + 1, now, false);
        break;
    case PageKey::kLeft:
    case PageKey::kPageUp:
        StartTurn(zoom_ ? layout_.SpreadOf(zoom_->page) - 1 : at - 1, now, false);
        break;
    case PageKey::kHome:
        StartTurn(0, now, false);
        break;
    case PageKey::kEnd:
        StartTurn(layout_.SpreadCount() - 1, now, false);
        break;
    case PageKey::kF11:
        Press(TBarButton::FullScreen, now);
        break;
    case PageKey::kEscape:
        // The window leaves full screen on Esc by itself.
        LeaveZoom();
        fullScreen_ = false;
        Invalidate(Bar().bar);
        break;
    default:
        break;
    }
}

void TBookView::Character(uint32_t c, double) {
    const TRect area = layout_.Area();
    const TPointF centre{area.left + RectWidth(area) / 2.0, area.top + RectHeight(area) / 2.0};
    if (c == '+' || c == '=') {
        if (zoom_)
            ZoomBy(kZoomStep, centre);
        else
            ZoomIntoShownPage(kZoomStep);
    } else if (c == '-' && zoom_) {
        if (zoom_->scale <= 1.0 + 1e-9)
            LeaveZoom();
        else
            ZoomBy(1 / kZoomStep, centre);
    }
}

void TBookView::Press(TBarButton button, double now) {
    const int32_t at = zoom_ ? layout_.SpreadOf(zoom_->page) : run_ ? run_->to : spread_;
    switch (button) {
    case TBarButton::First:
        StartTurn(0, now, false);
        break;
    case TBarButton::Previous:
        StartTurn(at - 1, now, false);
        break;
    case TBarButton::Next:
        StartTurn(at + 1, now, false);
        break;
    case TBarButton::Last:
        StartTurn(layout_.SpreadCount() - 1, now, false);
        break;
    case TBarButton::Zoom:
        if (zoom_)
            LeaveZoom();
        else
            ZoomIntoShownPage(kDoubleClickZoom);
        break;
    case TBarButton::FullScreen:
        fullScreen_ = !fullScreen_;
        fullScreenRequests_.push_back(fullScreen_);
        Invalidate(Bar().bar);
        break;
    case TBarButton::None:
        break;
    }
}
