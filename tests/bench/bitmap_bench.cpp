// The pixel kernels against pixman (blend, scaling) and the C library (copy, fill) on the same
// full-HD buffers. Figures are pixels per second (items_per_second).
//
// Blending and nearest scaling run once per instruction set this processor has ("/scalar",
// "/sse2", "/avx2": the table filled from that set), so that our SSE2 code meets the anchor's
// SSE2 code like for like: this pixman (0.42) has no AVX2 code, its composites here run its SSE2
// paths. The arithmetic differs: our blend takes a colour that is not premultiplied,
// (s * a + d * (256 - a)) >> 8 per channel, two multiplies; pixman's OVER takes a premultiplied
// one, s + d * (255 - a) / 255 rounded exactly, one multiply and a division by 255 done with
// shifts. Nearest scaling is a gather in both, no arithmetic per pixel.

#include <benchmark/benchmark.h>

#include <cstring>
#include <pixman.h>
#include <random>
#include <string>
#include <vector>

#include "qel/graphics/qel_bitmap.h"
#include "qel/graphics/qel_kernels.h"
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

void BlendPixels(benchmark::State& state, const TRunKernels* set, TAlphas alphas) {
    TSurface source(kWidth, kHeight, alphas, 1);
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    FillKernelTable(*set);
    for (auto _ : state) {
        KernelTable().TransferBlend(dest.View(), {0, 0, kWidth, kHeight}, source.View(), 0, 0);
        benchmark::ClobberMemory();
    }
    LeaveMmx();
    FillKernelTable();
    Count(state, int64_t{kWidth} * kHeight);
}

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

enum TStretchKind { kStretchCopy, kStretchBlend };

void Stretch(benchmark::State& state, const TRunKernels* set, TStretchKind kind) {
    TSurface source(kSmallWidth, kSmallHeight, kRandomAlpha, 1);
    TSurface dest(kWidth, kHeight, kRandomAlpha, 2);
    const TRect all{0, 0, kWidth, kHeight};
    FillKernelTable(*set);
    const auto stretch =
        kind == kStretchCopy ? KernelTable().StretchCopy : KernelTable().StretchBlend;
    for (auto _ : state) {
        stretch(dest.View(), all, all, source.View(), {0, 0, kSmallWidth, kSmallHeight});
        benchmark::ClobberMemory();
    }
    LeaveMmx();
    FillKernelTable();
    Count(state, int64_t{kWidth} * kHeight);
}

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
    for (const TRunKernels* set : AvailableRunKernels()) {
        const std::string name = std::string("/") + set->Name;
        for (TAlphas alphas : {kRandomAlpha, kMixedAlpha, kHalfAlpha})
            benchmark::RegisterBenchmark(
                ("BM_BlendPixels" + name + "/alphas:" + std::to_string(alphas)).c_str(),
                BlendPixels, set, alphas)
                ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_StretchCopy" + name).c_str(), Stretch, set, kStretchCopy)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_StretchBlend" + name).c_str(), Stretch, set,
                                     kStretchBlend)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
