#include "qel/graphics/qel_bitmap.h"

#include <algorithm>

#include "base/errors.h"
#include "qel/graphics/qel_kernels.h"

namespace {

void Transfer(TRunFn run, const TPixelBuffer& destination, const TRect& r,
              const TPixelBuffer& source, int32_t sourceX, int32_t sourceY) {
    if (!source.Bits || !destination.Bits)
        throw TAssertionError("Assertion failure", "qel_bitmap", __LINE__);
    const TqelColor* from = source.Bits + int64_t{sourceY} * source.Width + sourceX;
    TqelColor* to = destination.Bits + int64_t{r.top} * destination.Width + r.left;
    const int32_t count = r.right - r.left;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        run(from, to, count);
        from += source.Width;
        to += destination.Width;
    }
}

TRect Intersect(const TRect& a, const TRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// Source position of destination offset i for a destination extent of at least 2: the factor
// is held in single precision, the product and sum are taken at extended precision and
// truncated. Kept inside the source rectangle, which the single-precision factor could leave
// for sources wider than 2^24 pixels.
int32_t MapNearest(int64_t offset, float factor, int32_t first, int32_t last) {
    const long double position = static_cast<long double>(offset) * factor + first;
    return static_cast<int32_t>(std::min<long double>(position, last));
}

float MapFactor(int64_t sourceExtent, int64_t destinationExtent) {
    return static_cast<float>(static_cast<long double>(sourceExtent - 1) /
                              static_cast<long double>(destinationExtent - 1));
}

int32_t Middle(int32_t first, int32_t end) {
    return static_cast<int32_t>((int64_t{first} + end - 1) / 2);
}

enum class TStretchKind { Copy, Blend, Key };

void Stretch(TStretchKind kind, const TPixelBuffer& destination, const TRect& destRect,
             const TRect& clipRect, const TPixelBuffer& source, const TRect& sourceRect) {
    const int64_t sourceWidth = int64_t{sourceRect.right} - sourceRect.left;
    const int64_t sourceHeight = int64_t{sourceRect.bottom} - sourceRect.top;
    if (sourceWidth < 1 || sourceHeight < 1)
        return;
    const TRect clip =
        Intersect(Intersect(clipRect, {0, 0, destination.Width, destination.Height}), destRect);
    if (RectIsEmpty(clip))
        return;
    if (sourceRect.left < 0 || sourceRect.top < 0 || sourceRect.right > source.Width ||
        sourceRect.bottom > source.Height)
        return;

    TLeaveMmxAtEnd leaveMmx;
    const TKernelTable& kernels = KernelTable();
    const int64_t destWidth = int64_t{destRect.right} - destRect.left;
    const int64_t destHeight = int64_t{destRect.bottom} - destRect.top;
    if (destWidth == sourceWidth && destHeight == sourceHeight) {
        const TTransferFn transfer = kind == TStretchKind::Copy    ? kernels.TransferCopy
                                     : kind == TStretchKind::Blend ? kernels.TransferBlend
                                                                   : kernels.TransferKey;
        transfer(destination, clip, source, sourceRect.left + (clip.left - destRect.left),
                 sourceRect.top + (clip.top - destRect.top));
        return;
    }

    const int32_t clipWidth = RectWidth(clip);
    const int32_t clipHeight = RectHeight(clip);
    std::vector<int32_t> columns(static_cast<size_t>(clipWidth));
    if (destWidth >= 2) {
        const float factor = MapFactor(sourceWidth, destWidth);
        const int64_t start = int64_t{clip.left} - destRect.left;
        for (int32_t i = 0; i < clipWidth; ++i)
            columns[static_cast<size_t>(i)] =
                MapNearest(start + i, factor, sourceRect.left, sourceRect.right - 1);
    } else {
        columns[0] = Middle(sourceRect.left, sourceRect.right);
    }
    const float rowFactor = destHeight >= 2 ? MapFactor(sourceHeight, destHeight) : 0.0f;
    const int64_t rowStart = int64_t{clip.top} - destRect.top;

    const TGatherPixelsFn gather = SelectedGatherPixels();
    const TRunFn run = kind == TStretchKind::Blend ? kernels.BlendPixels : kernels.KeyCopyPixels;
    TArrayOffeColor line(kind == TStretchKind::Copy ? 0 : static_cast<size_t>(clipWidth));
    int32_t previousRow = -1;
    const TqelColor* previousLine = nullptr;
    for (int32_t j = 0; j < clipHeight; ++j) {
        if (kind != TStretchKind::Copy && destHeight >= 2)
            LeaveMmx(); // the row's mapping below is floating-point work
        const int32_t sourceRow =
            destHeight >= 2
                ? MapNearest(rowStart + j, rowFactor, sourceRect.top, sourceRect.bottom - 1)
                : Middle(sourceRect.top, sourceRect.bottom);
        const TqelColor* sourceLine = source.Bits + int64_t{sourceRow} * source.Width;
        TqelColor* destLine =
            destination.Bits + (int64_t{clip.top} + j) * destination.Width + clip.left;
        if (kind == TStretchKind::Copy) {
            if (sourceRow == previousRow)
                kernels.CopyPixels(previousLine, destLine, clipWidth);
            else
                gather(sourceLine, source.Width, columns.data(), destLine, clipWidth);
            previousLine = destLine;
        } else {
            if (sourceRow != previousRow)
                gather(sourceLine, source.Width, columns.data(), line.data(), clipWidth);
            run(line.data(), destLine, clipWidth);
        }
        previousRow = sourceRow;
    }
}

} // namespace

void TransferCopy(const TPixelBuffer& destination, const TRect& r, const TPixelBuffer& source,
                  int32_t sourceX, int32_t sourceY) {
    Transfer(KernelTable().CopyPixels, destination, r, source, sourceX, sourceY);
}

void TransferBlend(const TPixelBuffer& destination, const TRect& r, const TPixelBuffer& source,
                   int32_t sourceX, int32_t sourceY) {
    Transfer(KernelTable().BlendPixels, destination, r, source, sourceX, sourceY);
}

void TransferKey(const TPixelBuffer& destination, const TRect& r, const TPixelBuffer& source,
                 int32_t sourceX, int32_t sourceY) {
    Transfer(KernelTable().KeyCopyPixels, destination, r, source, sourceX, sourceY);
}

void StretchCopy(const TPixelBuffer& destination, const TRect& destRect, const TRect& clip,
                 const TPixelBuffer& source, const TRect& sourceRect) {
    Stretch(TStretchKind::Copy, destination, destRect, clip, source, sourceRect);
}

void StretchBlend(const TPixelBuffer& destination, const TRect& destRect, const TRect& clip,
                  const TPixelBuffer& source, const TRect& sourceRect) {
    Stretch(TStretchKind::Blend, destination, destRect, clip, source, sourceRect);
}

void StretchKey(const TPixelBuffer& destination, const TRect& destRect, const TRect& clip,
                const TPixelBuffer& source, const TRect& sourceRect) {
    Stretch(TStretchKind::Key, destination, destRect, clip, source, sourceRect);
}

// On Windows the unit also chooses the device-context strategies (qel_bitmap_win.cpp).
#ifndef _WIN32
void QelBitmapUnitStart() {
    FillKernelTable();
}

void QelBitmapUnitShutdown() {}
#endif
