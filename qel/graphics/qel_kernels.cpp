#include "qel/graphics/qel_kernels.h"

#include <algorithm>
#include <cstring>

namespace {

// The two blend variants share the loop; only the arithmetic of a partly transparent pixel differs.
template <TqelColor (*Blend)(TqelColor, TqelColor, uint32_t)>
void BlendPixelsScalar(const TqelColor* source, TqelColor* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const TqelColor s = source[i];
        const uint32_t a = s >> 24;
        if (a == 255)
            destination[i] = s;
        else if (a != 0)
            destination[i] = Blend(s, destination[i], a);
    }
}

constexpr auto BlendPixelsPlainScalar = BlendPixelsScalar<BlendPlainArithmetic>;
constexpr auto BlendPixelsMmxScalar = BlendPixelsScalar<BlendMmxArithmetic>;

void KeyCopyPixelsScalar(const TqelColor* source, TqelColor* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const TqelColor s = source[i];
        if ((s & 0xFFFFFF) != kKeyColor)
            destination[i] = s | 0xFF000000;
    }
}

void FillPixelsScalar(TqelColor* destination, int32_t count, TqelColor value) {
    for (int32_t i = 0; i < count; ++i)
        destination[i] = value;
}

void FillPixelRect(TqelColor* buffer, int32_t rowLength, int32_t x1, int32_t y1, int32_t x2,
                   int32_t y2, TqelColor value) {
    if (x2 < x1 || y2 < y1)
        return;
    const auto fill = KernelTable().FillPixels;
    for (int64_t y = y1; y <= y2; ++y)
        fill(buffer + y * rowLength + x1, x2 - x1 + 1, value);
}

void SetAlphaRect(TqelColor* buffer, int32_t rowLength, int32_t x1, int32_t y1, int32_t x2,
                  int32_t y2, uint8_t alpha) {
    if (x2 < x1 || y2 < y1)
        return;
    for (int64_t y = y1; y <= y2; ++y)
        SetAlphaBytes(buffer + y * rowLength + x1, x2 - x1 + 1, alpha);
}

// Until the unit starts: the plain variant, scalar.
constinit TKernelTable gKernelTable = {
    BlendPixelPlain,   BlendPixelsPlainScalar, KeyCopyPixelsScalar, CopyPixels,
    FillPixelsScalar,  FillPixelRect,          SetAlphaBytes,       SetAlphaRect,
    ClearAlphaOfColor, TransferCopy,           TransferBlend,       TransferKey,
    StretchCopy,       StretchBlend,           StretchKey,
};
constinit TGatherPixelsFn gGatherPixels = GatherPixelsScalar;

} // namespace

const TRunKernels kScalarKernels = {
    "scalar",         BlendPixelsPlainScalar, BlendPixelsMmxScalar, KeyCopyPixelsScalar,
    FillPixelsScalar, GatherPixelsScalar};

std::vector<const TRunKernels*> AvailableRunKernels() {
    std::vector<const TRunKernels*> sets = {&kScalarKernels};
    for (const TRunKernels* set : {Sse2Kernels(), Avx2Kernels()})
        if (set)
            sets.push_back(set);
    return sets;
}

const TKernelTable& KernelTable() {
    return gKernelTable;
}

TGatherPixelsFn SelectedGatherPixels() {
    return gGatherPixels;
}

TqelColor BlendPixelPlain(TqelColor foreground, TqelColor background) {
    const uint32_t a = foreground >> 24;
    if (a == 0)
        return background;
    if (a == 255)
        return foreground;
    return BlendPlainArithmetic(foreground, background, a);
}

TqelColor BlendPixelMmx(TqelColor foreground, TqelColor background) {
    return BlendMmxArithmetic(foreground, background, foreground >> 24);
}

void CopyPixels(const TqelColor* source, TqelColor* destination, int32_t count) {
    if (count <= 0 || source == destination)
        return;
    const auto from = reinterpret_cast<uintptr_t>(source);
    const auto to = reinterpret_cast<uintptr_t>(destination);
    const uintptr_t bytes = static_cast<uintptr_t>(count) * sizeof(TqelColor);
    if (to <= from || to >= from + bytes) {
        std::memmove(destination, source, bytes);
        return;
    }
    // The destination starts inside the source: a forward copy repeats the first
    // (destination - source) pixels, each chunk reading what the one before it wrote.
    const int32_t distance = static_cast<int32_t>(destination - source);
    for (int32_t done = 0; done < count; done += distance)
        std::memcpy(destination + done, source + done,
                    static_cast<size_t>(std::min(distance, count - done)) * sizeof(TqelColor));
}

void GatherPixelsScalar(const TqelColor* row, int32_t, const int32_t* map, TqelColor* destination,
                        int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        destination[i] = row[map[i]];
}

void SetAlphaBytes(TqelColor* destination, int32_t count, uint8_t alpha) {
    const TqelColor top = static_cast<TqelColor>(alpha) << 24;
    for (int32_t i = 0; i < count; ++i)
        destination[i] = (destination[i] & 0xFFFFFF) | top;
}

void ClearAlphaOfColor(TqelColor* destination, int32_t count, TqelColor color) {
    color &= 0xFFFFFF;
    for (int32_t i = 0; i < count; ++i)
        if ((destination[i] & 0xFFFFFF) == color)
            destination[i] = color;
}

void FillKernelTable() {
    FillKernelTable(*AvailableRunKernels().back());
}

void FillKernelTable(const TRunKernels& best) {
    const bool mmx = HasMmx();
    gKernelTable.BlendPixel = mmx ? BlendPixelMmx : BlendPixelPlain;
    gKernelTable.BlendPixels = mmx ? best.BlendPixelsMmx : best.BlendPixelsPlain;
    gKernelTable.KeyCopyPixels = best.KeyCopyPixels;
    gKernelTable.CopyPixels = CopyPixels;
    gKernelTable.FillPixels = best.FillPixels;
    gKernelTable.FillPixelRect = FillPixelRect;
    gKernelTable.SetAlphaBytes = SetAlphaBytes;
    gKernelTable.SetAlphaRect = SetAlphaRect;
    gKernelTable.ClearAlphaOfColor = ClearAlphaOfColor;
    gKernelTable.TransferCopy = TransferCopy;
    gKernelTable.TransferBlend = TransferBlend;
    gKernelTable.TransferKey = TransferKey;
    gKernelTable.StretchCopy = StretchCopy;
    gKernelTable.StretchBlend = StretchBlend;
    gKernelTable.StretchKey = StretchKey;
    gGatherPixels = best.GatherPixels;
}
