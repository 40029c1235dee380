// The page-turning control's pixel work against pixman: a page of 960 x 1080 turned by 30
// degrees and drawn bilinearly into a full-HD picture (the leaf of a turn), and a picture of
// 2000 x 3000 shrunk to a page of 720 x 1080 (a page's face). Figures are pixels per second
// of the result (items_per_second): for the turned page, the pixels of the picture it covers.

#include <benchmark/benchmark.h>

#include <cmath>
#include <pixman.h>
#include <random>
#include <vector>

#include "pageturn/raster.h"

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080, kPageWidth = 960, kPageHeight = 1080;
constexpr double kAngle = 30 * 3.14159265358979323846 / 180;

TImage Noise(int32_t width, int32_t height, unsigned seed) {
    TImage image;
    image.Resize(width, height);
    std::mt19937 random(seed);
    for (uint32_t& p : image.pixels)
        p = 0xFF000000u | (random() & 0xFFFFFF);
    return image;
}

// The page turned about its top-left corner and moved to the picture's middle.
struct TTurned {
    TPolygon outline;
    TAffine toPage; // picture pixel -> page pixel
    double cx = kWidth / 2.0, cy = 100;
    TTurned() {
        const double c = std::cos(kAngle), s = std::sin(kAngle);
        for (auto [x, y] :
             {std::pair{0, 0}, {kPageWidth, 0}, {kPageWidth, kPageHeight}, {0, kPageHeight}})
            outline.Add({cx + c * x - s * y, cy + s * x + c * y});
        // The inverse rotation.
        toPage = {c, s, -(c * cx + s * cy), -s, c, s * cx - c * cy};
    }
    // The pixels of the picture the page covers: the page's lower corner lies below the
    // picture, so fewer than the page's own.
    int64_t Covered() const {
        int64_t covered = 0;
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                const double u = toPage.ux * (x + 0.5) + toPage.uy * (y + 0.5) + toPage.u0;
                const double v = toPage.vx * (x + 0.5) + toPage.vy * (y + 0.5) + toPage.v0;
                covered += u >= 0 && u < kPageWidth && v >= 0 && v < kPageHeight;
            }
        return covered;
    }
};

void BM_MapPolygon(benchmark::State& state) {
    const TImage page = Noise(kPageWidth, kPageHeight, 1);
    TImage target = Noise(kWidth, kHeight, 2);
    const TTurned turned;
    for (auto _ : state) {
        MapPolygon(target.View(), {0, 0, kWidth, kHeight}, turned.outline, SourceOf(page),
                   turned.toPage);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * turned.Covered());
}
BENCHMARK(BM_MapPolygon);

// The same leaf darkened along its fold over a strip a quarter of the page wide, as in a turn.
void BM_MapPolygonShaded(benchmark::State& state) {
    const TImage page = Noise(kPageWidth, kPageHeight, 1);
    TImage target = Noise(kWidth, kHeight, 2);
    const TTurned turned;
    const TShade shade{
        {turned.cx, turned.cy}, {std::cos(kAngle), std::sin(kAngle)}, kPageWidth / 4.0, 0.3};
    for (auto _ : state) {
        MapPolygon(target.View(), {0, 0, kWidth, kHeight}, turned.outline, SourceOf(page),
                   turned.toPage, shade);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * turned.Covered());
}
BENCHMARK(BM_MapPolygonShaded);

void BM_PixmanTurnedPage(benchmark::State& state) {
    TImage page = Noise(kPageWidth, kPageHeight, 1);
    TImage target = Noise(kWidth, kHeight, 2);
    const TTurned turned;
    pixman_image_t* source = pixman_image_create_bits(PIXMAN_x8r8g8b8, kPageWidth, kPageHeight,
                                                      page.pixels.data(), kPageWidth * 4);
    pixman_image_t* dest = pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight,
                                                    target.pixels.data(), kWidth * 4);
    const TAffine& m = turned.toPage;
    pixman_transform_t transform = {
        {{pixman_double_to_fixed(m.ux), pixman_double_to_fixed(m.uy), pixman_double_to_fixed(m.u0)},
         {pixman_double_to_fixed(m.vx), pixman_double_to_fixed(m.vy), pixman_double_to_fixed(m.v0)},
         {0, 0, pixman_fixed_1}}};
    pixman_image_set_transform(source, &transform);
    pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    // Only where the page lies: pixman's clip is a region, so the composite covers its bounds and
    // leaves the rest to the source's (transparent) outside.
    pixman_image_set_repeat(source, PIXMAN_REPEAT_NONE);
    double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
    for (int32_t i = 0; i < turned.outline.count; ++i) {
        left = std::min(left, turned.outline.points[i].x);
        right = std::max(right, turned.outline.points[i].x);
        top = std::min(top, turned.outline.points[i].y);
        bottom = std::max(bottom, turned.outline.points[i].y);
    }
    const int x = int(left), y = int(top), w = int(right - left),
              h = int(std::min(bottom, 1080.0) - top);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, source, nullptr, dest, x, y, 0, 0, x, y, w, h);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * turned.Covered());
    pixman_image_unref(source);
    pixman_image_unref(dest);
}
BENCHMARK(BM_PixmanTurnedPage);

void BM_DrawScaledFace(benchmark::State& state) {
    const TImage picture = Noise(2000, 3000, 3);
    TImage face;
    face.Resize(720, 1080);
    for (auto _ : state) {
        DrawScaled(face.View(), {0, 0, 720, 1080}, SourceOf(picture), {0, 0, 720, 1080});
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 720 * 1080);
}
BENCHMARK(BM_DrawScaledFace);

void BM_PixmanScaledFace(benchmark::State& state) {
    TImage picture = Noise(2000, 3000, 3);
    TImage face;
    face.Resize(720, 1080);
    pixman_image_t* source =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, 2000, 3000, picture.pixels.data(), 2000 * 4);
    pixman_image_t* dest =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, 720, 1080, face.pixels.data(), 720 * 4);
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, pixman_double_to_fixed(2000.0 / 720),
                                pixman_double_to_fixed(3000.0 / 1080));
    pixman_image_set_transform(source, &transform);
    // The box filter that averages what a target pixel covers, as DrawScaled does.
    int parameters = 0;
    pixman_fixed_t* filter = pixman_filter_create_separable_convolution(
        &parameters, pixman_double_to_fixed(2000.0 / 720), pixman_double_to_fixed(3000.0 / 1080),
        PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 0, 0);
    pixman_image_set_filter(source, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, filter, parameters);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, dest, 0, 0, 0, 0, 0, 0, 720, 1080);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 720 * 1080);
    free(filter);
    pixman_image_unref(source);
    pixman_image_unref(dest);
}
BENCHMARK(BM_PixmanScaledFace);

} // namespace

BENCHMARK_MAIN();
