// What the stand-in draws, how it asks for repaints, and the window messages it takes.

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/handles_win.h"
#include "qel/host/shockwave_flash.h"
#include "tests/win/standin_site.h"

namespace {

class StandinView : public testing::Test {
protected:
    TComApartment apartment;
    TStandinServer server;
};

// A 32-bit top-down DIB section selected into a memory DC.
class TDib {
public:
    TDib(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.Reset(CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<uint32_t*>(bits);
        old_ = SelectObject(dc_.Get(), bitmap_.Get());
    }
    ~TDib() { SelectObject(dc_.Get(), old_); }

    HDC Dc() const { return dc_.Get(); }
    void Fill(COLORREF color) {
        const TGdiObject brush(CreateSolidBrush(color));
        const RECT all{0, 0, width_, height_};
        FillRect(dc_.Get(), &all, static_cast<HBRUSH>(brush.Get()));
    }
    COLORREF Pixel(int x, int y) const {
        GdiFlush();
        const uint32_t p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // How many pixels of the rectangle have the colour.
    int Count(const RECT& area, COLORREF color) const {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                n += Pixel(x, y) == color;
        return n;
    }

private:
    int width_, height_;
    TMemoryDc dc_;
    TGdiObject bitmap_;
    uint32_t* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

constexpr COLORREF kBackground = RGB(40, 200, 0);

// The veil over the background, each channel within one step of the exact blend.
testing::AssertionResult IsVeiled(COLORREF pixel, COLORREF background) {
    using namespace StandinPicture;
    const auto blend = [](int veil, int under) {
        return (veil * kVeilAlpha + under * (255 - kVeilAlpha)) / 255;
    };
    const int expected[3] = {blend(GetRValue(kVeilColor), GetRValue(background)),
                             blend(GetGValue(kVeilColor), GetGValue(background)),
                             blend(GetBValue(kVeilColor), GetBValue(background))};
    const int actual[3] = {GetRValue(pixel), GetGValue(pixel), GetBValue(pixel)};
    for (int i = 0; i < 3; ++i)
        if (std::abs(expected[i] - actual[i]) > 1)
            return testing::AssertionFailure()
                   << "pixel " << actual[0] << "," << actual[1] << "," << actual[2]
                   << " is not the veil over the background: " << expected[0] << "," << expected[1]
                   << "," << expected[2];
    return testing::AssertionSuccess();
}

HRESULT DrawOn(IUnknown* control, HDC dc, const RECTL* bounds,
               DWORD aspect = DVASPECT_TRANSPARENT) {
    ComPtr<IViewObject> view;
    control->QueryInterface(IID_PPV_ARGS(&view));
    return view->Draw(aspect, -1, nullptr, nullptr, nullptr, dc, bounds, nullptr, nullptr, 0);
}

HRESULT Message(IUnknown* control, UINT message, WPARAM wParam, LPARAM lParam) {
    ComPtr<IOleInPlaceObjectWindowless> windowless;
    control->QueryInterface(IID_PPV_ARGS(&windowless));
    LRESULT result = -1;
    return windowless->OnWindowMessage(message, wParam, lParam, &result);
}

} // namespace

TEST_F(StandinView, DrawsAnOpaqueFrameAndABlendedVeilAtItsInPlaceRectangle) {
    using namespace StandinPicture;
    TTestContainer container;
    container.site.position = {0, 0, 200, 120};
    container.Activate();
    TDib dib(240, 160);
    dib.Fill(kBackground);
    ASSERT_EQ(DrawOn(container.object.Get(), dib.Dc(), nullptr), S_OK);
    EXPECT_EQ(dib.Pixel(0, 0), kFrameColor);
    EXPECT_EQ(dib.Pixel(199, 119), kFrameColor);
    EXPECT_EQ(dib.Pixel(kFrameWidth - 1, 60), kFrameColor);
    EXPECT_EQ(dib.Count({0, 0, 200, kFrameWidth}, kFrameColor), 200 * kFrameWidth);
    EXPECT_TRUE(IsVeiled(dib.Pixel(kFrameWidth, 119 - kFrameWidth), kBackground));
    EXPECT_TRUE(IsVeiled(dib.Pixel(150, 100), kBackground));
    EXPECT_EQ(dib.Pixel(200, 60), kBackground); // outside: untouched
    EXPECT_EQ(dib.Pixel(100, 120), kBackground);
    // What arrived is written in the upper half, nothing in the lower.
    EXPECT_GT(dib.Count({4, 4, 196, 60}, kTextColor), 0);
    EXPECT_EQ(dib.Count({4, 62, 196, 116}, kTextColor), 0);

    // The in-place rectangle follows SetObjectRects.
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_HRESULT_SUCCEEDED(container.object.As(&inPlace));
    const RECT moved{40, 30, 140, 90};
    ASSERT_HRESULT_SUCCEEDED(inPlace->SetObjectRects(&moved, &moved));
    dib.Fill(kBackground);
    ASSERT_EQ(DrawOn(container.object.Get(), dib.Dc(), nullptr), S_OK);
    EXPECT_EQ(dib.Pixel(39, 30), kBackground);
    EXPECT_EQ(dib.Pixel(40, 30), kFrameColor);
    EXPECT_EQ(dib.Pixel(139, 89), kFrameColor);
    EXPECT_TRUE(IsVeiled(dib.Pixel(130, 80), kBackground));
    EXPECT_TRUE(InOrder(StandinLog(container.standin.Get()),
                        {"Draw(aspect=32, bounds=null) -> S_OK",
                         "SetObjectRects(pos=40,30,140,90, clip=40,30,140,90) -> S_OK"}));
}

TEST_F(StandinView, DrawsAtGivenBoundsInLogicalCoordinates) {
    using namespace StandinPicture;
    TTestContainer container;
    container.Activate();
    TDib dib(160, 120);
    dib.Fill(kBackground);
    const RECTL bounds{20, 30, 120, 90};
    ASSERT_EQ(DrawOn(container.object.Get(), dib.Dc(), &bounds, DVASPECT_CONTENT), S_OK);
    EXPECT_EQ(dib.Pixel(19, 30), kBackground);
    EXPECT_EQ(dib.Pixel(20, 30), kFrameColor);
    EXPECT_EQ(dib.Pixel(119, 89), kFrameColor);
    EXPECT_EQ(dib.Pixel(120, 89), kBackground);
    EXPECT_TRUE(IsVeiled(dib.Pixel(100, 80), kBackground));

    // The host moves the window origin to compose a dirty area in a bitmap's corner.
    dib.Fill(kBackground);
    SetWindowOrgEx(dib.Dc(), 50, 40, nullptr);
    const RECTL shifted{50, 40, 150, 100};
    ASSERT_EQ(DrawOn(container.object.Get(), dib.Dc(), &shifted), S_OK);
    SetWindowOrgEx(dib.Dc(), 0, 0, nullptr);
    EXPECT_EQ(dib.Pixel(0, 0), kFrameColor);
    EXPECT_EQ(dib.Pixel(99, 59), kFrameColor);
    EXPECT_EQ(dib.Pixel(100, 59), kBackground);
    EXPECT_TRUE(IsVeiled(dib.Pixel(90, 50), kBackground));

    EXPECT_EQ(DrawOn(container.object.Get(), dib.Dc(), &bounds, DVASPECT_ICON), DV_E_DVASPECT);
    EXPECT_EQ(DrawOn(container.object.Get(), nullptr, &bounds), E_INVALIDARG);
    EXPECT_TRUE(InOrder(StandinLog(container.standin.Get()),
                        {"Draw(aspect=1, bounds=20,30,120,90) -> S_OK",
                         "Draw(aspect=32, bounds=50,40,150,100) -> S_OK",
                         "Draw(aspect=4, bounds=20,30,120,90) -> DV_E_DVASPECT"}));
}

TEST_F(StandinView, WithoutAnInPlaceRectangleItNeedsBounds) {
    ComPtr<IOleObject> object;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShockwaveFlash, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_PPV_ARGS(&object)));
    TDib dib(20, 20);
    EXPECT_EQ(DrawOn(object.Get(), dib.Dc(), nullptr), E_INVALIDARG);
    const RECTL tiny{0, 0, 6, 6}; // all frame, no room for a veil
    EXPECT_EQ(DrawOn(object.Get(), dib.Dc(), &tiny), S_OK);
    EXPECT_EQ(dib.Pixel(3, 3), StandinPicture::kFrameColor);
    EXPECT_EQ(StandinOf(object.Get())->Invalidate(nullptr), E_UNEXPECTED);
}

TEST_F(StandinView, RepaintRequestsReachTheWindowlessSite) {
    TTestContainer container;
    container.Activate();
    IStandinControl* standin = container.standin.Get();
    const RECT dirty{10, 20, 30, 40};
    EXPECT_EQ(standin->Invalidate(&dirty), S_OK);
    EXPECT_EQ(standin->Invalidate(nullptr), S_OK);
    EXPECT_EQ(standin->InvalidateRegion(&dirty), S_OK);
    EXPECT_EQ(standin->InvalidateRegion(nullptr), S_OK);
    EXPECT_EQ(container.site.invalidations,
              (std::vector<std::string>{"rect 10,20,30,40", "rect null", "region", "region"}));
    EXPECT_TRUE(InOrder(StandinLog(standin), {"site.InvalidateRect(10,20,30,40, FALSE) -> S_OK",
                                              "site.InvalidateRect(null, FALSE) -> S_OK",
                                              "site.InvalidateRgn(10,20,30,40, FALSE) -> S_OK",
                                              "site.InvalidateRgn(null, FALSE) -> S_OK"}));
}

TEST_F(StandinView, ActsDuringTheHostsCallsAsOftenAsAskedAndUpToTheNestingLimit) {
    TTestContainer container;
    container.site.position = {0, 0, 50, 50};
    container.Activate();
    TDib dib(50, 50);
    ASSERT_HRESULT_SUCCEEDED(container.object.As(&container.site.paintView));
    container.site.paintDc = dib.Dc();
    IStandinControl* standin = container.standin.Get();
    auto draws = [&] {
        int n = 0;
        for (const std::string& line : StandinLog(standin))
            n += line.starts_with("Draw(");
        return n;
    };

    // Once: the site's repaint draws, that Draw invalidates, the site repaints once more.
    const RECT corner{0, 0, 5, 5};
    TStandinAction invalidate{};
    invalidate.kind = kActInvalidateRect;
    invalidate.rect = &corner;
    ASSERT_HRESULT_SUCCEEDED(standin->ActDuring(L"Draw", 1, &invalidate));
    standin->ClearLog();
    ASSERT_HRESULT_SUCCEEDED(standin->Invalidate(nullptr));
    EXPECT_EQ(container.site.invalidations,
              (std::vector<std::string>{"rect null", "rect 0,0,5,5"}));
    EXPECT_EQ(draws(), 2);

    // Repeatedly, with a site that has no guard of its own: the nesting stops at the limit.
    container.site.invalidations.clear();
    invalidate.rect = nullptr;
    ASSERT_HRESULT_SUCCEEDED(standin->ActDuring(L"Draw", -1, &invalidate));
    standin->ClearLog();
    ASSERT_HRESULT_SUCCEEDED(standin->Invalidate(nullptr));
    EXPECT_EQ(container.site.invalidations.size(), static_cast<size_t>(kStandinActionDepthLimit));
    EXPECT_EQ(draws(), kStandinActionDepthLimit);
    EXPECT_TRUE(InOrder(StandinLog(standin), {"* Draw nested 8 deep: no actions"}));

    // Forgotten: a repaint is a repaint again.
    ASSERT_HRESULT_SUCCEEDED(standin->ActDuring(L"Draw", 0, nullptr));
    container.site.invalidations.clear();
    ASSERT_HRESULT_SUCCEEDED(standin->Invalidate(nullptr));
    EXPECT_EQ(container.site.invalidations.size(), 1u);

    // Before Close's own work the control is still in place; after it, it has no site to ask.
    const RECT before{1, 1, 2, 2}, after{3, 3, 4, 4};
    invalidate.rect = &before;
    invalidate.before = TRUE;
    ASSERT_HRESULT_SUCCEEDED(standin->ActDuring(L"Close", 1, &invalidate));
    invalidate.rect = &after;
    invalidate.before = FALSE;
    ASSERT_HRESULT_SUCCEEDED(standin->ActDuring(L"Close", 1, &invalidate));
    container.site.paintView.Reset();
    container.site.invalidations.clear();
    EXPECT_HRESULT_SUCCEEDED(container.object->Close(OLECLOSE_NOSAVE));
    EXPECT_EQ(container.site.invalidations, std::vector<std::string>{"rect 1,1,2,2"});
    EXPECT_EQ(standin->Invalidate(&after), E_UNEXPECTED);
    invalidate.kind = 99;
    EXPECT_EQ(standin->Act(&invalidate), E_INVALIDARG);
    EXPECT_EQ(standin->ActDuring(L"Close", 1, &invalidate), E_INVALIDARG);
}

TEST_F(StandinView, TakesMouseAndKeyMessagesAndDeclinesTheRest) {
    TTestContainer container;
    container.Activate();
    IUnknown* control = container.object.Get();
    EXPECT_EQ(Message(control, WM_KEYDOWN, 65, 0), S_OK);
    EXPECT_EQ(Message(control, WM_CHAR, 'a', 0), S_OK);
    EXPECT_EQ(Message(control, WM_KEYUP, 65, 0), S_OK);
    EXPECT_EQ(Message(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20)), S_OK);
    EXPECT_EQ(Message(control, WM_LBUTTONUP, 0, MAKELPARAM(10, 20)), S_OK);
    EXPECT_EQ(Message(control, WM_MOUSEMOVE, 0, MAKELPARAM(11, 20)), S_OK);
    EXPECT_EQ(Message(control, WM_SETFOCUS, 0, 0), S_OK);
    EXPECT_EQ(Message(control, WM_TIMER, 1, 0), S_FALSE);
    EXPECT_EQ(Message(control, WM_MOUSEWHEEL, 0, 0), S_FALSE);
    EXPECT_EQ(Message(control, WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), S_FALSE);
    EXPECT_EQ(Message(control, 0x12345678, 0, 0), S_FALSE); // logged whole, whatever its number
    // A right press asks the site for a window to own a menu; none is opened.
    container.site.window = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(Message(control, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5)), S_OK);
    EXPECT_TRUE(InOrder(
        StandinLog(container.standin.Get()),
        {"OnWindowMessage(0x0100, 65, 0) -> S_OK", "OnWindowMessage(0x0102, 97, 0) -> S_OK",
         "OnWindowMessage(0x0201, 1, 1310730) -> S_OK", "OnWindowMessage(0x0113, 1, 0) -> S_FALSE",
         "OnWindowMessage(0x12345678, 0, 0) -> S_FALSE", "site.GetWindow() -> S_OK, 0x1234",
         "OnWindowMessage(0x0204, 2, 327685) -> S_OK"}));

    // Deactivated, it takes nothing.
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_HRESULT_SUCCEEDED(container.object.As(&inPlace));
    ASSERT_HRESULT_SUCCEEDED(inPlace->InPlaceDeactivate());
    EXPECT_EQ(Message(control, WM_KEYDOWN, 65, 0), S_FALSE);
    EXPECT_FALSE(container.site.inPlaceObject); // the site heard of it and let go
}

TEST_F(StandinView, AsksTheSiteForCaptureFocusAndAWindow) {
    TTestContainer container;
    container.Activate();
    IStandinControl* standin = container.standin.Get();
    EXPECT_EQ(standin->QueryCapture(), S_FALSE);
    EXPECT_EQ(standin->RequestCapture(TRUE), S_OK);
    EXPECT_TRUE(container.site.captured);
    EXPECT_EQ(standin->QueryCapture(), S_OK);
    EXPECT_EQ(standin->RequestCapture(FALSE), S_OK);
    EXPECT_FALSE(container.site.captured);
    EXPECT_EQ(standin->RequestFocus(TRUE), S_OK);
    EXPECT_EQ(standin->QueryFocus(), S_OK);
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(standin->RequestWindow(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
    container.site.window = reinterpret_cast<HWND>(0xBEEF);
    EXPECT_EQ(standin->RequestWindow(&window), S_OK);
    EXPECT_EQ(window, reinterpret_cast<HWND>(0xBEEF));
    EXPECT_TRUE(InOrder(StandinLog(standin),
                        {"site.GetCapture() -> S_FALSE", "site.SetCapture(TRUE) -> S_OK",
                         "site.SetFocus(TRUE) -> S_OK", "site.GetWindow() -> E_FAIL, null",
                         "site.GetWindow() -> S_OK, 0xBEEF"}));
}
