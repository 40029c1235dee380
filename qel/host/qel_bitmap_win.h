#pragma once
// The 32-bit off-screen bitmap: a top-down device-independent section, selected for its whole
// life into a memory device context of its own, so that the system's drawing calls and the
// pixel kernels work on the same memory.

#include <cstdint>
#include <windows.h>

#include "base/handles_win.h"
#include "qel/graphics/qel_bitmap.h"
#include "ui/colors.h"

class TCanvas;
class TGraphic;
class TPicture;

// Red 255, green 0, blue 255: what a rendered graphic did not paint.
constexpr TColor kRenderKeyColor = 0xFF00FF;

class TqelBitmap {
public:
    TqelBitmap();
    virtual ~TqelBitmap();
    TqelBitmap(const TqelBitmap&) = delete;
    TqelBitmap& operator=(const TqelBitmap&) = delete;

    TqelColor* Bits() const { return bits_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    const BITMAPINFO& BitmapInfo() const { return bitmapInfo_; }
    HBITMAP DibHandle() const { return static_cast<HBITMAP>(dibHandle_.Get()); }
    HDC MemoryDC() const { return memoryDC_.Get(); }
    TPixelBuffer Pixels() const { return {bits_, width_, height_}; }

    // Drawing this bitmap blends it by its alpha channel.
    bool HasAlpha() const { return hasAlpha_; }
    void SetHasAlpha(bool value) { hasAlpha_ = value; }
    // Drawing this bitmap (without HasAlpha) skips pixels of kKeyColor.
    bool ColorKeyed() const { return colorKeyed_; }
    void SetColorKeyed(bool value) { colorKeyed_ = value; }

    // A new section of |width| x |height| pixels, all 0; nothing happens when either is 0 or the
    // size is the current one. Raises TError, leaving the bitmap empty, when the system refuses.
    void Resize(int32_t width, int32_t height);
    bool IsEmpty() const { return bits_ == nullptr; }

    void FillAll(TqelColor value);
    void SetAllAlpha(uint8_t alpha);
    // HasAlpha becomes whether any pixel has an alpha other than 0 and 255.
    void DetectTranslucency();

    // No bounds checks; direct access after system drawing needs GdiFlush first.
    TqelColor* RowAddress(int32_t y) const { return bits_ + int64_t{y} * width_; }
    TqelColor* PixelAddress(int32_t x, int32_t y) const { return bits_ + int64_t{y} * width_ + x; }
    // Stores the value only inside the bitmap.
    void PutPixel(int32_t x, int32_t y, TqelColor value);

    // Draws onto a device context: 1:1 at (x, y); a part 1:1 at (x, y); a part stretched into
    // destRect. The context of another TqelBitmap is drawn into in memory.
    void DrawOnDC(HDC dc, int32_t x, int32_t y) const;
    void DrawOnDC(HDC dc, int32_t x, int32_t y, const TRect& sourceRect) const;
    void DrawOnDC(HDC dc, const TRect& destRect, const TRect& sourceRect) const;
    void DrawOnCanvas(TCanvas& canvas, int32_t x, int32_t y) const;
    void DrawOnBitmap(TqelBitmap& target, int32_t x, int32_t y) const;
    void DrawOnBitmap(TqelBitmap& target, int32_t x, int32_t y, const TRect& sourceRect) const;
    void DrawOnBitmap(TqelBitmap& target, const TRect& destRect, const TRect& sourceRect) const;

    // Stores (or with HasAlpha blends) the value into the part of rect inside the bitmap.
    void FillArea(const TRect& rect, TqelColor value);
    // Draws a graphic stretched into rect; what it leaves unpainted stays as it was.
    void RenderGraphic(const TGraphic& graphic, const TRect& rect);

    // Takes the image of another bitmap, a framework graphic or a picture.
    virtual void CopyFrom(const TqelBitmap& source);
    virtual void CopyFrom(const TGraphic& source);
    virtual void CopyFrom(const TPicture& source);
    // Puts this image into a framework bitmap or picture; other graphics raise TAssignError.
    virtual void CopyTo(TGraphic& target) const;
    virtual void CopyTo(TPicture& target) const;

    // 0x00BBGGRR to a pixel: bytes swapped into pixel order, alpha 255.
    static TqelColor ColorToPixel(uint32_t rgb) {
        return 0xFF000000 + (rgb & 0xFF) * 65536 + (rgb & 0xFF00) + ((rgb >> 16) & 0xFF);
    }
    // A framework colour (system colours resolved) with the given alpha.
    static TqelColor ColorWithAlpha(TColor color, uint8_t alpha);

private:
    void Release();

    TqelColor* bits_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    BITMAPINFO bitmapInfo_ = {};
    TGdiObject dibHandle_;
    TMemoryDc memoryDC_;
    bool hasAlpha_ = false;
    bool colorKeyed_ = false;
};

// The first live bitmap whose memory device context is dc, or null.
TqelBitmap* FindBitmapByDC(HDC dc);

// Strategies for drawing onto a device context that belongs to no TqelBitmap: destination
// position and size, the bitmap, source position and size.
using TDrawToDcFn = void (*)(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height,
                             const TqelBitmap& bitmap, int32_t sourceX, int32_t sourceY,
                             int32_t sourceWidth, int32_t sourceHeight);
// Stretch-blits the pixels as they are.
void OpaqueToDC(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height,
                const TqelBitmap& bitmap, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                int32_t sourceHeight);
// TransparentBlt with the key colour.
void KeyedToDC(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height,
               const TqelBitmap& bitmap, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
               int32_t sourceHeight);
// Reads the destination back, draws over it in memory, writes it back.
void ComposeOnDC(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height,
                 const TqelBitmap& bitmap, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                 int32_t sourceHeight);

struct TDcDrawTable {
    TDrawToDcFn OpaqueToDC; // neither flag
    TDrawToDcFn AlphaToDC;  // HasAlpha
    TDrawToDcFn KeyedToDC;  // ColorKeyed: KeyedToDC where TransparentBlt serves, else ComposeOnDC
};
// Filled at unit start together with the kernel table.
const TDcDrawTable& DcDrawTable();

// The screen's bits per pixel times its planes, as measured at unit start (0 before or when the
// keyed strategy did not need it).
int32_t ScreenBitsPerPixel();

// The bits of the device-independent section selected into dc with its width, height and bits
// per pixel; null and zeros when dc holds no such section.
void* QueryDibSection(HDC dc, int32_t& width, int32_t& height, int32_t& bitCount);
