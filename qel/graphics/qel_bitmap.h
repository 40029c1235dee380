#pragma once
// Pixels of the 32-bit off-screen bitmap and the kernels that fill, copy, blend and colour-key
// them, with and without nearest-neighbour scaling. Everything is reached through KernelTable(),
// filled once at unit start: the blend kernels in the variant this processor selects, every
// kernel in the fastest exact implementation it can run.

#include <cstdint>
#include <vector>

#include "base/rect.h"
#include "qel/graphics/qel_utils.h"

// Bytes blue, green, red, alpha in memory (0xAARRGGBB read little-endian); straight alpha.
using TqelColor = uint32_t;
using TArrayOffeColor = std::vector<TqelColor>;

// Red 127, green 0, blue 127: pixels of this colour (whatever their alpha) are skipped by keyed
// copies.
constexpr TqelColor kKeyColor = 0x7F007F;

// A view of a bitmap's pixels: Height rows of Width pixels each, top row first, no padding.
struct TPixelBuffer {
    TqelColor* Bits = nullptr;
    int32_t Width = 0;
    int32_t Height = 0;
};

// Run kernels; a count of 0 or less processes nothing.
using TBlendPixelFn = TqelColor (*)(TqelColor foreground, TqelColor background);
using TRunFn = void (*)(const TqelColor* source, TqelColor* destination, int32_t count);
using TFillPixelsFn = void (*)(TqelColor* destination, int32_t count, TqelColor value);
using TSetAlphaBytesFn = void (*)(TqelColor* destination, int32_t count, uint8_t alpha);
using TClearAlphaOfColorFn = void (*)(TqelColor* destination, int32_t count, TqelColor color);
// Inclusive corners (x1, y1) and (x2, y2) in a buffer whose rows are rowLength pixels long.
using TFillPixelRectFn = void (*)(TqelColor* buffer, int32_t rowLength, int32_t x1, int32_t y1,
                                  int32_t x2, int32_t y2, TqelColor value);
using TSetAlphaRectFn = void (*)(TqelColor* buffer, int32_t rowLength, int32_t x1, int32_t y1,
                                 int32_t x2, int32_t y2, uint8_t alpha);
// Copies, blends or keys the clipped rectangle r of the destination from the source starting
// at (sourceX, sourceY). Raises TAssertionError when either buffer has no pixels.
using TTransferFn = void (*)(const TPixelBuffer& destination, const TRect& r,
                             const TPixelBuffer& source, int32_t sourceX, int32_t sourceY);
// Maps sourceRect onto destRect by nearest neighbour and transfers the part inside clip.
using TStretchFn = void (*)(const TPixelBuffer& destination, const TRect& destRect,
                            const TRect& clip, const TPixelBuffer& source, const TRect& sourceRect);

struct TKernelTable {
    TBlendPixelFn BlendPixel; // single pixel
    TRunFn BlendPixels;       // source drawn over destination
    TRunFn KeyCopyPixels;     // key-coloured source pixels skipped, the others stored opaque
    TRunFn CopyPixels;        // a forward copy; nothing when both runs start at one address
    TFillPixelsFn FillPixels;
    TFillPixelRectFn FillPixelRect;
    TSetAlphaBytesFn SetAlphaBytes;
    TSetAlphaRectFn SetAlphaRect;
    TClearAlphaOfColorFn ClearAlphaOfColor; // alpha 0 where the colour bytes equal the colour's
    TTransferFn TransferCopy, TransferBlend, TransferKey;
    TStretchFn StretchCopy, StretchBlend, StretchKey;
};

// Valid at any time (plain scalar kernels until unit start fills it); never changes afterwards.
const TKernelTable& KernelTable();

// The two blend variants. Plain: colours (S*A + D*(255-A)) >> 8, alpha 255. Mmx: all four
// channels (D*(256-A) + S*A) >> 8. BlendPixels of both variants leaves the destination alone for
// A = 0 and stores the source for A = 255; BlendPixelMmx has no such short cuts.
TqelColor BlendPixelPlain(TqelColor foreground, TqelColor background);
TqelColor BlendPixelMmx(TqelColor foreground, TqelColor background);

// The transfers as the table holds them.
void TransferCopy(const TPixelBuffer& destination, const TRect& r, const TPixelBuffer& source,
                  int32_t sourceX, int32_t sourceY);
void TransferBlend(const TPixelBuffer& destination, const TRect& r, const TPixelBuffer& source,
                   int32_t sourceX, int32_t sourceY);
void TransferKey(const TPixelBuffer& destination, const TRect& r, const TPixelBuffer& source,
                 int32_t sourceX, int32_t sourceY);
void StretchCopy(const TPixelBuffer& destination, const TRect& destRect, const TRect& clip,
                 const TPixelBuffer& source, const TRect& sourceRect);
void StretchBlend(const TPixelBuffer& destination, const TRect& destRect, const TRect& clip,
                  const TPixelBuffer& source, const TRect& sourceRect);
void StretchKey(const TPixelBuffer& destination, const TRect& destRect, const TRect& clip,
                const TPixelBuffer& source, const TRect& sourceRect);

// Ends MMX use on every way out of a scope that may have run the blend kernels.
class TLeaveMmxAtEnd {
public:
    TLeaveMmxAtEnd() = default;
    TLeaveMmxAtEnd(const TLeaveMmxAtEnd&) = delete;
    TLeaveMmxAtEnd& operator=(const TLeaveMmxAtEnd&) = delete;
    ~TLeaveMmxAtEnd() { LeaveMmx(); }
};

// Fills the table: the MMX blend variant when the processor has MMX (asked afresh), else the
// plain one.
void FillKernelTable();

// The graphics unit: fills the table (and on Windows chooses the device-context strategies);
// shutdown forgets the bitmap registry.
void QelBitmapUnitStart();
void QelBitmapUnitShutdown();
