#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "qel/host/qel_bitmap_win.h"
#include "qel/host/qel_winapi_win.h"
#include "tests/support/counting_win.h"
#include "ui/assign_error.h"
#include "ui/colors_win.h"
#include "ui/graphics_win.h"

namespace {

TqelColor Pixel(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

// Every pixel of the bitmap, row by row.
std::vector<TqelColor> AllPixels(const TqelBitmap& bitmap) {
    GdiFlush();
    return std::vector<TqelColor>(bitmap.Bits(), bitmap.Bits() + bitmap.Width() * bitmap.Height());
}

TqelBitmap& Sized(TqelBitmap& bitmap, int32_t width, int32_t height, TqelColor fill) {
    bitmap.Resize(width, height);
    bitmap.FillAll(fill);
    return bitmap;
}

// A graphic that is not a bitmap: its left half is painted in the render key colour, its right
// half green.
class TTwoToneGraphic : public TGraphic {
public:
    std::string_view ClassName() const override { return "TTwoToneGraphic"; }
    int32_t Width() const override { return 8; }
    int32_t Height() const override { return 4; }
    void Draw(TCanvas& canvas, const TRect& rect) const override {
        const int32_t middle = rect.left + RectWidth(rect) / 2;
        canvas.SetBrushColor(clFuchsia);
        canvas.FillRect({rect.left, rect.top, middle, rect.bottom});
        canvas.SetBrushColor(clLime);
        canvas.FillRect({middle, rect.top, rect.right, rect.bottom});
    }
};

// A plain memory device context over a 32-bit section of its own, for drawing targets that
// belong to no TqelBitmap.
struct TPlainSurface {
    TMemoryDc dc{CreateCompatibleDC(nullptr)};
    TGdiObject dib;
    TqelColor* bits = nullptr;
    HGDIOBJ original = nullptr;
    int32_t width;
    TPlainSurface(int32_t w, int32_t h, TqelColor fill) : width(w) {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* memory = nullptr;
        dib.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0));
        bits = static_cast<TqelColor*>(memory);
        original = SelectObject(dc.Get(), dib.Get());
        std::fill(bits, bits + w * h, fill);
    }
    ~TPlainSurface() { SelectObject(dc.Get(), original); }
    TqelColor At(int32_t x, int32_t y) {
        GdiFlush();
        return bits[y * width + x];
    }
};

} // namespace

TEST(QelBitmap, ResizesToTheAbsoluteSizeWithANewZeroedSection) {
    TqelBitmap bitmap;
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.BitmapInfo().bmiHeader.biSize, 40u);
    bitmap.Resize(-10, 5);
    ASSERT_FALSE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.Width(), 10);
    EXPECT_EQ(bitmap.Height(), 5);
    const BITMAPINFOHEADER& header = bitmap.BitmapInfo().bmiHeader;
    EXPECT_EQ(header.biWidth, 10);
    EXPECT_EQ(header.biHeight, -5);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(FindBitmapByDC(bitmap.MemoryDC()), &bitmap);
    EXPECT_EQ(GetCurrentObject(bitmap.MemoryDC(), OBJ_BITMAP), bitmap.DibHandle());
    EXPECT_EQ(CountOf(bitmap, 0), 50);

    bitmap.FillAll(0x11223344);
    const HDC dc = bitmap.MemoryDC();
    using TSize = std::pair<int32_t, int32_t>;
    for (const auto& [w, h] : {TSize{0, 5}, TSize{10, 0}, TSize{10, 5}, TSize{-10, -5}})
        bitmap.Resize(w, h);
    EXPECT_EQ(bitmap.Width(), 10);
    EXPECT_EQ(bitmap.MemoryDC(), dc);
    EXPECT_EQ(FindBitmapByDC(dc), &bitmap);
    EXPECT_EQ(CountOf(bitmap, 0x11223344), 50); // the pixels stay

    bitmap.Resize(3, 4);
    EXPECT_EQ(CountOf(bitmap, 0), 12);
    EXPECT_EQ(FindBitmapByDC(bitmap.MemoryDC()), &bitmap);
    EXPECT_EQ(bitmap.RowAddress(2), bitmap.Bits() + 6);
    EXPECT_EQ(bitmap.PixelAddress(1, 2), bitmap.Bits() + 7);

    HDC last = bitmap.MemoryDC();
    {
        TqelBitmap other;
        other.Resize(1, 1);
        EXPECT_EQ(FindBitmapByDC(other.MemoryDC()), &other);
        last = other.MemoryDC();
    }
    EXPECT_EQ(FindBitmapByDC(last), nullptr);
    EXPECT_EQ(FindBitmapByDC(nullptr), nullptr);
}

TEST(QelBitmap, RefusesASizeNoSectionCanHoldAndIsEmptyAfterwards) {
    TqelBitmap bitmap;
    bitmap.Resize(4, 4);
    try {
        bitmap.Resize(100000, 100000);
        FAIL() << "no error";
    } catch (const TError& error) {
        EXPECT_STREQ(error.what(), "Can't allocate the DIB handle");
    }
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.MemoryDC(), nullptr);
    bitmap.FillAll(1); // harmless on an empty bitmap
    bitmap.FillArea({0, 0, 4, 4}, 1);
    bitmap.PutPixel(0, 0, 1);
    bitmap.Resize(4, 4);
    EXPECT_FALSE(bitmap.IsEmpty());
}

TEST(QelBitmap, PutsPixelsOnlyInside) {
    TqelBitmap bitmap;
    Sized(bitmap, 4, 3, 0);
    using TPoint = std::pair<int32_t, int32_t>;
    for (const auto& [x, y] : {TPoint{4, 0}, TPoint{0, 3}, TPoint{-1, 0}, TPoint{0, -1}})
        bitmap.PutPixel(x, y, 9);
    EXPECT_EQ(CountOf(bitmap, 0), 12);
    bitmap.PutPixel(3, 2, 9);
    bitmap.PutPixel(0, 0, 8);
    EXPECT_EQ(*bitmap.PixelAddress(3, 2), 9u);
    EXPECT_EQ(bitmap.Bits()[0], 8u);
}

TEST(QelBitmap, FillsTheClippedAreaAndBlendsWithAlpha) {
    TqelBitmap bitmap;
    Sized(bitmap, 10, 10, 0);
    bitmap.FillArea({-5, -5, 3, 3}, 7);
    EXPECT_EQ(CountOf(bitmap, 7), 9);
    EXPECT_EQ(*bitmap.PixelAddress(2, 2), 7u);
    EXPECT_EQ(*bitmap.PixelAddress(3, 2), 0u);
    for (const TRect outside : {TRect{10, 0, 20, 5}, TRect{-9, -9, 0, 0}, TRect{5, 5, 5, 9}})
        bitmap.FillArea(outside, 6);
    EXPECT_EQ(CountOf(bitmap, 6), 0);
    bitmap.FillArea({8, 8, 40, 40}, 5);
    EXPECT_EQ(CountOf(bitmap, 5), 4);

    const TqelColor red = Pixel(255, 255, 0, 0);
    bitmap.FillAll(red);
    bitmap.SetHasAlpha(true);
    bitmap.FillArea({1, 1, 3, 2}, Pixel(128, 0, 100, 200));
    const TqelColor blended = HasMmx() ? Pixel(191, 127, 50, 100) : Pixel(255, 126, 50, 100);
    EXPECT_EQ(CountOf(bitmap, blended), 2);
    EXPECT_EQ(*bitmap.PixelAddress(2, 1), blended);
    EXPECT_EQ(*bitmap.PixelAddress(3, 1), red);
}

TEST(QelBitmap, SetsAlphaAndDetectsTranslucency) {
    TqelBitmap bitmap;
    bitmap.DetectTranslucency();
    EXPECT_FALSE(bitmap.HasAlpha());
    Sized(bitmap, 5, 5, 0x00123456);
    bitmap.PutPixel(4, 4, 0xFF000000);
    bitmap.SetHasAlpha(true);
    bitmap.DetectTranslucency();
    EXPECT_FALSE(bitmap.HasAlpha()); // only 0 and 255
    bitmap.PutPixel(2, 3, 0x80000000);
    bitmap.DetectTranslucency();
    EXPECT_TRUE(bitmap.HasAlpha());
    bitmap.SetAllAlpha(0x40);
    EXPECT_EQ(CountOf(bitmap, 0x40123456), 23);
    EXPECT_EQ(*bitmap.PixelAddress(4, 4), 0x40000000u);
}

TEST(QelBitmap, TurnsColoursIntoPixels) {
    EXPECT_EQ(TqelBitmap::ColorToPixel(0x0000FF), 0xFFFF0000u);
    EXPECT_EQ(TqelBitmap::ColorToPixel(0x123456), 0xFF563412u);
    const TqelColor red = TqelBitmap::ColorWithAlpha(clRed, 128);
    EXPECT_EQ(red, 0x80FF0000u);
    uint8_t bytes[4];
    std::memcpy(bytes, &red, 4);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{0, 0, 0xFF, 0x80}));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(ColorToRGB(clBtnFace), face);
    EXPECT_EQ(TqelBitmap::ColorWithAlpha(clBtnFace, 0x33),
              (TqelBitmap::ColorToPixel(face) & 0xFFFFFF) | 0x33000000);
    EXPECT_EQ(TqelBitmap::ColorWithAlpha(clWindow, 255),
              TqelBitmap::ColorToPixel(GetSysColor(COLOR_WINDOW)));
}

TEST(QelBitmap, DrawsOntoAnotherBitmapInMemoryByItsWindowOrigin) {
    TqelBitmap source, target;
    Sized(source, 4, 3, Pixel(0x80, 1, 2, 3)); // the alpha byte survives only a memory copy
    Sized(target, 50, 50, 0);
    const HDC dc = target.MemoryDC();
    SetWindowOrgEx(dc, 10, 20, nullptr);
    // Neither the viewport nor a clip region would let a system blit land there.
    SetViewportOrgEx(dc, 5, 5, nullptr);
    IntersectClipRect(dc, 40, 40, 41, 41);
    source.DrawOnDC(dc, 30, 30);
    EXPECT_EQ(CountOf(target, Pixel(0x80, 1, 2, 3)), 12);
    EXPECT_EQ(*target.PixelAddress(20, 10), Pixel(0x80, 1, 2, 3));
    EXPECT_EQ(*target.PixelAddress(23, 12), Pixel(0x80, 1, 2, 3));
    EXPECT_EQ(*target.PixelAddress(24, 10), 0u);

    // A part, and a stretched part.
    Sized(target, 50, 50, 0);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    source.PutPixel(3, 2, 0xFF0000FF);
    source.DrawOnDC(target.MemoryDC(), 0, 0, TRect{3, 2, 4, 3});
    EXPECT_EQ(*target.PixelAddress(0, 0), 0xFF0000FFu);
    EXPECT_EQ(CountOf(target, 0xFF0000FFu), 1);
    source.DrawOnDC(target.MemoryDC(), TRect{10, 10, 18, 16}, TRect{0, 0, 4, 3});
    // 4 x 3 onto 8 x 6 maps columns 0 0 0 1 1 2 2 3 and rows 0 0 0 1 1 2.
    EXPECT_EQ(CountOf(target, 0xFF0000FFu), 1 + 1);
    EXPECT_EQ(*target.PixelAddress(17, 15), 0xFF0000FFu);
}

TEST(QelBitmap, DrawsOntoBitmapsByItsFlags) {
    TqelBitmap source, target;
    Sized(source, 2, 1, Pixel(128, 0, 100, 200));
    source.PutPixel(1, 0, 0x107F007F); // key colour
    const TqelColor red = Pixel(255, 255, 0, 0);

    Sized(target, 3, 1, red);
    source.DrawOnBitmap(target, 1, 0);
    EXPECT_EQ(AllPixels(target),
              (std::vector<TqelColor>{red, Pixel(128, 0, 100, 200), 0x107F007F}));

    Sized(target, 3, 1, red);
    source.SetColorKeyed(true);
    source.DrawOnBitmap(target, 0, 0);
    EXPECT_EQ(AllPixels(target), (std::vector<TqelColor>{Pixel(255, 0, 100, 200), red, red}));

    Sized(target, 3, 1, red);
    source.SetHasAlpha(true); // wins over the key
    source.DrawOnBitmap(target, 0, 0, TRect{0, 0, 1, 1});
    EXPECT_EQ(*target.PixelAddress(0, 0),
              HasMmx() ? Pixel(191, 127, 50, 100) : Pixel(255, 126, 50, 100));

    // A source part reaching outside draws nothing.
    Sized(target, 3, 1, red);
    source.DrawOnBitmap(target, 0, 0, TRect{0, 0, 3, 1});
    EXPECT_EQ(CountOf(target, red), 3);
}

TEST(QelBitmap, DrawsOntoPlainDeviceContextsThroughTheSystem) {
    EXPECT_TRUE(OptionalApi().HasTransparentBlt());
    EXPECT_GE(ScreenBitsPerPixel(), 24);
    EXPECT_EQ(DcDrawTable().KeyedToDC, &KeyedToDC);
    EXPECT_EQ(DcDrawTable().AlphaToDC, &ComposeOnDC);
    EXPECT_EQ(DcDrawTable().OpaqueToDC, &OpaqueToDC);

    TqelBitmap source;
    Sized(source, 2, 2, Pixel(128, 0, 100, 200));
    source.PutPixel(1, 1, 0xFF7F007F);
    const TqelColor white = 0x00FFFFFF;

    TPlainSurface opaque(4, 4, white);
    source.DrawOnDC(opaque.dc.Get(), 1, 1);
    EXPECT_EQ(opaque.At(1, 1) & 0xFFFFFF, 0x0064C8u);
    EXPECT_EQ(opaque.At(2, 2) & 0xFFFFFF, kKeyColor);
    EXPECT_EQ(opaque.At(0, 0), white);

    // Wine's TransparentBlt matches the key on all 32 bits of a section's pixel, so only a key
    // pixel with alpha 0 is skipped there (Windows ignores the alpha byte).
    source.PutPixel(1, 1, 0x007F007F);
    TPlainSurface keyed(4, 4, white);
    source.SetColorKeyed(true);
    source.DrawOnDC(keyed.dc.Get(), 1, 1);
    EXPECT_EQ(keyed.At(1, 1) & 0xFFFFFF, 0x0064C8u);
    EXPECT_EQ(keyed.At(2, 2), white); // the key is not drawn
    source.PutPixel(1, 1, 0xFF7F007F);

    TPlainSurface composed(4, 4, white);
    source.SetHasAlpha(true);
    source.DrawOnDC(composed.dc.Get(), 1, 1);
    EXPECT_EQ(composed.At(1, 1), KernelTable().BlendPixel(Pixel(128, 0, 100, 200), white));
    EXPECT_EQ(composed.At(2, 2), 0xFF7F007Fu); // opaque: stored as it is
    EXPECT_EQ(composed.At(3, 3), white);
    EXPECT_EQ(composed.At(0, 0), white);

    // Composing keyed when there is no system colour-key blit.
    TPlainSurface keyedInMemory(4, 4, white);
    source.SetHasAlpha(false);
    ComposeOnDC(keyedInMemory.dc.Get(), 1, 1, 2, 2, source, 0, 0, 2, 2);
    EXPECT_EQ(keyedInMemory.At(1, 1), Pixel(255, 0, 100, 200));
    EXPECT_EQ(keyedInMemory.At(2, 2), white);
}

TEST(QelBitmap, DrawsOntoAWindow) {
    TWindowHandle window(CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0,
                                         64, 48, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    UpdateWindow(window.Get());
    HDC dc = GetDC(window.Get());
    TqelBitmap picture, readBack;
    Sized(picture, 16, 8, 0xFF204080);
    picture.DrawOnDC(dc, 4, 4);
    GdiFlush();
    readBack.Resize(64, 48);
    BitBlt(readBack.MemoryDC(), 0, 0, 64, 48, dc, 0, 0, SRCCOPY);
    EXPECT_EQ(*readBack.PixelAddress(4, 4) & 0xFFFFFF, 0x204080u);
    EXPECT_EQ(*readBack.PixelAddress(19, 11) & 0xFFFFFF, 0x204080u);

    // Over what the window shows, blended.
    Sized(picture, 16, 8, Pixel(128, 0, 100, 200));
    picture.SetHasAlpha(true);
    picture.DrawOnDC(dc, 4, 4);
    BitBlt(readBack.MemoryDC(), 0, 0, 64, 48, dc, 0, 0, SRCCOPY);
    EXPECT_EQ(*readBack.PixelAddress(10, 6) & 0xFFFFFF,
              KernelTable().BlendPixel(Pixel(128, 0, 100, 200), 0xFF204080) & 0xFFFFFF);
    ReleaseDC(window.Get(), dc);
}

TEST(QelBitmap, RendersAGraphicLeavingWhatItDidNotPaint) {
    TqelBitmap bitmap;
    Sized(bitmap, 10, 4, 0x12345678);
    bitmap.RenderGraphic(TTwoToneGraphic(), {2, 0, 10, 2});
    EXPECT_EQ(*bitmap.PixelAddress(2, 0), 0x12345678u); // key colour painted: unchanged
    EXPECT_EQ(*bitmap.PixelAddress(5, 1), 0x12345678u);
    EXPECT_EQ(*bitmap.PixelAddress(6, 0) & 0xFFFFFF,
              0x00FF00u); // green, bytes as the system left them
    EXPECT_EQ(*bitmap.PixelAddress(9, 1) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(*bitmap.PixelAddress(9, 2), 0x12345678u); // outside the rectangle
    EXPECT_EQ(*bitmap.PixelAddress(1, 0), 0x12345678u);
}

TEST(QelBitmap, CopiesFromEveryImageKind) {
    TqelBitmap bitmap;

    TqelBitmap other;
    Sized(other, 3, 2, 0x80112233);
    other.SetColorKeyed(true);
    bitmap.CopyFrom(other);
    EXPECT_EQ(AllPixels(bitmap), AllPixels(other));
    EXPECT_TRUE(bitmap.ColorKeyed());
    EXPECT_FALSE(bitmap.HasAlpha());
    TqelBitmap empty;
    bitmap.CopyFrom(empty); // nothing to take
    EXPECT_EQ(bitmap.Width(), 3);

    // A 32-bit framework bitmap: every byte, in row order, then the translucency is found.
    TBitmap bitmap32;
    bitmap32.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap32.SetSize(2, 2);
    const TqelColor rows[2][2] = {{0x80000001, 0xFF000002}, {0x00000003, 0xFF000004}};
    for (int32_t y = 0; y < 2; ++y)
        std::memcpy(bitmap32.ScanLine(y), rows[y], sizeof(rows[y]));
    bitmap.CopyFrom(static_cast<const TGraphic&>(bitmap32));
    EXPECT_EQ(AllPixels(bitmap), (std::vector<TqelColor>{0x80000001, 0xFF000002, 0x3, 0xFF000004}));
    EXPECT_TRUE(bitmap.HasAlpha());
    std::memcpy(bitmap32.ScanLine(0), rows[1], sizeof(rows[1]));
    bitmap.CopyFrom(static_cast<const TGraphic&>(bitmap32));
    EXPECT_FALSE(bitmap.HasAlpha());

    // Other framework bitmaps go through the system and come out opaque; the flags stay.
    for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pfDevice}) {
        TBitmap framework;
        framework.SetPixelFormat(format);
        framework.SetSize(5, 3);
        framework.Canvas().SetBrushColor(clRed);
        framework.Canvas().FillRect({0, 0, 5, 3});
        bitmap.SetHasAlpha(true);
        bitmap.CopyFrom(static_cast<const TGraphic&>(framework));
        EXPECT_EQ(bitmap.Width(), 5);
        EXPECT_EQ(CountOf(bitmap, 0xFFFF0000), 15);
        EXPECT_TRUE(bitmap.HasAlpha());
        bitmap.SetHasAlpha(false);
    }

    // Any other graphic is rendered; what it did not paint is the cleared section, made opaque.
    bitmap.CopyFrom(TTwoToneGraphic());
    EXPECT_EQ(bitmap.Width(), 8);
    EXPECT_EQ(*bitmap.PixelAddress(0, 0), 0xFF000000u);
    EXPECT_EQ(*bitmap.PixelAddress(7, 3), 0xFF00FF00u);

    // Pictures: a held bitmap (whatever its format) through the system, anything else rendered.
    TPicture picture;
    bitmap.CopyFrom(picture); // holds nothing: nothing changes
    EXPECT_EQ(bitmap.Width(), 8);
    picture.Bitmap().SetPixelFormat(TPixelFormat::pf32bit);
    picture.Bitmap().SetSize(2, 2);
    std::memcpy(picture.Bitmap().ScanLine(0), rows[0], sizeof(rows[0]));
    bitmap.CopyFrom(picture);
    EXPECT_EQ(*bitmap.PixelAddress(0, 0), 0xFF000001u);
    picture.SetGraphic(std::make_unique<TTwoToneGraphic>());
    bitmap.CopyFrom(picture);
    EXPECT_EQ(*bitmap.PixelAddress(6, 1), 0xFF00FF00u);
}

TEST(QelBitmap, CopiesIntoFrameworkBitmapsAndPictures) {
    TqelBitmap bitmap;
    Sized(bitmap, 3, 2, 0xFF102030);
    bitmap.PutPixel(2, 1, 0xFF405060);

    TBitmap framework;
    bitmap.CopyTo(static_cast<TGraphic&>(framework));
    EXPECT_EQ(framework.PixelFormat(), TPixelFormat::pf32bit);
    EXPECT_EQ(framework.Width(), 3);
    EXPECT_EQ(framework.Height(), 2);
    EXPECT_EQ(static_cast<const TqelColor*>(framework.ScanLine(1))[2] & 0xFFFFFF, 0x405060u);
    EXPECT_EQ(static_cast<const TqelColor*>(framework.ScanLine(0))[0] & 0xFFFFFF, 0x102030u);

    TPicture picture;
    picture.SetGraphic(std::make_unique<TTwoToneGraphic>());
    bitmap.CopyTo(picture);
    const auto* held = dynamic_cast<const TBitmap*>(picture.Graphic());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->Width(), 3);
    EXPECT_EQ(static_cast<const TqelColor*>(held->ScanLine(1))[2] & 0xFFFFFF, 0x405060u);

    TTwoToneGraphic other;
    try {
        bitmap.CopyTo(other);
        FAIL() << "no error";
    } catch (const TAssignError& error) {
        EXPECT_STREQ(error.what(), "Cannot assign a TqelBitmap to a TTwoToneGraphic");
    }
}

TEST(QelBitmap, AnswersWhatSectionAContextHolds) {
    TqelBitmap bitmap;
    bitmap.Resize(7, 3);
    int32_t width, height, bits;
    EXPECT_EQ(QueryDibSection(bitmap.MemoryDC(), width, height, bits), bitmap.Bits());
    EXPECT_EQ(width, 7);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(bits, 32);
    TBitmap device; // not a section
    device.SetSize(2, 2);
    EXPECT_EQ(QueryDibSection(device.Canvas().Handle(), width, height, bits), nullptr);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(bits, 0);
}
