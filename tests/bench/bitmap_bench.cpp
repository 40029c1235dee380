// The pixel kernels against pixman (blend, scaling) and the C library (copy, fill) on the same
// full-HD buffers. Figures are pixels per second (items_per_second).

#include <benchmark/benchmark.h>

#include <cstring>
#include <pixman.h>
#include <random>
#include <vector>

#include "qel/qel_bitmap.h"
#include "qel/qel_units.h"

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;
constexpr int32_t kSmallWidth = 1024, kSmallHeight = 768;

enum TAlphas { kRandomAlpha, kMixedAlpha, kHalfAlpha };

std::vector<TqelColor> Pixels(int32_t width, int32_t height, TAlphas alphas, unsigned seed) {
    std::vector<TqelColor> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    std::mt19937 random(seed);
    for (TqelColor& p : pixels) {
        p = static_cast<TqelColor>(random());
        const uint32_t kinds[] = {0, 0xFF000000, p & 0xFF000000};
        if (alphas == kMixedAlpha)
            p = (p & 0xFFFFFF) | kinds[random() % 3];
        else if (alphas == kHalfAlpha)
            p = (p & 0xFFFFFF) | 0x80000000;
    }
    return pixels;
}

struct TSurface {
    std::vector<TqelColor> pixels;
    int32_t width, height;
    pixman_image_t* image;
    TSurface(int32_t w, int32_t h, TAlphas alphas, unsigned seed)
        : pixels(Pixels(w, h, alphas, seed)), width(w), height(h),
          image(pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, pixels.data(), w * 4)) {}
    ~TSurface() { pixman_image_unref(image); }
    TSurface(const TSurface&) = delete;
    TSurface& operator=(const TSurface&) = delete;
    TPixelBuffer View() { return {pixels.data(), width, height}; }
};

void Count(benchmark::State& state, int64_t pixels) {
    state.SetItemsProcessed(state.iterations() * pixels);
}

// ---- Blending a full screen.

void BM_BlendPixels(benchmark::State& state) {
    TSurface source(kWidth, kHeight, static_cast<TAlphas>(state.range(0)), 1);
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    for (auto _ : state) {
        KernelTable().TransferBlend(dest.View(), {0, 0, kWidth, kHeight}, source.View(), 0, 0);
        benchmark::ClobberMemory();
    }
    LeaveMmx();
    Count(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_BlendPixels)->ArgName("alphas")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_PixmanOver(benchmark::State& state) {
    TSurface source(kWidth, kHeight, static_cast<TAlphas>(state.range(0)), 1);
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, source.image, nullptr, dest.image, 0, 0, 0, 0, 0,
                                 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    Count(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_PixmanOver)->ArgName("alphas")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

// ---- Copying and filling a full screen.

void BM_CopyPixels(benchmark::State& state) {
    TSurface source(kWidth, kHeight, kRandomAlpha, 1);
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    for (auto _ : state) {
        KernelTable().CopyPixels(source.pixels.data(), dest.pixels.data(), kWidth * kHeight);
        benchmark::ClobberMemory();
    }
    Count(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_CopyPixels)->Unit(benchmark::kMicrosecond);

void BM_Memcpy(benchmark::State& state) {
    TSurface source(kWidth, kHeight, kRandomAlpha, 1);
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    for (auto _ : state) {
        std::memcpy(dest.pixels.data(), source.pixels.data(), size_t{kWidth} * kHeight * 4);
        benchmark::ClobberMemory();
    }
    Count(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

void BM_FillPixels(benchmark::State& state) {
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    for (auto _ : state) {
        KernelTable().FillPixels(dest.pixels.data(), kWidth * kHeight, 0x80123456);
        benchmark::ClobberMemory();
    }
    Count(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_FillPixels)->Unit(benchmark::kMicrosecond);

void BM_Memset(benchmark::State& state) {
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    for (auto _ : state) {
        std::memset(dest.pixels.data(), 0x5A, size_t{kWidth} * kHeight * 4);
        benchmark::ClobberMemory();
    }
    Count(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_Memset)->Unit(benchmark::kMicrosecond);

// ---- Enlarging 1024 x 768 to a full screen by nearest neighbour.

void BM_StretchCopy(benchmark::State& state) {
    TSurface source(kSmallWidth, kSmallHeight, kRandomAlpha, 1);
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    const TRect all{0, 0, kWidth, kHeight};
    for (auto _ : state) {
        KernelTable().StretchCopy(dest.View(), all, all, source.View(),
                                  {0, 0, kSmallWidth, kSmallHeight});
        benchmark::ClobberMemory();
    }
    Count(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_StretchCopy)->Unit(benchmark::kMicrosecond);

void BM_StretchBlend(benchmark::State& state) {
    TSurface source(kSmallWidth, kSmallHeight, kRandomAlpha, 1);
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    const TRect all{0, 0, kWidth, kHeight};
    for (auto _ : state) {
        KernelTable().StretchBlend(dest.View(), all, all, source.View(),
                                   {0, 0, kSmallWidth, kSmallHeight});
        benchmark::ClobberMemory();
    }
    Count(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_StretchBlend)->Unit(benchmark::kMicrosecond);

void PixmanNearest(benchmark::State& state, pixman_op_t op) {
    TSurface source(kSmallWidth, kSmallHeight, kRandomAlpha, 1);
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(double{kSmallWidth} / kWidth),
                                pixman_double_to_fixed(double{kSmallHeight} / kHeight));
    pixman_image_set_transform(source.image, &scale);
    pixman_image_set_filter(source.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(op, source.image, nullptr, dest.image, 0, 0, 0, 0, 0, 0, kWidth,
                                 kHeight);
        benchmark::ClobberMemory();
    }
    Count(state, int64_t{kWidth} * kHeight);
}

void BM_PixmanNearestSrc(benchmark::State& state) {
    PixmanNearest(state, PIXMAN_OP_SRC);
}
BENCHMARK(BM_PixmanNearestSrc)->Unit(benchmark::kMicrosecond);

void BM_PixmanNearestOver(benchmark::State& state) {
    PixmanNearest(state, PIXMAN_OP_OVER);
}
BENCHMARK(BM_PixmanNearestOver)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TUnitGuard units; // fills the kernel table as the program does
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
