// What the control draws: the spread with its pages, a turning leaf with its shadows, a zoomed
// page, the bar, or a message where there is no book. The picture is composed in a bitmap of
// the control's own, only where it changed, and copied to the host's device context in Draw.

#include <algorithm>
#include <cmath>

#include "base/text_win.h"
#include "pages/page_list.h"
#include "pageturn/pageturn_object_win.h"

namespace {

constexpr uint32_t kBackground = Rgb(54, 56, 60);
constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kBarColor = Rgb(20, 21, 24);
constexpr uint32_t kBrokenColor = Rgb(184, 84, 70);
constexpr uint32_t kPaper = Rgb(250, 248, 243);

bool Covers(const TRect& outer, const TRect& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TPolygon ToPixels(const TPolygon& polygon, const TRect& slot) {
    const double scale = RectHeight(slot);
    TPolygon out;
    for (int32_t i = 0; i < polygon.count; ++i)
        out.Add({slot.left + polygon.points[i].x * scale, slot.top + polygon.points[i].y * scale});
    return out;
}

TPolygon Rectangle(double left, double top, double right, double bottom) {
    TPolygon p;
    p.Add({left, top});
    p.Add({right, top});
    p.Add({right, bottom});
    p.Add({left, bottom});
    return p;
}

TPolygon Triangle(TPointF a, TPointF b, TPointF c) {
    TPolygon p;
    p.Add(a);
    p.Add(b);
    p.Add(c);
    return p;
}

} // namespace

// ---- drawing into the host's context

HRESULT TPageTurnControl::DrawIn(HDC dc, LPCRECTL bounds) {
    // In place, the picture lies where the in-place rectangle puts it (bounds only limit what is
    // drawn of it, as a host's partial repaint gives them); otherwise in bounds.
    RECT place;
    if (inPlaceActive_) {
        const LONG left = bounds ? bounds->left : position_.left;
        const LONG top = bounds ? bounds->top : position_.top;
        place = {left, top, left + position_.right - position_.left,
                 top + position_.bottom - position_.top};
    } else {
        place = {bounds->left, bounds->top, bounds->right, bounds->bottom};
        view_.SetArea({0, 0, place.right - place.left, place.bottom - place.top});
        for (const TRect& r : view_.TakeDirty())
            MarkStale(r);
    }
    const int32_t width = place.right - place.left, height = place.bottom - place.top;
    if (width <= 0 || height <= 0)
        return S_OK;
    drawn_ = true;
    if (frame_.Width() != width || frame_.Height() != height) {
        frame_.Resize(width, height);
        stale_ = {0, 0, width, height};
    }
    TRect clip{0, 0, width, height};
    if (bounds)
        clip = RectIntersection(clip, {bounds->left - place.left, bounds->top - place.top,
                                       bounds->right - place.left, bounds->bottom - place.top});
    RECT box;
    const int kind = GetClipBox(dc, &box);
    if (kind == NULLREGION)
        return S_OK; // nothing of it can be seen
    if (kind != ERROR)
        clip = RectIntersection(clip, {box.left - place.left, box.top - place.top,
                                       box.right - place.left, box.bottom - place.top});
    if (RectIsEmpty(clip))
        return S_OK;
    const TRect redo = RectIntersection(stale_, clip);
    if (!RectIsEmpty(redo)) {
        Compose(redo);
        if (Covers(clip, stale_))
            stale_ = {};
    }
    BitBlt(dc, place.left + clip.left, place.top + clip.top, RectWidth(clip), RectHeight(clip),
           frame_.MemoryDC(), clip.left, clip.top, SRCCOPY);
    return S_OK;
}

// ---- repaints

void TPageTurnControl::MarkStale(const TRect& r) {
    stale_ = RectUnion(stale_, r);
}

void TPageTurnControl::Repaint(const TRect& r) {
    if (RectIsEmpty(r))
        return;
    MarkStale(r);
    // The host repaints inside this call.
    if (windowless_) {
        const RECT rect{position_.left + r.left, position_.top + r.top, position_.left + r.right,
                        position_.top + r.bottom};
        windowless_->InvalidateRect(&rect, FALSE);
    }
}

void TPageTurnControl::RepaintPage(int32_t page) {
    // Only where the page shows now; a neighbour's picture changes nothing on screen.
    const TBookLayout& layout = view_.Layout();
    if (view_.Zoom()) {
        if (view_.Zoom()->page == page)
            view_.Invalidate(layout.Area());
        return;
    }
    if (const std::optional<TTurnView> turn = view_.Turn()) {
        const TSpread lower = layout.Spread(turn->lower), upper = layout.Spread(turn->upper);
        if (page == lower.left || page == lower.right || page == upper.left || page == upper.right)
            view_.Invalidate(layout.Area());
        return;
    }
    const TSpread spread = layout.Spread(view_.Spread());
    if (page == spread.right)
        view_.Invalidate(layout.Slot(TPageSide::Right));
    else if (page == spread.left)
        view_.Invalidate(layout.Slot(TPageSide::Left));
}

// ---- composing

TSourcePixels TPageTurnControl::FaceOf(int32_t page, const TRect& slot) {
    if (page < 0 || page >= int32_t(pages_.size()))
        return {};
    TPageState& state = pages_[size_t(page)];
    const int32_t width = RectWidth(slot), height = RectHeight(slot);
    if (state.face && (state.face->width != width || state.face->height != height)) {
        // Made for another size: scaled for now, made sharp again as soon as the loading
        // comes round to it.
        auto scaled = std::make_shared<TImage>();
        scaled->Resize(width, height);
        DrawScaled(scaled->View(), {0, 0, width, height}, SourceOf(*state.face),
                   {0, 0, double(width), double(height)});
        state.face = std::move(scaled);
        state.sharp = false;
        ScheduleWork();
    }
    return SourceOf(state.face ? *state.face : *PaperFace(width, height));
}

void TPageTurnControl::Compose(const TRect& clip) {
    const TPixelBuffer target = frame_.Pixels();
    if (!message_.empty()) {
        FillRect(target, clip, {0, 0, target.Width, target.Height}, kBackground);
        const size_t lineEnd = message_.find(L'\n');
        const int32_t middle = target.Height / 2;
        const TRect area{16, 0, target.Width - 16, target.Height};
        DrawTextIn(target, clip, {area.left, middle - 40, area.right, middle},
                   message_.substr(0, lineEnd), 22, kWhite, DT_CENTER | DT_BOTTOM | DT_SINGLELINE,
                   true);
        if (lineEnd != std::wstring::npos)
            DrawTextIn(target, clip, {area.left, middle + 8, area.right, area.bottom},
                       message_.substr(lineEnd + 1), 16, Rgb(200, 202, 206),
                       DT_CENTER | DT_TOP | DT_WORDBREAK);
        return;
    }
    if (const std::optional<TZoomView> zoom = view_.Zoom())
        ComposeZoom(target, clip, *zoom);
    else
        ComposeBook(target, clip);
    ComposeBar(target, clip);
}

void TPageTurnControl::ComposeBook(const TPixelBuffer& target, const TRect& clip) {
    const std::optional<TTurnView> turn = view_.Turn();
    if (!turn) {
        ComposeSpread(target, clip, view_.Spread());
        return;
    }
    // The spread under the leaf, but where the leaf and the page it uncovers are drawn whole.
    std::vector<TPolygon> holes;
    if (turn->fold.folded) {
        const TRect slot = view_.LeafSlot();
        holes = {ToPixels(turn->fold.lifted, slot)};
        if (view_.Layout().TwoPages())
            holes.push_back(ToPixels(turn->fold.leaf, slot));
    }
    ComposeSpread(target, clip, turn->lower, holes);
    if (turn->fold.folded)
        ComposeTurn(target, clip, *turn);
}

void TPageTurnControl::ComposeSpread(const TPixelBuffer& target, const TRect& clip, int32_t index,
                                     const std::vector<TPolygon>& holes) {
    const TBookLayout& layout = view_.Layout();
    TSpread spread = layout.Spread(index);
    if (pages_.empty())
        spread = {-1, 0}; // the cover's place, plain, until the list arrives
    const TRect left = layout.Slot(TPageSide::Left), right = layout.Slot(TPageSide::Right);
    TRect book;
    if (spread.left >= 0 && layout.TwoPages())
        book = RectUnion(book, left);
    if (spread.right >= 0)
        book = RectUnion(book, right);
    // The background where no page will cover it.
    const TRect area = layout.Area();
    if (RectIsEmpty(book)) {
        FillRect(target, clip, area, kBackground);
    } else {
        FillRect(target, clip, {area.left, area.top, area.right, book.top}, kBackground);
        FillRect(target, clip, {area.left, book.bottom, area.right, area.bottom}, kBackground);
        FillRect(target, clip, {area.left, book.top, book.left, book.bottom}, kBackground);
        FillRect(target, clip, {book.right, book.top, area.right, book.bottom}, kBackground);
    }
    ShadowAround(target, clip, book, std::max(layout.Margin(), 6), 0.5, kBlack);
    if (spread.left >= 0 && layout.TwoPages())
        CopyImageAround(target, clip, FaceOf(spread.left, left), left.left, left.top, holes);
    if (spread.right >= 0)
        CopyImageAround(target, clip,
                        pages_.empty() ? SourceOf(*PaperFace(RectWidth(right), RectHeight(right)))
                                       : FaceOf(spread.right, right),
                        right.left, right.top, holes);
}

void TPageTurnControl::ComposeTurn(const TPixelBuffer& target, const TRect& clip,
                                   const TTurnView& turn) {
    const TBookLayout& layout = view_.Layout();
    const TRect slot = view_.LeafSlot();
    const double scale = RectHeight(slot);
    const TFoldGeometry& fold = turn.fold;
    const TSpread upper = layout.Spread(turn.upper);
    const TPolygon lifted = ToPixels(fold.lifted, slot);
    const TPolygon leaf = ToPixels(fold.leaf, slot);
    const TPointF foldPoint{slot.left + fold.foldPoint.x * scale,
                            slot.top + fold.foldPoint.y * scale};
    const TPointF normal = fold.foldNormal;
    const TPointF away{-normal.x, -normal.y};
    // The shadows grow as the leaf rises, and shrink again as it comes to lie on the other side.
    const double aspect = view_.LeafAspect();
    const double rise = FoldRise(fold, aspect);
    const double shadow = FoldShade(fold, aspect) * scale;

    // Where the leaf has lifted off, the page beneath shows, darkened along the fold.
    if (upper.right >= 0)
        CopyPolygon(target, clip, lifted, FaceOf(upper.right, slot), slot.left, slot.top,
                    {foldPoint, normal, shadow, 0.55});
    else
        FillPolygon(target, clip, lifted, kBackground);

    // The leaf's back: the next spread's left page, or blank paper when one page is shown at a
    // time (then the leaf is seen only over its own page).
    TRect leafClip = clip;
    TSourcePixels back;
    if (layout.TwoPages())
        back = FaceOf(upper.left, layout.Slot(TPageSide::Left));
    else {
        leafClip = RectIntersection(clip, slot);
        back = SourceOf(*PaperFace(RectWidth(slot), RectHeight(slot)));
    }
    if (!back.bits || RectIsEmpty(leafClip))
        return;
    // The leaf casts a shadow on what it lies over, strongest where it is lifted most.
    ShadowAroundPolygon(target, leafClip, leaf, LeafShadow(fold, aspect) * scale, 0.4 * rise + 0.1,
                        kBlack, foldPoint, normal);
    // Pixel of the leaf -> page units -> the back page's units -> its face's pixels.
    const TAffine& b = fold.back;
    const TAffine map{b.ux, b.uy, scale * b.u0 - b.ux * slot.left - b.uy * slot.top,
                      b.vx, b.vy, scale * b.v0 - b.vx * slot.left - b.vy * slot.top};
    // The leaf curves near the fold: darker there, as paper bent away from the light.
    MapPolygon(target, leafClip, leaf, back, map, {foldPoint, away, shadow * 1.4, 0.3});
}

void TPageTurnControl::ComposeZoom(const TPixelBuffer& target, const TRect& clip,
                                   const TZoomView& zoom) {
    FillRect(target, clip, view_.Layout().Area(), kBackground);
    const TRect page = zoom.pageRect;
    ShadowAround(target, clip, page, std::max(view_.Layout().Margin(), 6), 0.5, kBlack);
    // The large picture once it is there; meanwhile the page's face, enlarged.
    TSourcePixels source;
    if (large_ && largePage_ == zoom.page)
        source = SourceOf(*large_);
    else
        source = FaceOf(zoom.page, {0, 0, view_.LeafSlot().right - view_.LeafSlot().left,
                                    view_.LeafSlot().bottom - view_.LeafSlot().top});
    DrawScaled(target, clip, source,
               {double(page.left), double(page.top), double(page.right), double(page.bottom)});
}

void TPageTurnControl::ComposeBar(const TPixelBuffer& target, const TRect& clip) {
    const double opacity = view_.BarOpacity();
    const TBarLayout bar = view_.Bar();
    if (opacity <= 0 || !bar.fits || RectIsEmpty(RectIntersection(clip, bar.bar)))
        return;
    const TRect& r = bar.bar;
    FillRoundRect(target, clip, {double(r.left), double(r.top), double(r.right), double(r.bottom)},
                  RectHeight(r) / 2.0, kBarColor, 0.78 * opacity);
    for (const auto& button : bar.buttons) {
        const bool enabled = view_.ButtonEnabled(button.kind);
        const double alpha = opacity * (enabled ? 0.95 : 0.3);
        const double cx = (button.rect.left + button.rect.right) / 2.0;
        const double cy = (button.rect.top + button.rect.bottom) / 2.0;
        if (enabled && button.kind == view_.HoverButton())
            FillRing(target, clip, {cx, cy}, RectHeight(button.rect) / 2.0 - 1, 0, kWhite,
                     0.16 * opacity);
        switch (button.kind) {
        case TBarButton::First:
            FillPolygon(target, clip, Rectangle(cx - 7, cy - 7, cx - 5, cy + 7), kWhite, alpha);
            FillPolygon(target, clip, Triangle({cx + 6, cy - 7}, {cx + 6, cy + 7}, {cx - 4, cy}),
                        kWhite, alpha);
            break;
        case TBarButton::Previous:
            FillPolygon(target, clip, Triangle({cx + 4, cy - 7}, {cx + 4, cy + 7}, {cx - 6, cy}),
                        kWhite, alpha);
            break;
        case TBarButton::Next:
            FillPolygon(target, clip, Triangle({cx - 4, cy - 7}, {cx + 6, cy}, {cx - 4, cy + 7}),
                        kWhite, alpha);
            break;
        case TBarButton::Last:
            FillPolygon(target, clip, Triangle({cx - 6, cy - 7}, {cx + 4, cy}, {cx - 6, cy + 7}),
                        kWhite, alpha);
            FillPolygon(target, clip, Rectangle(cx + 5, cy - 7, cx + 7, cy + 7), kWhite, alpha);
            break;
        case TBarButton::Zoom: {
            // A magnifier with a plus, or a minus while a page is zoomed.
            const TPointF lens{cx - 2, cy - 2};
            FillRing(target, clip, lens, 7, 2, kWhite, alpha);
            TPolygon handle;
            handle.Add({cx + 2.6, cy + 4.0});
            handle.Add({cx + 4.0, cy + 2.6});
            handle.Add({cx + 8.6, cy + 7.2});
            handle.Add({cx + 7.2, cy + 8.6});
            FillPolygon(target, clip, handle, kWhite, alpha);
            FillPolygon(target, clip, Rectangle(lens.x - 3.5, lens.y - 1, lens.x + 3.5, lens.y + 1),
                        kWhite, alpha);
            if (!view_.Zoom())
                FillPolygon(target, clip,
                            Rectangle(lens.x - 1, lens.y - 3.5, lens.x + 1, lens.y + 3.5), kWhite,
                            alpha);
            break;
        }
        case TBarButton::FullScreen: {
            // Four corners pointing out, or in while in full screen.
            const double in = view_.FullScreen() ? 1 : 0;
            for (int sx : {-1, 1})
                for (int sy : {-1, 1}) {
                    const double x = cx + sx * (in ? 2.0 : 8.0), y = cy + sy * (in ? 2.0 : 7.0);
                    const double dx = (in ? 1 : -1) * sx * 6.0, dy = (in ? 1 : -1) * sy * 6.0;
                    FillPolygon(target, clip,
                                Rectangle(std::min(x, x + dx), y - 1, std::max(x, x + dx), y + 1),
                                kWhite, alpha);
                    FillPolygon(target, clip,
                                Rectangle(x - 1, std::min(y, y + dy), x + 1, std::max(y, y + dy)),
                                kWhite, alpha);
                }
            break;
        }
        case TBarButton::None:
            break;
        }
    }
    const std::string label = view_.BarLabel();
    DrawTextIn(target, clip, bar.label, Utf8ToWide(label), 15, kWhite,
               DT_CENTER | DT_VCENTER | DT_SINGLELINE, false, opacity);
}

// ---- faces of pages that show no picture, and the spine

void TPageTurnControl::DrawBrokenPage(TImage& face, const std::wstring& name) {
    const TPixelBuffer target = face.View();
    const TRect all{0, 0, face.width, face.height};
    const double cx = face.width / 2.0, cy = face.height / 2.0 - face.height / 12.0;
    const double size = std::clamp(face.width / 6.0, 18.0, 64.0);
    // A sheet torn across: the upper part in place, the lower one fallen away a little.
    const double l = cx - size / 2, r = cx + size / 2, t = cy - size * 0.65, b = cy + size * 0.65;
    TPolygon upper;
    upper.Add({l, t});
    upper.Add({r, t});
    upper.Add({r, cy - size * 0.2});
    upper.Add({l, cy + size * 0.1});
    FillPolygon(target, all, upper, kBrokenColor);
    TPolygon lower;
    const double dx = size * 0.08, dy = size * 0.14;
    lower.Add({l + dx, cy + size * 0.1 + dy});
    lower.Add({r + dx, cy - size * 0.2 + dy});
    lower.Add({r + dx, b + dy});
    lower.Add({l + dx, b + dy});
    FillPolygon(target, all, lower, kBrokenColor, 0.8);
    const int32_t textTop = int32_t(b + dy + size * 0.4);
    const int32_t height = std::clamp(face.height / 36, 11, 18);
    DrawTextIn(target, all, {8, textTop, face.width - 8, textTop + 2 * height},
               L"This page cannot be shown", height, Rgb(90, 84, 78),
               DT_CENTER | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS, true);
    DrawTextIn(target, all, {8, textTop + 2 * height, face.width - 8, face.height - 8}, name,
               height, Rgb(130, 124, 118), DT_CENTER | DT_TOP | DT_WORDBREAK | DT_PATH_ELLIPSIS);
}

void TPageTurnControl::ShadeGutter(TImage& face, int32_t page) const {
    // Two pages side by side meet at the spine, where the paper curves down into the binding.
    if (!view_.Layout().TwoPages())
        return;
    const bool onRight = page % 2 == 0;
    const int32_t band = std::max(face.width / 18, 2);
    const TRect all{0, 0, face.width, face.height};
    if (onRight)
        BlendGradient(face.View(), all, {0, 0, band, face.height}, kBlack, 0.22, 0, true);
    else
        BlendGradient(face.View(), all, {face.width - band, 0, face.width, face.height}, kBlack, 0,
                      0.22, true);
}

// ---- text

void TPageTurnControl::DrawTextIn(const TPixelBuffer& target, const TRect& clip, const TRect& rect,
                                  const std::wstring& text, int32_t height, uint32_t color,
                                  UINT format, bool bold, double opacity) {
    const TRect area = RectIntersection(clip, rect);
    if (RectIsEmpty(area) || text.empty() || RectIsEmpty(rect))
        return;
    // White on black in a bitmap of its own: the grey levels are how much of each pixel the
    // letters cover, so the text is blended smoothly over whatever lies beneath.
    scratch_.Resize(RectWidth(rect), RectHeight(rect));
    scratch_.FillAll(0xFF000000u);
    const HDC dc = scratch_.MemoryDC();
    HFONT& font = fonts_[height * 2 + (bold ? 1 : 0)];
    if (!font)
        font = CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
    {
        const TSelectedObject selected(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        RECT box{0, 0, RectWidth(rect), RectHeight(rect)};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_NOPREFIX);
    }
    GdiFlush();
    BlendMask(target, area, {scratch_.Bits(), scratch_.Width(), scratch_.Height()}, rect.left,
              rect.top, color, opacity);
}
