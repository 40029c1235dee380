// The built-in page-turning control's portable core: spreads and where pages go, the folded leaf,
// turning by keys, clicks, drags and the wheel, zoom, the bar, and the pixel work.

#include <gtest/gtest.h>

#include <cmath>

#include "pageturn/book_view.h"
#include "pageturn/raster.h"

namespace {

constexpr TRect kWide{0, 0, 1000, 600}, kTall{0, 0, 600, 1000};

std::vector<TSpread> Spreads(int32_t count, const TRect& area) {
    TBookLayout layout;
    layout.SetArea(area);
    layout.SetPageCount(count);
    std::vector<TSpread> spreads;
    for (int32_t i = 0; i < layout.SpreadCount(); ++i)
        spreads.push_back(layout.Spread(i));
    return spreads;
}

// A book of count pages of 3 x 4, seen in area, at rest at time 0.
class BookView : public testing::Test {
protected:
    void Open(int32_t count, const TRect& area = kWide) {
        view.SetArea(area);
        view.SetPageCount(count);
        view.SetPageShape(3, 4);
        view.TakeDirty();
    }
    TRect Right() const { return view.Layout().Slot(TPageSide::Right); }
    TRect Left() const { return view.Layout().Slot(TPageSide::Left); }
    // Runs the animations to their end.
    void Settle() {
        now += 1;
        view.Advance(now);
    }
    void Drag(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        view.MouseDown(x0, y0, now);
        for (int i = 1; i <= 8; ++i)
            view.MouseMove(x0 + (x1 - x0) * i / 8, y0 + (y1 - y0) * i / 8, true, now += 0.01);
    }

    TBookView view;
    double now = 0;
};

} // namespace

TEST(BookLayout, TheCoverAloneOnTheRightAndAnEvenBooksLastPageAloneOnTheLeft) {
    EXPECT_TRUE(Spreads(0, kWide).empty());
    EXPECT_EQ(Spreads(1, kWide), (std::vector<TSpread>{{-1, 0}}));
    EXPECT_EQ(Spreads(4, kWide), (std::vector<TSpread>{{-1, 0}, {1, 2}, {3, -1}}));
    EXPECT_EQ(Spreads(5, kWide), (std::vector<TSpread>{{-1, 0}, {1, 2}, {3, 4}}));
    // Taller than wide: one page at a time.
    EXPECT_EQ(Spreads(3, kTall), (std::vector<TSpread>{{-1, 0}, {-1, 1}, {-1, 2}}));

    TBookLayout layout;
    layout.SetArea(kWide);
    layout.SetPageCount(5);
    EXPECT_EQ(layout.SpreadOf(0), 0);
    EXPECT_EQ(layout.SpreadOf(1), 1);
    EXPECT_EQ(layout.SpreadOf(2), 1);
    EXPECT_EQ(layout.SpreadOf(4), 2);
    EXPECT_EQ(layout.SpreadOf(99), 2);
    EXPECT_EQ(layout.Spread(3), TSpread{});
    EXPECT_EQ(layout.Spread(-1), TSpread{});
}

TEST(BookLayout, PagesAsLargeAsFitInProportionCentredWithASpineBetween) {
    TBookLayout layout;
    layout.SetArea(kWide);
    layout.SetPageShape(3, 4);
    const TRect left = layout.Slot(TPageSide::Left), right = layout.Slot(TPageSide::Right);
    EXPECT_EQ(RectWidth(left), RectWidth(right));
    EXPECT_EQ(left.right, right.left);
    EXPECT_EQ(layout.SpineX(), 500);
    EXPECT_EQ(RectHeight(right), 600 - 2 * layout.Margin());
    EXPECT_NEAR(double(RectWidth(right)) / RectHeight(right), 0.75, 0.01);
    layout.SetArea(kTall);
    const TRect only = layout.Slot(TPageSide::Right);
    EXPECT_EQ(layout.Slot(TPageSide::Left), only);
    EXPECT_EQ(RectWidth(only), 600 - 2 * layout.Margin());
    EXPECT_NEAR(only.top + only.bottom, 1000, 1); // centred
}

TEST(PageFold, TheLeafLiftsFromItsCornerAndLiesMirroredOnceTurned) {
    const double a = 0.75;
    EXPECT_FALSE(Fold(RestCorner(TCorner::Bottom, a), TCorner::Bottom, a).folded);
    const TFoldGeometry turned = Fold(TurnedCorner(TCorner::Bottom, a), TCorner::Bottom, a);
    ASSERT_TRUE(turned.folded);
    EXPECT_EQ(turned.lifted.count, 4); // all of the page
    for (int32_t i = 0; i < turned.leaf.count; ++i)
        EXPECT_LE(turned.leaf.points[i].x, 1e-9);
    // The turned leaf's outer edge shows the back page's outer (left) edge, its spine edge the
    // back page's spine edge, upright.
    const TPointF outer = turned.back.Apply({-a, 0.25}), spine = turned.back.Apply({0, 0.75});
    EXPECT_NEAR(outer.x, 0, 1e-9);
    EXPECT_NEAR(outer.y, 0.25, 1e-9);
    EXPECT_NEAR(spine.x, a, 1e-9);
    EXPECT_NEAR(spine.y, 0.75, 1e-9);

    // Half way the corner has left a triangle near it.
    const TFoldGeometry half = Fold({0.5, 0.9}, TCorner::Bottom, a);
    ASSERT_TRUE(half.folded);
    EXPECT_EQ(half.lifted.count, 3);
    // A leaf fixed at the spine cannot bring its corner further than a page width from it.
    const TPointF far = ClampCorner({-3, 1}, TCorner::Bottom, a);
    EXPECT_NEAR(std::hypot(far.x, far.y - 1), a, 1e-9);
    EXPECT_EQ(ClampCorner({0.2, 0.3}, TCorner::Edge, a).y, 1.0);
}

TEST_F(BookView, KeysTurnWithAnAnimationOfHalfASecondAndNeverPastTheEnds) {
    Open(6); // spreads: 0 | 1-2 | 3-4 | 5
    view.KeyDown(PageKey::kLeft, now);
    EXPECT_FALSE(view.Turn());
    view.KeyDown(PageKey::kRight, now);
    ASSERT_TRUE(view.Turn());
    EXPECT_EQ(view.Turn()->lower, 0);
    EXPECT_EQ(view.Turn()->upper, 1);
    EXPECT_EQ(view.NextWake(now), 0);
    view.TakeDirty(); // the start, painted as the key is handled
    view.Advance(now + 0.25);
    ASSERT_TRUE(view.Turn());
    EXPECT_TRUE(view.Turn()->fold.folded);
    // Only the turning part of the spread is repainted while it runs.
    int32_t repainted = 0;
    for (const TRect& r : view.TakeDirty())
        repainted += RectWidth(r) * RectHeight(r);
    EXPECT_GT(repainted, 0);
    EXPECT_LT(repainted, 1000 * 600 / 2);
    view.Advance(now + TBookView::kTurnSeconds);
    EXPECT_FALSE(view.Turn());
    EXPECT_EQ(view.Spread(), 1);

    // A new turn while one runs finishes the running one at once.
    view.KeyDown(PageKey::kPageDown, now = 1);
    view.KeyDown(PageKey::kSpace, now += 0.1);
    EXPECT_EQ(view.Spread(), 2);
    ASSERT_TRUE(view.Turn());
    EXPECT_EQ(view.Turn()->upper, 3);
    Settle();
    EXPECT_EQ(view.Spread(), 3);
    view.KeyDown(PageKey::kRight, now);
    EXPECT_FALSE(view.Turn());
    view.KeyDown(PageKey::kHome, now);
    Settle();
    EXPECT_EQ(view.Spread(), 0);
    view.KeyDown(PageKey::kEnd, now);
    ASSERT_TRUE(view.Turn());
    EXPECT_FALSE(view.Turn()->forward == false);
    Settle();
    EXPECT_EQ(view.Spread(), 3);
    view.KeyDown(PageKey::kPageUp, now);
    ASSERT_TRUE(view.Turn());
    EXPECT_FALSE(view.Turn()->forward);
    Settle();
    EXPECT_EQ(view.Spread(), 2);
}

TEST_F(BookView, ClicksTurnTheRightPageForwardAndTheLeftPageBack) {
    Open(6);
    const TRect right = Right(), left = Left();
    view.MouseDown(right.left + 20, right.top + 100, now);
    view.MouseUp(right.left + 21, right.top + 101, now);
    Settle();
    EXPECT_EQ(view.Spread(), 1);
    view.MouseDown(left.left + 60, left.top + 100, now);
    view.MouseUp(left.left + 60, left.top + 100, now);
    Settle();
    EXPECT_EQ(view.Spread(), 0);
    // Beside the book nothing happens; so on the cover's empty left side.
    view.MouseDown(2, 2, now);
    view.MouseUp(2, 2, now);
    view.MouseDown(left.left + 60, left.top + 100, now);
    view.MouseUp(left.left + 60, left.top + 100, now);
    EXPECT_FALSE(view.Turn());
    // One page at a time: the right half turns forward.
    Open(3, kTall);
    view.MouseDown(Right().right - 10, 500, now);
    view.MouseUp(Right().right - 10, 500, now);
    Settle();
    EXPECT_EQ(view.Spread(), 1);
}

TEST_F(BookView, ADraggedCornerFollowsThePointerAndCompletesOnlyPastTheSpine) {
    Open(6);
    const TRect right = Right();
    const int32_t x = right.right - 5, y = right.bottom - 5;
    // Within the threshold a press is still a click to be.
    view.MouseDown(x, y, now);
    view.MouseMove(x - TBookView::kDragThreshold + 1, y, true, now);
    EXPECT_FALSE(view.Turn());
    view.MouseUp(x - TBookView::kDragThreshold + 1, y, now);
    Settle();
    EXPECT_EQ(view.Spread(), 1); // it was a click

    view.KeyDown(PageKey::kHome, now);
    Settle();
    Drag(x, y, right.left + 40, y - 30);
    ASSERT_TRUE(view.Turn());
    EXPECT_EQ(view.Turn()->corner, TCorner::Bottom);
    EXPECT_TRUE(view.Turn()->fold.folded);
    EXPECT_NE(view.NextWake(now), 0); // the pointer drives it, no animation
    view.MouseUp(right.left + 40, y - 30, now);
    Settle();
    EXPECT_EQ(view.Spread(), 0); // not past the spine: it falls back

    Drag(x, right.top + RectHeight(right) / 2, right.left - 40, right.top + RectHeight(right) / 2);
    EXPECT_EQ(view.Turn()->corner, TCorner::Edge);
    view.MouseUp(right.left - 40, y, now);
    Settle();
    EXPECT_EQ(view.Spread(), 1);

    // The left page's outer corner turns back; inner parts of a page do not drag.
    const TRect left = Left();
    Drag(left.left + 5, left.top + 5, right.left + 30, left.top + 40);
    ASSERT_TRUE(view.Turn());
    EXPECT_EQ(view.Turn()->corner, TCorner::Top);
    view.MouseUp(right.left + 30, left.top + 40, now);
    Settle();
    EXPECT_EQ(view.Spread(), 0);
    Drag(right.left + 30, right.top + 100, right.left - 200, right.top + 100);
    EXPECT_FALSE(view.Turn());
}

TEST_F(BookView, TheWheelTurnsAndWithCtrlZoomsWithinItsLimits) {
    Open(6);
    view.Wheel(-60, false, 500, 300, now);
    EXPECT_FALSE(view.Turn()); // half a notch
    view.Wheel(-60, false, 500, 300, now);
    Settle();
    EXPECT_EQ(view.Spread(), 1);
    view.Wheel(120, false, 500, 300, now);
    Settle();
    EXPECT_EQ(view.Spread(), 0);

    const TRect right = Right();
    view.Wheel(120, true, right.left + 50, right.top + 50, now);
    ASSERT_TRUE(view.Zoom());
    EXPECT_EQ(view.Zoom()->page, 0);
    for (int i = 0; i < 20; ++i)
        view.Wheel(120, true, right.left + 50, right.top + 50, now);
    EXPECT_DOUBLE_EQ(view.Zoom()->scale, TBookView::kMaxZoom);
    // Larger than the area, the page always covers it.
    const TRect page = view.Zoom()->pageRect;
    EXPECT_LE(page.left, 0);
    EXPECT_LE(page.top, 0);
    EXPECT_GE(page.right, 1000);
    EXPECT_GE(page.bottom, 600);
    for (int i = 0; i < 20 && view.Zoom(); ++i)
        view.Wheel(-120, true, 500, 300, now);
    EXPECT_FALSE(view.Zoom());
    EXPECT_EQ(view.Spread(), 0);
}

TEST_F(BookView, ZoomByKeysAndDoubleClickAndPanByDragging) {
    Open(6);
    view.Character('+', now);
    ASSERT_TRUE(view.Zoom());
    EXPECT_DOUBLE_EQ(view.Zoom()->scale, TBookView::kZoomStep);
    view.Character('-', now);
    ASSERT_TRUE(view.Zoom());
    EXPECT_DOUBLE_EQ(view.Zoom()->scale, 1);
    view.Character('-', now);
    EXPECT_FALSE(view.Zoom());

    // The first click of a double click turned the page: the second undoes it and zooms into
    // the page that was clicked.
    const TRect right = Right();
    view.MouseDown(right.left + 60, right.top + 60, now);
    view.MouseUp(right.left + 60, right.top + 60, now);
    ASSERT_TRUE(view.Turn());
    view.DoubleClick(right.left + 60, right.top + 60, now += 0.2);
    view.MouseUp(right.left + 60, right.top + 60, now);
    EXPECT_FALSE(view.Turn());
    ASSERT_TRUE(view.Zoom());
    EXPECT_EQ(view.Zoom()->page, 0);
    EXPECT_DOUBLE_EQ(view.Zoom()->scale, TBookView::kDoubleClickZoom);
    const TRect before = view.Zoom()->pageRect;
    Drag(500, 300, 520, 270);
    view.MouseUp(520, 270, now);
    // Narrower than the area, the page stays centred across; it follows the pointer down.
    EXPECT_EQ(view.Zoom()->pageRect.left, before.left);
    EXPECT_EQ(view.Zoom()->pageRect.top - before.top, -30);
    // Turning keys leave the zoom and turn.
    view.KeyDown(PageKey::kRight, now);
    EXPECT_FALSE(view.Zoom());
    Settle();
    EXPECT_EQ(view.Spread(), 1);
}

TEST_F(BookView, TheBarFadesAfterStillnessAndItsButtonsAct) {
    Open(6);
    view.MouseMove(10, 10, false, now);
    EXPECT_EQ(view.BarOpacity(), 1);
    EXPECT_EQ(view.NextWake(now), TBookView::kBarStillSeconds);
    view.Advance(now + TBookView::kBarStillSeconds + TBookView::kBarFadeSeconds / 2);
    EXPECT_GT(view.BarOpacity(), 0);
    EXPECT_LT(view.BarOpacity(), 1);
    view.Advance(now + TBookView::kBarStillSeconds + TBookView::kBarFadeSeconds);
    EXPECT_EQ(view.BarOpacity(), 0);
    EXPECT_EQ(view.NextWake(now + 5), -1);

    const TBarLayout bar = view.Bar();
    ASSERT_TRUE(bar.fits);
    const auto press = [&](TBarButton kind) {
        for (const auto& button : bar.buttons)
            if (button.kind == kind) {
                view.MouseDown(button.rect.left + 5, button.rect.top + 5, now);
                view.MouseUp(button.rect.left + 5, button.rect.top + 5, now);
            }
        Settle();
    };
    EXPECT_EQ(view.BarLabel(), "1 / 6");
    EXPECT_FALSE(view.ButtonEnabled(TBarButton::Previous));
    press(TBarButton::Last);
    EXPECT_EQ(view.BarLabel(), "6 / 6");
    press(TBarButton::Previous);
    EXPECT_EQ(view.BarLabel(), "4\xE2\x80\x93"
                               "5 / 6");
    EXPECT_FALSE(view.Zoom());
    press(TBarButton::FullScreen);
    view.KeyDown(PageKey::kF11, now);
    view.KeyDown(PageKey::kF11, now);
    view.KeyDown(PageKey::kEscape, now); // the window leaves full screen itself
    view.KeyDown(PageKey::kF11, now);
    EXPECT_EQ(view.TakeFullScreenRequests(), (std::vector<bool>{true, false, true, true}));
}

// Every case drawn with each set of the processor's vector instructions (as far as it has them)
// and with none.
class Raster : public testing::TestWithParam<TVectorInstructions> {
protected:
    void SetUp() override { LimitVectorInstructions(GetParam()); }
    void TearDown() override { LimitVectorInstructions(TVectorInstructions::Avx2); }
};
INSTANTIATE_TEST_SUITE_P(Instructions, Raster,
                         testing::Values(TVectorInstructions::Avx2, TVectorInstructions::Sse2,
                                         TVectorInstructions::None),
                         [](const auto& info) {
                             return info.param == TVectorInstructions::Avx2   ? "Avx2"
                                    : info.param == TVectorInstructions::Sse2 ? "Sse2"
                                                                              : "Plain";
                         });

TEST_P(Raster, ScalesByAveragingAndMapsAPolygonWithSmoothEdges) {
    // Shrinking averages: a 4 x 2 picture of black and white columns becomes grey.
    TImage source;
    source.Resize(4, 2);
    for (int32_t i = 0; i < 8; ++i)
        source.pixels[size_t(i)] = i % 2 ? Rgb(255, 255, 255) : 0xFF000000u;
    TImage target;
    target.Resize(2, 1);
    DrawScaled(target.View(), {0, 0, 2, 1}, SourceOf(source), {0, 0, 2, 1});
    EXPECT_EQ(target.pixels[0], Rgb(128, 128, 128));
    // Growing keeps the colour of a one-colour picture exactly.
    source.Resize(2, 2, Rgb(10, 200, 30));
    target.Resize(7, 5);
    DrawScaled(target.View(), {0, 0, 7, 5}, SourceOf(source), {0, 0, 7, 5});
    for (uint32_t p : target.pixels)
        EXPECT_EQ(p, Rgb(10, 200, 30));

    // A square mapped by a shift: inside exact, the edge half covered, outside untouched.
    TImage face;
    face.Resize(10, 10, Rgb(200, 0, 0));
    target.Resize(20, 20, Rgb(0, 0, 200));
    TPolygon square;
    square.Add({5, 5});
    square.Add({15, 5});
    square.Add({15, 15.5});
    square.Add({5, 15.5});
    MapPolygon(target.View(), {0, 0, 20, 20}, square, SourceOf(face), {1, 0, -5, 0, 1, -5});
    EXPECT_EQ(target.pixels[10 * 20 + 10], Rgb(200, 0, 0));
    EXPECT_EQ(target.pixels[4 * 20 + 10], Rgb(0, 0, 200));
    EXPECT_EQ(target.pixels[15 * 20 + 10], Rgb(100, 0, 100));
    // Nothing is drawn outside the clip.
    target.Resize(20, 20, Rgb(0, 0, 200));
    MapPolygon(target.View(), {0, 0, 20, 8}, square, SourceOf(face), {1, 0, -5, 0, 1, -5});
    EXPECT_EQ(target.pixels[10 * 20 + 10], Rgb(0, 0, 200));
    EXPECT_EQ(target.pixels[7 * 20 + 10], Rgb(200, 0, 0));
    // Nor in the rows beside a level edge, whether the clip cuts the polygon or not.
    for (const TRect clip : {TRect{0, 0, 20, 20}, TRect{8, 0, 20, 20}}) {
        target.Resize(20, 20, Rgb(0, 0, 200));
        FillPolygon(target.View(), clip, square, Rgb(200, 0, 0));
        for (int32_t x = 0; x < 20; ++x)
            EXPECT_EQ(target.pixels[4 * 20 + size_t(x)], Rgb(0, 0, 200)) << x;
    }

    // Samples that start outside the picture and stay there over the row, the map barely moving
    // across it, are clamped to its edge: nothing beyond the polygon's own pixels is touched.
    target.Resize(20, 4, Rgb(0, 0, 200));
    TPolygon strip;
    strip.Add({0, 2});
    strip.Add({3, 2});
    strip.Add({3, 4});
    strip.Add({0, 4});
    MapPolygon(target.View(), {0, 0, 20, 4}, strip, SourceOf(face), {0.001, 0, -0.3, 0, 1, 0});
    EXPECT_EQ(target.pixels[2 * 20 + 1], Rgb(200, 0, 0));
    EXPECT_EQ(target.pixels[2 * 20 + 15], Rgb(0, 0, 200));
    EXPECT_EQ(target.pixels[3 * 20 + 15], Rgb(0, 0, 200));

    // A shade darkens by its distance from the line, in steps of 1/256 of its width, pixel by
    // pixel alike however many are shaded at once.
    TImage plain;
    plain.Resize(67, 1, Rgb(200, 100, 50));
    target.Resize(67, 1);
    TPolygon line;
    line.Add({0, 0});
    line.Add({67, 0});
    line.Add({67, 1});
    line.Add({0, 1});
    CopyPolygon(target.View(), {0, 0, 67, 1}, line, SourceOf(plain), 0, 0,
                {{0, 0.5}, {1, 0}, 64, 0.5});
    for (uint32_t x = 0; x < 67; ++x) {
        const double fall = x < 64 ? 1 - (4 * x + 2) / 256.0 : 0;
        const uint32_t keep = 256 - uint32_t(0.5 * fall * fall * 256 + 0.5);
        EXPECT_EQ(target.pixels[x], Rgb(200 * keep >> 8, 100 * keep >> 8, 50 * keep >> 8)) << x;
    }

    // A shadow falls outside a polygon, fading with the distance over its reach, and only on one
    // side of its line.
    TPolygon block;
    block.Add({-5, -5});
    block.Add({10, -5});
    block.Add({10, 5});
    block.Add({-5, 5});
    for (const double side : {-1.0, 1.0}) {
        target.Resize(64, 1, 0x00FFFFFFu); // untouched where no shadow falls
        ShadowAroundPolygon(target.View(), {0, 0, 64, 1}, block, 30, 0.5, Rgb(0, 0, 0), {25, 0},
                            {side, 0});
        for (uint32_t x = 0; x < 64; ++x) {
            const double outside = x + 0.5 - 10;
            const double fall = 1 - int(outside * 256 / 30) / 256.0;
            const uint32_t alpha = (x + 0.5 - 25) * side <= 0 && outside > 0 && outside < 30
                                       ? uint32_t(0.5 * fall * fall * 256 + 0.5)
                                       : 0;
            const uint32_t level = 255 * (256 - alpha) >> 8;
            EXPECT_EQ(target.pixels[x], alpha ? Rgb(level, level, level) : 0x00FFFFFFu)
                << x << " " << side;
        }
    }

    // Bilinear: down by the fraction of v, across by that of u (the run eight pixels wide).
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            face.pixels[size_t(y * 10 + x)] = Rgb(uint32_t(x) * 20, uint32_t(y) * 20, 0);
    target.Resize(20, 20, Rgb(0, 0, 200));
    MapPolygon(target.View(), {0, 0, 20, 20}, square, SourceOf(face), {1, 0, -4.75, 0, 1, -4.5});
    EXPECT_EQ(target.pixels[10 * 20 + 10], Rgb(105, 110, 0));

    // A leaf wider and taller than the pieces it is sampled in, turned, running off the picture's
    // edges: each pixel as the formula gives it (a linear picture, a map exact in fixed point,
    // clamped to the picture).
    face.Resize(16, 16);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            face.pixels[size_t(y * 16 + x)] = Rgb(uint32_t(x) * 15, uint32_t(y) * 15, 0);
    target.Resize(160, 96, 0);
    TPolygon leaf;
    leaf.Add({8, 8});
    leaf.Add({152, 8});
    leaf.Add({152, 88});
    leaf.Add({8, 88});
    const TAffine turned{0.0625, -0.03125, -2, 0.03125, 0.0625, 6};
    MapPolygon(target.View(), {0, 0, 160, 96}, leaf, SourceOf(face), turned);
    int wrong = 0;
    for (int32_t y = 8; y < 88; ++y)
        for (int32_t x = 8; x < 152; ++x) {
            const TPointF at = turned.Apply({x + 0.5, y + 0.5});
            const auto channel = [](double position) {
                const int64_t fixed =
                    std::clamp<int64_t>(std::llround((position - 0.5) * 65536), 0, 15 << 16);
                return uint32_t(fixed >> 16) * 15 + (15 * uint32_t(fixed >> 8 & 0xFF) >> 8);
            };
            wrong += target.pixels[size_t(y * 160 + x)] != Rgb(channel(at.x), channel(at.y), 0);
        }
    EXPECT_EQ(wrong, 0);
}
