// Drawing the windowless control: the parent's image captured under it, the control drawn over
// it in off-screen bitmaps, and the result on the parent's window; the drawing surface's rules
// also on their own, without a control.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "qel/host/qel_drawing_surface_win.h"
#include "tests/support/counting_win.h"
#include "tests/win/host_test_support.h"
#include "ui/colors_win.h"

namespace {

constexpr COLORREF kParentColor = RGB(40, 200, 0);
constexpr COLORREF kSwatchColor = RGB(200, 0, 120);
constexpr TqelColor kMarker = 0xFF123456;

// A windowed parent with the border styles a form's child may have.
class TStyledParent : public TWinControl {
public:
    TStyledParent(TComponent* owner, DWORD style, DWORD exStyle)
        : TWinControl(owner), style_(style), exStyle_(exStyle) {}

protected:
    void CreateParams(TCreateParams& params) override {
        TWinControl::CreateParams(params);
        params.style |= style_;
        params.exStyle |= exStyle_;
    }

private:
    DWORD style_, exStyle_;
};

// A graphic sibling of one solid colour; onPaint runs after every paint of it.
class TSwatch : public TControl {
public:
    explicit TSwatch(TComponent* owner) : TControl(owner) {}
    void Paint() override {
        if (const HDC dc = Canvas().Handle()) {
            const TGdiObject brush(CreateSolidBrush(kSwatchColor));
            const RECT all{0, 0, Width(), Height()};
            FillRect(dc, &all, static_cast<HBRUSH>(brush.Get()));
        }
        if (onPaint)
            onPaint();
    }
    std::function<void()> onPaint;
};

COLORREF PixelOf(const TqelBitmap& bitmap, int x, int y) {
    GdiFlush();
    const TqelColor p = *bitmap.PixelAddress(x, y);
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

// What the window shows at a point of its client area.
COLORREF ScreenPixel(HWND window, int x, int y) {
    GdiFlush();
    const HDC dc = GetDC(window);
    const COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return pixel;
}

// The stand-in's half-transparent veil over a colour, each channel within one step.
testing::AssertionResult IsVeiled(COLORREF pixel, COLORREF under) {
    using namespace StandinPicture;
    const auto blend = [](int veil, int old) {
        return (veil * kVeilAlpha + old * (255 - kVeilAlpha)) / 255;
    };
    const int expected[3] = {blend(GetRValue(kVeilColor), GetRValue(under)),
                             blend(GetGValue(kVeilColor), GetGValue(under)),
                             blend(GetBValue(kVeilColor), GetBValue(under))};
    const int actual[3] = {GetRValue(pixel), GetGValue(pixel), GetBValue(pixel)};
    for (int i = 0; i < 3; ++i)
        if (std::abs(expected[i] - actual[i]) > 1)
            return testing::AssertionFailure()
                   << "pixel " << actual[0] << "," << actual[1] << "," << actual[2] << " is not "
                   << expected[0] << "," << expected[1] << "," << expected[2];
    return testing::AssertionSuccess();
}

// A parent of a known colour holding a swatch and, partly over its lower right corner, the
// host: the host's columns 0 to 9 from row 70 down lie over the swatch.
class HostRender : public testing::Test {
protected:
    static constexpr int kLeft = 30, kTop = 20, kWidth = 120, kHeight = 100;

    void Build(DWORD style = 0, DWORD exStyle = 0) {
        parent = new TStyledParent(hosted.form, style, exStyle);
        parent->SetColor(static_cast<TColor>(kParentColor));
        parent->SetParent(hosted.panel);
        parent->SetBounds(8, 8, 300, 200);
        swatch = new TSwatch(hosted.form);
        swatch->SetParent(parent);
        swatch->SetBounds(10, kTop + 70, 30, 100);
        host = new TTestHost(hosted.form);
        host->SetParent(parent);
        host->SetBounds(kLeft, kTop, kWidth, kHeight);
        hosted.application->ProcessMessages();
        standin = StandinBehind(*host);
    }

    // The component's pixel as the parent's window shows it.
    COLORREF Shown(int x, int y) { return ScreenPixel(parent->Handle(), kLeft + x, kTop + y); }

    THostedForm hosted;
    TStyledParent* parent = nullptr;
    TSwatch* swatch = nullptr;
    TTestHost* host = nullptr;
    ComPtr<IStandinControl> standin;
};

// A client of the drawing surface alone, with no control behind it: it records the area each
// draw was asked for ("all" for everything) and paints whenever the window is to be repainted.
class TRecordingClient final : public TqelDrawingSurface::TClient {
public:
    static constexpr int kWidth = 100, kHeight = 80;

    TRecordingClient() {
        surface.Resize(kWidth, kHeight, [] {});
    }
    void DrawControl(HDC, const RECTL*) override {
        const std::optional<RECT>& dirty = surface.DirtyRect();
        drawn.push_back(!dirty ? "all"
                               : std::to_string(dirty->left) + "," + std::to_string(dirty->top) +
                                     "," + std::to_string(dirty->right) + "," +
                                     std::to_string(dirty->bottom));
        if (const auto act = std::exchange(duringDraw, nullptr))
            act();
    }
    void CaptureBackground(TqelBitmap&) override {}
    HDC WindowContext() override { return nullptr; }
    void RepaintWindow() override { PaintAgain(); }
    void PaintAgain() override {
        surface.Draw(kWidth, kHeight);
        surface.EndPaint();
    }

    TqelDrawingSurface surface{*this};
    std::vector<std::string> drawn;
    std::function<void()> duringDraw; // once, inside the next draw
};

} // namespace

TEST_F(HostRender, TheFirstInvalidationAfterAResizeRepaintsEverything) {
    Build();
    ASSERT_TRUE(host->FullRepaintPending());
    host->OutputBitmap()->FillAll(kMarker);
    standin->ClearLog();
    const RECT small{50, 50, 60, 60};
    ASSERT_EQ(standin->Invalidate(&small), S_OK);
    auto lines = LogOf(*host);
    EXPECT_EQ(CountStarting(lines, "Draw("), 1);
    EXPECT_EQ(LineStarting(lines, "Draw("), "Draw(aspect=32, bounds=null) -> S_OK");
    EXPECT_EQ(CountOf(*host->OutputBitmap(), kMarker), 0);
    EXPECT_FALSE(host->FullRepaintPending());

    // The next one is its own rectangle only; so is the first after a resize to the same size.
    standin->ClearLog();
    ASSERT_EQ(standin->Invalidate(&small), S_OK);
    EXPECT_EQ(LineStarting(LogOf(*host), "Draw("), "Draw(aspect=32, bounds=0,0,60,60) -> S_OK");
    host->SetBounds(kLeft, kTop, kWidth, kHeight);
    standin->ClearLog();
    ASSERT_EQ(standin->Invalidate(&small), S_OK);
    EXPECT_EQ(LineStarting(LogOf(*host), "Draw("), "Draw(aspect=32, bounds=null) -> S_OK");
}

TEST_F(HostRender, ADirtyRectangleLandsAtItsOwnPlaceAndLeavesTheRestAlone) {
    Build();
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    TqelBitmap& output = *host->OutputBitmap();
    output.FillAll(kMarker);
    // Partly outside the component: only the part inside counts.
    const RECT dirty{70, 30, 110, 80}, outside{100, 90, 140, 130};
    standin->ClearLog();
    ASSERT_EQ(standin->Invalidate(&dirty), S_OK);
    EXPECT_EQ(LineStarting(LogOf(*host), "Draw("), "Draw(aspect=32, bounds=0,0,110,80) -> S_OK");
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const POINT p{x, y};
            if (!PtInRect(&dirty, p)) {
                ASSERT_EQ(*output.PixelAddress(x, y), kMarker) << x << "," << y;
            }
        }
    // The control drew at (0, 0, 110, 80): its frame along the right and bottom of the
    // rectangle, its veil over the background inside.
    using StandinPicture::kFrameColor;
    EXPECT_EQ(PixelOf(output, 108, 50), kFrameColor);
    EXPECT_EQ(PixelOf(output, 90, 78), kFrameColor);
    EXPECT_TRUE(IsVeiled(PixelOf(output, 80, 60), kParentColor));
    EXPECT_TRUE(IsVeiled(PixelOf(output, 105, 75), kParentColor));
    EXPECT_EQ(PixelOf(output, 70, 30), PixelOf(*host->WorkBitmap(), 0, 0));
    EXPECT_EQ(PixelOf(output, 109, 79), PixelOf(*host->WorkBitmap(), 39, 49));
    for (const POINT p : {POINT{108, 50}, POINT{90, 78}, POINT{80, 60}, POINT{70, 30}})
        EXPECT_EQ(Shown(p.x, p.y), PixelOf(output, p.x, p.y)) << p.x << "," << p.y;

    output.FillAll(kMarker);
    ASSERT_EQ(standin->Invalidate(&outside), S_OK);
    EXPECT_EQ(CountOf(output, kMarker), kWidth * kHeight - 20 * 10);
    EXPECT_EQ(PixelOf(output, 119, 99), kFrameColor);
}

// The parent's client edge and plain border are part of its picture but not of its client
// area, where the component's position counts from.
class HostRenderBorders : public HostRender,
                          public testing::WithParamInterface<std::pair<DWORD, DWORD>> {};

TEST_P(HostRenderBorders, TheVeilIsBlendedOverTheParentAsItLiesUnderTheComponent) {
    Build(GetParam().first, GetParam().second);
    const TqelBitmap& background = *host->BackgroundBitmap();
    EXPECT_EQ(PixelOf(background, 9, 70), kSwatchColor);
    EXPECT_EQ(PixelOf(background, 10, 70), kParentColor);
    EXPECT_EQ(PixelOf(background, 9, 69), kParentColor);
    EXPECT_EQ(PixelOf(background, 0, kHeight - 1), kSwatchColor);
    EXPECT_EQ(PixelOf(background, kWidth - 1, 0), kParentColor);

    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    const TqelBitmap& output = *host->OutputBitmap();
    for (const POINT p : {POINT{4, 70}, POINT{9, 95}})
        EXPECT_TRUE(IsVeiled(PixelOf(output, p.x, p.y), kSwatchColor)) << p.x << "," << p.y;
    for (const POINT p : {POINT{10, 70}, POINT{9, 69}, POINT{60, 80}, POINT{115, 95}})
        EXPECT_TRUE(IsVeiled(PixelOf(output, p.x, p.y), kParentColor)) << p.x << "," << p.y;
    EXPECT_EQ(PixelOf(output, 0, 0), StandinPicture::kFrameColor);
    for (const POINT p : {POINT{0, 0}, POINT{4, 70}, POINT{9, 95}, POINT{10, 70}, POINT{60, 80}})
        EXPECT_EQ(Shown(p.x, p.y), PixelOf(output, p.x, p.y)) << p.x << "," << p.y;
}

INSTANTIATE_TEST_SUITE_P(Parents, HostRenderBorders,
                         testing::Values(std::pair<DWORD, DWORD>{0, 0},
                                         std::pair<DWORD, DWORD>{0, WS_EX_CLIENTEDGE},
                                         std::pair<DWORD, DWORD>{WS_BORDER, 0}));

TEST_F(HostRender, AnOpaqueComponentShowsItsOwnColourInsteadOfTheParent) {
    Build();
    host->SetColor(clHighlight);
    standin->ClearLog();
    host->SetTransparent(false);
    // Redrawn at once, over the colour resolved from the colour scheme, fully opaque.
    EXPECT_EQ(CountStarting(LogOf(*host), "Draw("), 1);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const TqelBitmap& background = *host->BackgroundBitmap();
    EXPECT_EQ(CountOf(background, 0xFF000000 | (GetRValue(highlight) << 16) |
                                      (GetGValue(highlight) << 8) | GetBValue(highlight)),
              kWidth * kHeight);
    EXPECT_TRUE(IsVeiled(PixelOf(*host->OutputBitmap(), 6, 90), highlight));
    EXPECT_TRUE(IsVeiled(Shown(6, 90), highlight));

    host->SetTransparent(true);
    EXPECT_EQ(PixelOf(background, 6, 90), kSwatchColor);
    EXPECT_TRUE(IsVeiled(Shown(6, 90), kSwatchColor));
}

TEST_F(HostRender, AZeroSizedComponentDrawsNothingAndForgetsItsDirtyRectangle) {
    Build();
    const RECT small{5, 5, 20, 20};
    for (const SIZE size : {SIZE{0, kHeight}, SIZE{kWidth, 0}}) {
        host->SetBounds(kLeft, kTop, size.cx, size.cy);
        standin->ClearLog();
        ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
        ASSERT_EQ(standin->Invalidate(&small), S_OK);
        EXPECT_EQ(CountStarting(LogOf(*host), "Draw("), 0);
        EXPECT_FALSE(host->DirtyRect().has_value());
    }
    host->SetBounds(kLeft, kTop, kWidth, kHeight);
    standin->ClearLog();
    ASSERT_EQ(standin->Invalidate(&small), S_OK);
    EXPECT_EQ(LineStarting(LogOf(*host), "Draw("), "Draw(aspect=32, bounds=null) -> S_OK");
}

TEST_F(HostRender, APaintAskedForWhileTheBackgroundIsCapturedDrawsNothing) {
    Build();
    int asked = 0, painted = 0;
    HRESULT answer = E_FAIL;
    const RECT small{5, 5, 20, 20};
    swatch->onPaint = [&] {
        if (!host->CapturingBackground())
            return;
        ++asked;
        answer = standin->Invalidate(&small);
    };
    host->OnPaint = [&](TControl&) { ++painted; };
    standin->ClearLog();
    host->UpdateBackground();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(answer, S_OK);
    EXPECT_EQ(painted, 0);
    EXPECT_EQ(CountStarting(LogOf(*host), "Draw("), 0);
    EXPECT_FALSE(host->CapturingBackground());
    EXPECT_EQ(PixelOf(*host->BackgroundBitmap(), 5, 90), kSwatchColor);

    // The rectangle asked for meanwhile is still due; when the parent's own paint brings it,
    // the whole component is shown again over what the parent painted.
    host->UpdateBackground();
    ASSERT_TRUE(host->DirtyRect().has_value());
    standin->ClearLog();
    InvalidateRect(parent->Handle(), nullptr, TRUE);
    UpdateWindow(parent->Handle());
    EXPECT_EQ(LineStarting(LogOf(*host), "Draw("), "Draw(aspect=32, bounds=0,0,20,20) -> S_OK");
    EXPECT_TRUE(IsVeiled(Shown(60, 80), kParentColor));
    EXPECT_TRUE(IsVeiled(Shown(6, 90), kSwatchColor));
}

TEST_F(HostRender, InvalidatingFromInsideDrawEndsAndStillDrawsWhatWasAsked) {
    Build();
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    const RECT asked{70, 30, 110, 80};
    const TStandinAction invalidate = StandinAction(kActInvalidateRect, &asked);
    standin->ActDuring(L"Draw", -1, &invalidate); // every Draw asks again
    host->OutputBitmap()->FillAll(kMarker);
    standin->ClearLog();
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    standin->ActDuring(L"Draw", 0, nullptr);
    const auto lines = LogOf(*host);
    EXPECT_EQ(CountStarting(lines, "Draw("), 2);
    EXPECT_TRUE(InOrder(lines, {"Draw(aspect=32, bounds=null) -> S_OK",
                                "Draw(aspect=32, bounds=0,0,110,80) -> S_OK"}));
    EXPECT_EQ(LineStarting(lines, "* Draw nested"), "");
    const TqelBitmap& output = *host->OutputBitmap();
    EXPECT_EQ(CountOf(output, kMarker), 0);
    EXPECT_EQ(PixelOf(output, 108, 50), StandinPicture::kFrameColor);
    EXPECT_EQ(Shown(108, 50), StandinPicture::kFrameColor);
}

TEST_F(HostRender, AnInvalidationDuringAPaintTheParentStartedIsPaintedRightAfterIt) {
    Build();
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    const RECT asked{70, 30, 110, 80};
    const TStandinAction invalidate = StandinAction(kActInvalidateRect, &asked);
    const std::vector<std::string> fullThenAsked = {"Draw(aspect=32, bounds=null) -> S_OK",
                                                    "Draw(aspect=32, bounds=0,0,110,80) -> S_OK"};
    // The parent's own paint.
    standin->ActDuring(L"Draw", 1, &invalidate);
    standin->ClearLog();
    InvalidateRect(parent->Handle(), nullptr, TRUE);
    UpdateWindow(parent->Handle());
    auto lines = LogOf(*host);
    EXPECT_EQ(CountStarting(lines, "Draw("), 2);
    EXPECT_TRUE(InOrder(lines, fullThenAsked));
    // A change of Transparent.
    standin->ActDuring(L"Draw", 1, &invalidate);
    standin->ClearLog();
    host->SetTransparent(false);
    lines = LogOf(*host);
    EXPECT_EQ(CountStarting(lines, "Draw("), 2);
    EXPECT_TRUE(InOrder(lines, fullThenAsked));
    // Nothing was left over for the next request to bring back.
    standin->ClearLog();
    const RECT small{5, 5, 20, 20};
    ASSERT_EQ(standin->Invalidate(&small), S_OK);
    EXPECT_EQ(CountStarting(LogOf(*host), "Draw("), 1);
}

TEST_F(HostRender, ADirtyRectangleWhollyOutsideDrawsAndCopiesNothing) {
    Build();
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    // Something else on the window where the component lies.
    const HDC dc = GetDC(parent->Handle());
    const TGdiObject brush(CreateSolidBrush(kSwatchColor));
    const RECT area{kLeft, kTop, kLeft + kWidth, kTop + kHeight};
    FillRect(dc, &area, static_cast<HBRUSH>(brush.Get()));
    ReleaseDC(parent->Handle(), dc);
    standin->ClearLog();
    const RECT outside{kWidth + 10, 0, kWidth + 50, 40};
    ASSERT_EQ(standin->Invalidate(&outside), S_OK);
    EXPECT_EQ(CountStarting(LogOf(*host), "Draw("), 0);
    EXPECT_EQ(Shown(60, 50), kSwatchColor);
    EXPECT_EQ(Shown(0, 0), kSwatchColor);
}

TEST_F(HostRender, AContextLentOutsideAPaintIsGivenBackSoLaterPaintsReachTheNewSize) {
    Build();
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    standin->ClearLog();
    const TStandinAction getDc = StandinAction(kActGetDC);
    ASSERT_EQ(standin->Act(&getDc), S_OK);
    const auto lines = LogOf(*host);
    const std::string got = "site.GetDC(null, 0x00000000) -> S_OK, ";
    ASSERT_EQ(LineStarting(lines, "site.GetDC(").rfind(got, 0), 0u);
    const std::string dc = LineStarting(lines, "site.GetDC(").substr(got.size());
    EXPECT_EQ(LineStarting(lines, "site.ReleaseDC("), "site.ReleaseDC(" + dc + ") -> S_OK");
    EXPECT_EQ(Shown(1, 50), StandinPicture::kFrameColor); // drawn at the component's place

    host->SetBounds(kLeft, kTop, kWidth + 40, kHeight + 30);
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    EXPECT_EQ(Shown(kWidth + 40 - 1, 50), StandinPicture::kFrameColor);
    EXPECT_EQ(Shown(60, kHeight + 30 - 1), StandinPicture::kFrameColor);

    // Asked for inside a paint, it is the paint's, which goes on after the control gave it back.
    standin->ActDuring(L"Draw", 1, &getDc);
    host->OutputBitmap()->FillAll(kMarker);
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    EXPECT_EQ(Shown(kWidth + 40 - 1, 50), StandinPicture::kFrameColor);
    EXPECT_TRUE(IsVeiled(Shown(60, 50), kParentColor));
}

TEST_F(HostRender, AnInvalidationDuringAResizeShowsTheControlAtItsNewSizeOnceTheResizeIsDone) {
    Build();
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    const TStandinAction invalidate = StandinAction(kActInvalidateRect);
    standin->ActDuring(L"SetObjectRects", 1, &invalidate);
    standin->ClearLog();
    host->SetBounds(kLeft, kTop, kWidth + 40, kHeight + 30);
    const auto lines = LogOf(*host);
    EXPECT_EQ(CountStarting(lines, "Draw("), 1);
    EXPECT_TRUE(InOrder(lines, {"site.InvalidateRect(null, FALSE) -> S_OK",
                                "SetObjectRects(pos=0,0,160,130, clip=0,0,160,130) -> S_OK",
                                "Draw(aspect=32, bounds=null) -> S_OK"}));
    EXPECT_FALSE(host->FullRepaintPending());
    EXPECT_EQ(Shown(kWidth + 40 - 1, 50), StandinPicture::kFrameColor);
    EXPECT_TRUE(IsVeiled(Shown(kWidth + 20, 50), kParentColor));
}

TEST_F(HostRender, ScrollingChangesNothingAndAdjustingGivesTheClientRectangle) {
    Build();
    ASSERT_EQ(standin->Invalidate(nullptr), S_OK);
    standin->ClearLog();
    const RECT some{7, 8, 19, 30};
    TStandinAction scroll = StandinAction(kActScrollRect, &some);
    scroll.dx = 5;
    scroll.dy = -3;
    EXPECT_EQ(standin->Act(&scroll), S_OK);
    const TStandinAction adjust = StandinAction(kActAdjustRect, &some);
    EXPECT_EQ(standin->Act(&adjust), S_OK);
    const TStandinAction adjustNothing = StandinAction(kActAdjustRect);
    EXPECT_EQ(standin->Act(&adjustNothing), E_POINTER);
    const auto lines = LogOf(*host);
    EXPECT_EQ(CountStarting(lines, "Draw("), 0);
    EXPECT_EQ(LineStarting(lines, "site.AdjustRect(7"),
              "site.AdjustRect(7,8,19,30) -> S_OK, 0,0,120,100");
}

TEST(DrawingSurface, RequestsDuringAPaintArePaintedOnceRightAfterItAsTheirUnion) {
    TRecordingClient client;
    TqelDrawingSurface& surface = client.surface;
    surface.Invalidate(std::nullopt);
    client.drawn.clear();
    client.duringDraw = [&] {
        surface.Invalidate(RECT{10, 10, 20, 20});
        surface.Invalidate(RECT{30, 5, 40, 15});
    };
    surface.Invalidate(RECT{0, 0, 5, 5});
    EXPECT_EQ(client.drawn, (std::vector<std::string>{"0,0,5,5", "10,5,40,20"}));

    // Everything among them is everything.
    client.drawn.clear();
    client.duringDraw = [&] {
        surface.Invalidate(RECT{10, 10, 20, 20});
        surface.InvalidateAll();
        surface.Invalidate(RECT{30, 5, 40, 15});
    };
    surface.Invalidate(RECT{0, 0, 5, 5});
    EXPECT_EQ(client.drawn, (std::vector<std::string>{"0,0,5,5", "all"}));
}
