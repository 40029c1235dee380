#include "qel/host/qel_bitmap_win.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/errors.h"
#include "qel/host/qel_winapi_win.h"
#include "ui/assign_error.h"
#include "ui/canvas_win.h"
#include "ui/colors_win.h"
#include "ui/graphics_win.h"

namespace {

// The bitmaps that own a section, in the order they got it. Made by the first registration,
// dropped at unit shutdown.
std::unique_ptr<std::vector<TqelBitmap*>> gBitmapRegistry;

void Register(TqelBitmap* bitmap) {
    if (!gBitmapRegistry)
        gBitmapRegistry = std::make_unique<std::vector<TqelBitmap*>>();
    gBitmapRegistry->push_back(bitmap);
}

void Unregister(TqelBitmap* bitmap) {
    if (!gBitmapRegistry)
        return;
    auto& list = *gBitmapRegistry;
    list.erase(std::remove(list.begin(), list.end(), bitmap), list.end());
}

constinit TDcDrawTable gDcDrawTable = {OpaqueToDC, ComposeOnDC, ComposeOnDC};
constinit int32_t gScreenBitsPerPixel = 0;

// Sections are limited to what a 32-bit size can describe: larger requests are refused here
// rather than left to the system's own size arithmetic.
constexpr int64_t kMaxSectionBytes = 0x7FFFFFFF;

} // namespace

TqelBitmap* FindBitmapByDC(HDC dc) {
    if (!gBitmapRegistry)
        return nullptr;
    for (TqelBitmap* bitmap : *gBitmapRegistry)
        if (bitmap->MemoryDC() == dc)
            return bitmap;
    return nullptr;
}

TqelBitmap::TqelBitmap() {
    BITMAPINFOHEADER& header = bitmapInfo_.bmiHeader;
    header.biSize = sizeof(header);
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
}

TqelBitmap::~TqelBitmap() {
    Release();
}

void TqelBitmap::Release() {
    if (memoryDC_)
        Unregister(this);
    memoryDC_.Reset(); // first the context, then the section selected into it
    dibHandle_.Reset();
    bits_ = nullptr;
    // An empty bitmap has no pixels to walk: kernels given its view do nothing.
    width_ = height_ = 0;
}

void TqelBitmap::Resize(int32_t width, int32_t height) {
    const int64_t w = width < 0 ? -int64_t{width} : width;
    const int64_t h = height < 0 ? -int64_t{height} : height;
    if (w == 0 || h == 0 || (w == width_ && h == height_))
        return;
    Release();
    if (w > kMaxSectionBytes / 4 / h)
        throw TError("Can't allocate the DIB handle");

    bitmapInfo_.bmiHeader.biWidth = static_cast<LONG>(w);
    bitmapInfo_.bmiHeader.biHeight = -static_cast<LONG>(h); // top-down rows
    void* bits = nullptr;
    TGdiObject dib(CreateDIBSection(nullptr, &bitmapInfo_, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bits)
        throw TError("Can't allocate the DIB handle");
    TMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc)
        throw TError("Can't create compatible DC");
    const HGDIOBJ selected = SelectObject(dc.Get(), dib.Get());
    if (!selected || selected == HGDI_ERROR)
        throw TError("Can't select an object into DC");

    dibHandle_ = std::move(dib);
    memoryDC_ = std::move(dc);
    bits_ = static_cast<TqelColor*>(bits);
    Register(this);
    width_ = static_cast<int32_t>(w);
    height_ = static_cast<int32_t>(h);
}

void TqelBitmap::FillAll(TqelColor value) {
    if (IsEmpty())
        return;
    GdiFlush();
    KernelTable().FillPixels(bits_, width_ * height_, value);
}

void TqelBitmap::SetAllAlpha(uint8_t alpha) {
    if (IsEmpty())
        return;
    GdiFlush();
    KernelTable().SetAlphaBytes(bits_, width_ * height_, alpha);
}

void TqelBitmap::DetectTranslucency() {
    hasAlpha_ = false;
    if (IsEmpty())
        return;
    GdiFlush();
    const TqelColor* begin = bits_;
    const TqelColor* end = bits_ + int64_t{width_} * height_;
    hasAlpha_ = std::any_of(begin, end, [](TqelColor p) {
        const uint32_t a = p >> 24;
        return a != 0 && a != 255;
    });
}

void TqelBitmap::PutPixel(int32_t x, int32_t y, TqelColor value) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_ && bits_)
        *PixelAddress(x, y) = value;
}

void TqelBitmap::DrawOnDC(HDC dc, int32_t x, int32_t y) const {
    DrawOnDC(dc, {x, y, x + width_, y + height_}, {0, 0, width_, height_});
}

void TqelBitmap::DrawOnDC(HDC dc, int32_t x, int32_t y, const TRect& sourceRect) const {
    DrawOnDC(dc, {x, y, x + RectWidth(sourceRect), y + RectHeight(sourceRect)}, sourceRect);
}

void TqelBitmap::DrawOnDC(HDC dc, const TRect& destRect, const TRect& sourceRect) const {
    if (TqelBitmap* target = FindBitmapByDC(dc)) {
        // Between two bitmaps the pixels are moved in memory, in the target's logical
        // coordinates as far as its window origin goes.
        POINT origin = {};
        GetWindowOrgEx(dc, &origin);
        const TRect shifted = {destRect.left - origin.x, destRect.top - origin.y,
                               destRect.right - origin.x, destRect.bottom - origin.y};
        DrawOnBitmap(*target, shifted, sourceRect);
        return;
    }
    const TDrawToDcFn draw = hasAlpha_     ? gDcDrawTable.AlphaToDC
                             : colorKeyed_ ? gDcDrawTable.KeyedToDC
                                           : gDcDrawTable.OpaqueToDC;
    draw(dc, destRect.left, destRect.top, RectWidth(destRect), RectHeight(destRect), *this,
         sourceRect.left, sourceRect.top, RectWidth(sourceRect), RectHeight(sourceRect));
}

void TqelBitmap::DrawOnCanvas(TCanvas& canvas, int32_t x, int32_t y) const {
    DrawOnDC(canvas.Handle(), x, y);
}

void TqelBitmap::DrawOnBitmap(TqelBitmap& target, int32_t x, int32_t y) const {
    DrawOnBitmap(target, {x, y, x + width_, y + height_}, {0, 0, width_, height_});
}

void TqelBitmap::DrawOnBitmap(TqelBitmap& target, int32_t x, int32_t y,
                              const TRect& sourceRect) const {
    DrawOnBitmap(target, {x, y, x + RectWidth(sourceRect), y + RectHeight(sourceRect)}, sourceRect);
}

void TqelBitmap::DrawOnBitmap(TqelBitmap& target, const TRect& destRect,
                              const TRect& sourceRect) const {
    const TKernelTable& kernels = KernelTable();
    const TStretchFn stretch = hasAlpha_     ? kernels.StretchBlend
                               : colorKeyed_ ? kernels.StretchKey
                                             : kernels.StretchCopy;
    GdiFlush(); // either bitmap may have system drawing still queued
    stretch(target.Pixels(), destRect, destRect, Pixels(), sourceRect);
}

void TqelBitmap::FillArea(const TRect& rect, TqelColor value) {
    const int32_t left = std::max(rect.left, 0);
    const int32_t top = std::max(rect.top, 0);
    const int32_t right = std::min(rect.right, width_);
    const int32_t bottom = std::min(rect.bottom, height_);
    if (int64_t{right} - left <= 0 || int64_t{bottom} - top <= 0)
        return;
    GdiFlush();
    const TKernelTable& kernels = KernelTable();
    if (hasAlpha_) {
        TLeaveMmxAtEnd leaveMmx;
        const int32_t width = right - left;
        TArrayOffeColor line(static_cast<size_t>(width));
        kernels.FillPixels(line.data(), width, value);
        for (int32_t y = top; y < bottom; ++y)
            kernels.BlendPixels(line.data(), PixelAddress(left, y), width);
    } else {
        kernels.FillPixelRect(bits_, width_, left, top, right - 1, bottom - 1, value);
    }
}

void TqelBitmap::RenderGraphic(const TGraphic& graphic, const TRect& rect) {
    TBitmap scratch;
    scratch.SetPixelFormat(TPixelFormat::pf32bit);
    scratch.SetSize(width_, height_);
    TCanvas& canvas = scratch.Canvas();
    canvas.SetBrushColor(kRenderKeyColor);
    canvas.FillRect({-1, -1, width_ + 1, height_ + 1});
    canvas.StretchDraw(rect, graphic);
    for (int32_t y = 0; y < scratch.Height(); ++y) {
        const auto* row = static_cast<const TqelColor*>(scratch.ScanLine(y));
        for (int32_t x = 0; x < scratch.Width(); ++x)
            if ((row[x] & 0xFFFFFF) != 0xFF00FF) // red 255, green 0, blue 255 was not painted
                PutPixel(x, y, row[x]);
    }
}

void TqelBitmap::CopyFrom(const TqelBitmap& source) {
    Resize(source.width_, source.height_);
    // An empty source has nothing to give: this bitmap stays as it is.
    if (IsEmpty() || source.IsEmpty())
        return;
    GdiFlush();
    KernelTable().CopyPixels(source.bits_, bits_, width_ * height_);
    colorKeyed_ = source.colorKeyed_;
    hasAlpha_ = source.hasAlpha_;
}

namespace {

void CopyFromDeviceBitmap(TqelBitmap& bitmap, const TBitmap& source) {
    bitmap.Resize(source.Width(), source.Height());
    if (bitmap.IsEmpty())
        return;
    BitBlt(bitmap.MemoryDC(), 0, 0, bitmap.Width(), bitmap.Height(), source.Canvas().Handle(), 0, 0,
           SRCCOPY);
    bitmap.SetAllAlpha(255);
}

void CopyFromRendered(TqelBitmap& bitmap, const TGraphic& source) {
    bitmap.Resize(source.Width(), source.Height());
    if (bitmap.IsEmpty())
        return;
    bitmap.RenderGraphic(source, {0, 0, bitmap.Width(), bitmap.Height()});
    bitmap.SetAllAlpha(255);
}

} // namespace

void TqelBitmap::CopyFrom(const TGraphic& source) {
    const auto* bitmap = dynamic_cast<const TBitmap*>(&source);
    if (!bitmap) {
        CopyFromRendered(*this, source);
        return;
    }
    if (bitmap->PixelFormat() != TPixelFormat::pf32bit ||
        bitmap->HandleType() != TBitmapHandleType::bmDIB) {
        CopyFromDeviceBitmap(*this, *bitmap);
        return;
    }
    // All four bytes as stored, alpha included; whether that alpha means anything is found out.
    Resize(bitmap->Width(), bitmap->Height());
    if (!IsEmpty() && width_ == bitmap->Width() && height_ == bitmap->Height())
        for (int32_t y = 0; y < height_; ++y)
            KernelTable().CopyPixels(static_cast<const TqelColor*>(bitmap->ScanLine(y)),
                                     RowAddress(y), width_);
    DetectTranslucency();
}

void TqelBitmap::CopyFrom(const TPicture& source) {
    const TGraphic* graphic = source.Graphic();
    if (!graphic) // a picture without a graphic has nothing to give
        return;
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(graphic))
        CopyFromDeviceBitmap(*this, *bitmap);
    else
        CopyFromRendered(*this, *graphic);
}

void TqelBitmap::CopyTo(TGraphic& target) const {
    auto* bitmap = dynamic_cast<TBitmap*>(&target);
    if (!bitmap)
        throw TAssignError("TqelBitmap", target.ClassName());
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->SetSize(width_, height_);
    DrawOnCanvas(bitmap->Canvas(), 0, 0);
}

void TqelBitmap::CopyTo(TPicture& target) const {
    CopyTo(target.Bitmap());
}

TqelColor TqelBitmap::ColorWithAlpha(TColor color, uint8_t alpha) {
    return (ColorToPixel(ColorToRGB(color)) & 0xFFFFFF) | static_cast<TqelColor>(alpha) << 24;
}

void OpaqueToDC(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height,
                const TqelBitmap& bitmap, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                int32_t sourceHeight) {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, x, y, width, height, bitmap.MemoryDC(), sourceX, sourceY, sourceWidth,
               sourceHeight, SRCCOPY);
}

void KeyedToDC(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height,
               const TqelBitmap& bitmap, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
               int32_t sourceHeight) {
    if (const auto transparentBlt = OptionalApi().TransparentBlt())
        transparentBlt(dc, x, y, width, height, bitmap.MemoryDC(), sourceX, sourceY, sourceWidth,
                       sourceHeight, kKeyColor);
}

void ComposeOnDC(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height,
                 const TqelBitmap& bitmap, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                 int32_t sourceHeight) {
    if (width < 1 || height < 1) // nothing to compose (and no mirrored scratch to make)
        return;
    TqelBitmap scratch;
    scratch.Resize(width, height);
    BitBlt(scratch.MemoryDC(), 0, 0, width, height, dc, x, y, SRCCOPY);
    bitmap.DrawOnBitmap(scratch, {0, 0, width, height},
                        {sourceX, sourceY, sourceX + sourceWidth, sourceY + sourceHeight});
    BitBlt(dc, x, y, width, height, scratch.MemoryDC(), 0, 0, SRCCOPY);
}

const TDcDrawTable& DcDrawTable() {
    return gDcDrawTable;
}

int32_t ScreenBitsPerPixel() {
    return gScreenBitsPerPixel;
}

void* QueryDibSection(HDC dc, int32_t& width, int32_t& height, int32_t& bitCount) {
    width = height = bitCount = 0;
    DIBSECTION section = {};
    HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    if (!bitmap || GetObject(bitmap, sizeof(section), &section) != sizeof(section))
        return nullptr;
    width = section.dsBm.bmWidth;
    height = section.dsBm.bmHeight;
    bitCount = section.dsBm.bmBitsPixel;
    return section.dsBm.bmBits;
}

void QelBitmapUnitStart() {
    FillKernelTable();
    gDcDrawTable.OpaqueToDC = OpaqueToDC;
    gDcDrawTable.AlphaToDC = ComposeOnDC;
    gDcDrawTable.KeyedToDC = ComposeOnDC;
    if (OptionalApi().HasTransparentBlt()) {
        HDC screen = GetDC(nullptr);
        gScreenBitsPerPixel = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(nullptr, screen);
        if (gScreenBitsPerPixel >= 24)
            gDcDrawTable.KeyedToDC = KeyedToDC;
    }
}

void QelBitmapUnitShutdown() {
    gBitmapRegistry.reset();
}
