#pragma once
// The implementations of the run kernels, one set per instruction set. Every set gives the same
// results bit for bit; the table takes the fastest set the processor can run.

#include <vector>

#include "qel/graphics/qel_bitmap.h"

// destination[i] = row[map[i]]; rowLength bounds what may be read from row.
using TGatherPixelsFn = void (*)(const TqelColor* row, int32_t rowLength, const int32_t* map,
                                 TqelColor* destination, int32_t count);

struct TRunKernels {
    const char* Name;
    TRunFn BlendPixelsPlain;
    TRunFn BlendPixelsMmx;
    TRunFn KeyCopyPixels;
    TFillPixelsFn FillPixels;
    TGatherPixelsFn GatherPixels;
};

extern const TRunKernels kScalarKernels;
// Null where the processor (or the build) cannot run them.
const TRunKernels* Sse2Kernels();
const TRunKernels* Avx2Kernels();

// The sets this processor can run, plain scalar first and the fastest last.
std::vector<const TRunKernels*> AvailableRunKernels();

// Fills the table from one set instead of the fastest (the benchmarks compare the sets).
void FillKernelTable(const TRunKernels& set);

// The gather of the set the table was filled from (the scalar one before).
TGatherPixelsFn SelectedGatherPixels();

// Scalar kernels shared by every set.
void CopyPixels(const TqelColor* source, TqelColor* destination, int32_t count);
void GatherPixelsScalar(const TqelColor* row, int32_t rowLength, const int32_t* map,
                        TqelColor* destination, int32_t count);
void SetAlphaBytes(TqelColor* destination, int32_t count, uint8_t alpha);
void ClearAlphaOfColor(TqelColor* destination, int32_t count, TqelColor color);

// One pixel of each variant, the arithmetic every set reproduces.
inline TqelColor BlendPlainArithmetic(TqelColor s, TqelColor d, uint32_t a) {
    // Red and blue share one multiply: each 16-bit lane stays below 255 * 255.
    const uint32_t rest = 255 - a;
    const uint32_t rb = (((s & 0xFF00FF) * a + (d & 0xFF00FF) * rest) >> 8) & 0xFF00FF;
    const uint32_t g = (((s & 0xFF00) * a + (d & 0xFF00) * rest) >> 8) & 0xFF00;
    return 0xFF000000 | rb | g;
}
inline TqelColor BlendMmxArithmetic(TqelColor s, TqelColor d, uint32_t a) {
    const uint32_t rest = 256 - a;
    const uint32_t rb = (((s & 0xFF00FF) * a + (d & 0xFF00FF) * rest) >> 8) & 0xFF00FF;
    const uint32_t ag = ((s >> 8) & 0xFF00FF) * a + ((d >> 8) & 0xFF00FF) * rest;
    return (ag & 0xFF00FF00) | rb;
}
