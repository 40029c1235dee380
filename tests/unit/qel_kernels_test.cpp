#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "base/errors.h"
#include "qel/graphics/qel_bitmap.h"
#include "qel/graphics/qel_kernels.h"

namespace {

uint32_t Channel(TqelColor pixel, int channel) {
    return (pixel >> (8 * channel)) & 0xFF;
}

// The two blend formulas, channel by channel, as written down for the kernels.
TqelColor PlainFormula(TqelColor s, TqelColor d) {
    const uint32_t a = s >> 24;
    TqelColor result = 0xFF000000;
    for (int c = 0; c < 3; ++c)
        result |= ((Channel(s, c) * a + Channel(d, c) * (255 - a)) / 256) << (8 * c);
    return result;
}
TqelColor MmxFormula(TqelColor s, TqelColor d) {
    const uint32_t a = s >> 24;
    TqelColor result = 0;
    for (int c = 0; c < 4; ++c)
        result |= ((Channel(d, c) * (256 - a) + Channel(s, c) * a) / 256) << (8 * c);
    return result;
}
// A run blend: the two short cuts, then the formula.
TqelColor RunBlend(TqelColor s, TqelColor d, bool mmx) {
    const uint32_t a = s >> 24;
    if (a == 0)
        return d;
    if (a == 255)
        return s;
    return mmx ? MmxFormula(s, d) : PlainFormula(s, d);
}

TqelColor Pixel(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

struct TVariant {
    const char* name;
    bool mmx;
    TRunFn TRunKernels::*run;
};
const TVariant kVariants[] = {{"plain", false, &TRunKernels::BlendPixelsPlain},
                              {"mmx", true, &TRunKernels::BlendPixelsMmx}};

} // namespace

TEST(BlendKernels, GiveTheWorkedExamplesInBothVariants) {
    const TqelColor source = Pixel(128, 0, 100, 200);
    const TqelColor red = Pixel(255, 255, 0, 0);
    const TqelColor grey = Pixel(255, 128, 128, 128);
    const TqelColor greySource = Pixel(128, 128, 128, 128);
    EXPECT_EQ(BlendPixelPlain(source, red), Pixel(255, 126, 50, 100));
    EXPECT_EQ(BlendPixelMmx(source, red), Pixel(191, 127, 50, 100));
    EXPECT_EQ(BlendPixelPlain(greySource, grey), Pixel(255, 127, 127, 127));
    EXPECT_EQ(BlendPixelMmx(greySource, grey), Pixel(191, 128, 128, 128));
    for (const TRunKernels* set : AvailableRunKernels()) {
        SCOPED_TRACE(set->Name);
        TqelColor run[] = {red, grey};
        const TqelColor sources[] = {source, greySource};
        set->BlendPixelsPlain(sources, run, 2);
        EXPECT_EQ(run[0], Pixel(255, 126, 50, 100));
        EXPECT_EQ(run[1], Pixel(255, 127, 127, 127));
        TqelColor mmxRun[] = {red, grey};
        set->BlendPixelsMmx(sources, mmxRun, 2);
        EXPECT_EQ(mmxRun[0], Pixel(191, 127, 50, 100));
        EXPECT_EQ(mmxRun[1], Pixel(191, 128, 128, 128));
    }
}

TEST(BlendKernels, ShortCutAlphaZeroAndAlpha255ExceptTheSingleMmxPixel) {
    const TqelColor background = Pixel(77, 10, 20, 30);
    const TqelColor opaque = Pixel(255, 255, 0, 0);
    EXPECT_EQ(BlendPixelPlain(Pixel(0, 1, 2, 3), background), background);
    EXPECT_EQ(BlendPixelPlain(opaque, background), opaque);
    // Without short cuts, alpha 255 does not quite reach the source and alpha 0 keeps the
    // background exactly.
    EXPECT_EQ(BlendPixelMmx(opaque, background), MmxFormula(opaque, background));
    EXPECT_NE(BlendPixelMmx(opaque, background), opaque);
    EXPECT_EQ(BlendPixelMmx(Pixel(0, 1, 2, 3), background), background);
    for (const TRunKernels* set : AvailableRunKernels())
        for (const TVariant& variant : kVariants) {
            SCOPED_TRACE(std::string(set->Name) + " " + variant.name);
            TqelColor run[] = {background, background, background};
            const TqelColor sources[] = {Pixel(0, 9, 9, 9), opaque, Pixel(0, 0, 0, 0)};
            (set->*variant.run)(sources, run, 3);
            EXPECT_EQ(run[0], background); // its alpha too
            EXPECT_EQ(run[1], opaque);
            EXPECT_EQ(run[2], background);
        }
}

// Every source value, destination value and alpha of a channel: for each alpha one run of 65536
// pixels, each channel of the run going through all (source, destination) pairs, every channel
// on a different value so that lanes cannot be confused. The destination's alpha runs through
// every value as well: the MMX variant blends it with the source alpha.
TEST(BlendKernels, MatchTheFormulaForEveryChannelValueAndAlpha) {
    constexpr size_t kPairs = 65536;
    std::vector<TqelColor> sources(kPairs), destinations(kPairs), run(kPairs);
    auto makeRuns = [&](uint32_t a) {
        for (uint32_t i = 0; i < kPairs; ++i) {
            const uint32_t s = i >> 8, d = i & 0xFF;
            sources[i] = Pixel(a, s, (s + 85) & 0xFF, (s + 170) & 0xFF);
            destinations[i] = Pixel(d ^ 0x5A, d, (d + 85) & 0xFF, (d + 170) & 0xFF);
        }
    };
    const auto sets = AvailableRunKernels();
    for (uint32_t a = 0; a < 256; ++a) {
        makeRuns(a);
        for (size_t i = 0; i < kPairs; ++i) {
            if (BlendPixelMmx(sources[i], destinations[i]) !=
                    MmxFormula(sources[i], destinations[i]) ||
                BlendPixelPlain(sources[i], destinations[i]) !=
                    RunBlend(sources[i], destinations[i], false))
                FAIL() << "single pixel, alpha " << a << " pair " << i;
        }
        for (const TRunKernels* set : sets)
            for (const TVariant& variant : kVariants) {
                run = destinations;
                (set->*variant.run)(sources.data(), run.data(), static_cast<int32_t>(kPairs));
                for (size_t i = 0; i < kPairs; ++i)
                    if (run[i] != RunBlend(sources[i], destinations[i], variant.mmx))
                        FAIL() << set->Name << " " << variant.name << ", alpha " << a << ": source "
                               << std::hex << sources[i] << " over " << destinations[i] << " gave "
                               << run[i];
            }
    }
}

namespace {

// Random runs of every length up to 67 at every alignment of source and destination within a
// 32-byte vector, with guard pixels on both sides of the destination.
template <typename TCheck> void ForEveryRun(TCheck check) {
    std::mt19937 random(7);
    for (int alphas = 0; alphas < 3; ++alphas)
        for (int32_t length = 0; length <= 67; ++length)
            for (int sourceOffset = 0; sourceOffset < 8; ++sourceOffset)
                for (int destOffset = 0; destOffset < 8; ++destOffset) {
                    std::vector<TqelColor> source(static_cast<size_t>(length + 8));
                    std::vector<TqelColor> dest(static_cast<size_t>(length + 16));
                    for (auto& p : source) {
                        p = random();
                        if (alphas == 1) // alpha changing pixel by pixel among 0, 255 and others
                            p = (p & 0xFFFFFF) | std::array<uint32_t, 3>{
                                                     0, 0xFF000000, p & 0xFF000000}[random() % 3];
                        else if (alphas == 2 && random() % 4 == 0) // some key-coloured pixels
                            p = (p & 0xFF000000) | kKeyColor;
                    }
                    for (auto& p : dest)
                        p = random();
                    check(source.data() + sourceOffset, length + 8 - sourceOffset, dest, destOffset,
                          length);
                }
}

} // namespace

TEST(RunKernels, EverySetMatchesTheFormulaOnEveryLengthAndAlignment) {
    for (const TRunKernels* set : AvailableRunKernels()) {
        SCOPED_TRACE(set->Name);
        ForEveryRun([&](const TqelColor* source, int32_t sourceLength,
                        const std::vector<TqelColor>& original, int offset, int32_t length) {
            auto expectRun = [&](const char* kernel, auto run, auto expected) {
                std::vector<TqelColor> dest = original;
                run(dest.data() + offset);
                for (size_t i = 0; i < dest.size(); ++i) {
                    const int32_t at = static_cast<int32_t>(i) - offset;
                    const TqelColor want =
                        at >= 0 && at < length ? expected(at, original[i]) : original[i];
                    ASSERT_EQ(dest[i], want) << kernel << " length " << length << " at " << at;
                }
            };
            for (const TVariant& variant : kVariants)
                expectRun(
                    variant.name, [&](TqelColor* d) { (set->*variant.run)(source, d, length); },
                    [&](int32_t at, TqelColor d) { return RunBlend(source[at], d, variant.mmx); });
            expectRun(
                "key copy", [&](TqelColor* d) { set->KeyCopyPixels(source, d, length); },
                [&](int32_t at, TqelColor d) {
                    return (source[at] & 0xFFFFFF) == kKeyColor ? d : source[at] | 0xFF000000;
                });
            expectRun(
                "fill", [&](TqelColor* d) { set->FillPixels(d, length, source[0]); },
                [&](int32_t, TqelColor) { return source[0]; });
            std::vector<int32_t> map(static_cast<size_t>(length));
            for (int pattern = 0; pattern < 2; ++pattern) {
                for (int32_t i = 0; i < length; ++i)
                    map[static_cast<size_t>(i)] =
                        pattern == 0 // enlarging, then shrinking and jumping back
                            ? (i < length / 2 ? i * 3 / 5 : (i * 7 + offset) % sourceLength)
                            : sourceLength - 1 - (length - 1 - i) / 2; // enlarging to the end
                expectRun(
                    "gather",
                    [&](TqelColor* d) {
                        set->GatherPixels(source, sourceLength, map.data(), d, length);
                    },
                    [&](int32_t at, TqelColor) { return source[map[static_cast<size_t>(at)]]; });
            }
        });
    }
}

// A destination that overlaps its source, a few pixels ahead or behind: each set gives what the
// plain loop gives, pixel by pixel reading what it wrote before.
TEST(RunKernels, EverySetMatchesThePlainLoopOnOverlappingRuns) {
    struct TKernel {
        const char* name;
        TRunFn TRunKernels::*run;
    };
    const TKernel kernels[] = {{"plain", &TRunKernels::BlendPixelsPlain},
                               {"mmx", &TRunKernels::BlendPixelsMmx},
                               {"key copy", &TRunKernels::KeyCopyPixels}};
    std::mt19937 random(11);
    std::vector<TqelColor> original(96);
    for (auto& p : original) {
        p = random();
        if (random() % 4 == 0)
            p = (p & 0xFF000000) | kKeyColor;
    }
    for (const TRunKernels* set : AvailableRunKernels())
        for (const TKernel& kernel : kernels)
            for (int32_t shift = -17; shift <= 17; ++shift)
                for (int32_t length : {1, 3, 4, 7, 8, 9, 16, 23, 40}) {
                    const int32_t from = 24, to = from + shift;
                    std::vector<TqelColor> expected = original, actual = original;
                    (kScalarKernels.*kernel.run)(expected.data() + from, expected.data() + to,
                                                 length);
                    (set->*kernel.run)(actual.data() + from, actual.data() + to, length);
                    const auto differ =
                        std::mismatch(actual.begin(), actual.end(), expected.begin()).first;
                    ASSERT_TRUE(differ == actual.end())
                        << set->Name << " " << kernel.name << ", shift " << shift << ", length "
                        << length << ": pixel " << differ - actual.begin() - to;
                }
}

TEST(RunKernels, LongFillsStopAtTheirEnd) {
    for (const TRunKernels* set : AvailableRunKernels())
        for (int32_t length : {1023, 1024, 1025, 4099}) {
            SCOPED_TRACE(std::string(set->Name) + " " + std::to_string(length));
            std::vector<TqelColor> run(static_cast<size_t>(length) + 3, 7);
            set->FillPixels(run.data() + 1, length, 0x80123456);
            EXPECT_EQ(run.front(), 7u);
            EXPECT_EQ(run[static_cast<size_t>(length) + 1], 7u);
            EXPECT_EQ(std::count(run.begin(), run.end(), 0x80123456u), length);
        }
}

TEST(RunKernels, KeyCopySkipsTheKeyColourWhateverItsAlpha) {
    for (const TRunKernels* set : AvailableRunKernels()) {
        SCOPED_TRACE(set->Name);
        const TqelColor sources[] = {0x007F007F, 0xFF7F007F, 0x127F017F};
        TqelColor run[] = {0x11223344, 0x55667788, 0x99AABBCC};
        set->KeyCopyPixels(sources, run, 3);
        EXPECT_EQ(run[0], 0x11223344u);
        EXPECT_EQ(run[1], 0x55667788u);
        EXPECT_EQ(run[2], 0xFF7F017Fu);
    }
}

TEST(RunKernels, CopyIsAForwardCopyAndTouchesNothingInPlace) {
    std::vector<TqelColor> pixels = {1, 2, 3, 4, 5, 6, 7};
    CopyPixels(pixels.data(), pixels.data(), 7);
    EXPECT_EQ(pixels, (std::vector<TqelColor>{1, 2, 3, 4, 5, 6, 7}));
    CopyPixels(pixels.data() + 2, pixels.data(), 5); // backwards overlap: a plain move
    EXPECT_EQ(pixels, (std::vector<TqelColor>{3, 4, 5, 6, 7, 6, 7}));
    pixels = {1, 2, 3, 4, 5, 6, 7};
    CopyPixels(pixels.data(), pixels.data() + 2,
               5); // forwards: each pixel read after it was written
    EXPECT_EQ(pixels, (std::vector<TqelColor>{1, 2, 1, 2, 1, 2, 1}));
    CopyPixels(pixels.data(), pixels.data() + 3, -1);
    EXPECT_EQ(pixels[3], 2u);
}

TEST(RunKernels, StoreAlphaAndClearTheAlphaOfOneColour) {
    TqelColor run[] = {0x12345678, 0xFF7F007F, 0x007F007F, 0x807F007E};
    SetAlphaBytes(run, 1, 0xAB);
    EXPECT_EQ(run[0], 0xAB345678u);
    ClearAlphaOfColor(run, 4, 0x447F007F); // the colour's own alpha does not matter
    EXPECT_EQ(run[1], 0x007F007Fu);
    EXPECT_EQ(run[2], 0x007F007Fu);
    EXPECT_EQ(run[3], 0x807F007Eu);
    EXPECT_EQ(run[0], 0xAB345678u);
}

TEST(RectangleKernels, FillInclusiveCornersAndSkipInvertedRectangles) {
    std::vector<TqelColor> buffer(5 * 4, 0);
    KernelTable().FillPixelRect(buffer.data(), 5, 1, 1, 3, 2, 9);
    KernelTable().SetAlphaRect(buffer.data(), 5, 3, 2, 4, 3, 0x80);
    KernelTable().FillPixelRect(buffer.data(), 5, 2, 0, 1, 3, 7);   // x2 < x1
    KernelTable().SetAlphaRect(buffer.data(), 5, 0, 3, 4, 2, 0x80); // y2 < y1
    const std::vector<TqelColor> expected = {
        0, 0, 0, 0,           0,           //
        0, 9, 9, 9,           0,           //
        0, 9, 9, 0x80000009u, 0x80000000u, //
        0, 0, 0, 0x80000000u, 0x80000000u,
    };
    EXPECT_EQ(buffer, expected);
}

TEST(KernelTable, HoldsTheVariantThisProcessorSelects) {
    const TKernelTable& table = KernelTable();
    const TqelColor source = Pixel(128, 0, 100, 200);
    TqelColor run = Pixel(255, 255, 0, 0);
    table.BlendPixels(&source, &run, 1);
    if (HasMmx()) {
        EXPECT_EQ(table.BlendPixel, &BlendPixelMmx);
        EXPECT_EQ(run, Pixel(191, 127, 50, 100));
    } else {
        EXPECT_EQ(table.BlendPixel, &BlendPixelPlain);
        EXPECT_EQ(run, Pixel(255, 126, 50, 100));
    }
    EXPECT_EQ(table.StretchCopy, &StretchCopy);
}

namespace {

// A bitmap-shaped buffer whose pixels name their own position: 0xFF, row, column.
struct TTestBitmap {
    std::vector<TqelColor> pixels;
    int32_t width, height;
    TTestBitmap(int32_t w, int32_t h, TqelColor fill = 0) : width(w), height(h) {
        pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), fill);
    }
    TPixelBuffer View() { return {pixels.data(), width, height}; }
    static TTestBitmap Numbered(int32_t width, int32_t height, uint32_t alpha = 0xFF) {
        TTestBitmap b(width, height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                b.At(x, y) =
                    alpha << 24 | static_cast<uint32_t>(y) << 12 | static_cast<uint32_t>(x);
        return b;
    }
    TqelColor& At(int32_t x, int32_t y) {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

int32_t ColumnOf(TqelColor p) {
    return static_cast<int32_t>(p & 0xFFF);
}
int32_t RowOf(TqelColor p) {
    return static_cast<int32_t>((p >> 12) & 0xFFF);
}

} // namespace

TEST(Transfers, WalkBothBitmapsByTheirOwnWidth) {
    TTestBitmap source = TTestBitmap::Numbered(6, 5);
    TTestBitmap dest(4, 4, 1);
    TransferCopy(dest.View(), {1, 1, 3, 3}, source.View(), 2, 3);
    EXPECT_EQ(dest.At(1, 1), source.At(2, 3));
    EXPECT_EQ(dest.At(2, 2), source.At(3, 4));
    EXPECT_EQ(dest.At(0, 0), 1u);
    EXPECT_EQ(dest.At(3, 3), 1u);
}

TEST(Transfers, RefuseABitmapWithoutPixels) {
    TTestBitmap bitmap(2, 2);
    try {
        TransferBlend(bitmap.View(), {0, 0, 1, 1}, TPixelBuffer{}, 0, 0);
        FAIL() << "no error";
    } catch (const TAssertionError& error) {
        EXPECT_EQ(error.Message().rfind("Assertion failure (qel_bitmap, line ", 0), 0u)
            << error.Message();
    }
    EXPECT_THROW(TransferKey(TPixelBuffer{}, {0, 0, 1, 1}, bitmap.View(), 0, 0), TAssertionError);
}

TEST(Stretch, MapsByTheSinglePrecisionFactorAndTruncates) {
    struct TCase {
        int32_t from, to, last;
    };
    for (const TCase c : {TCase{100, 50, 98}, TCase{640, 480, 638}, TCase{3, 7, 2}}) {
        TTestBitmap source = TTestBitmap::Numbered(c.from, 1);
        TTestBitmap dest(c.to, 1);
        StretchCopy(dest.View(), {0, 0, c.to, 1}, {0, 0, c.to, 1}, source.View(),
                    {0, 0, c.from, 1});
        EXPECT_EQ(ColumnOf(dest.At(0, 0)), 0);
        EXPECT_EQ(ColumnOf(dest.At(c.to - 1, 0)), c.last) << c.from << " to " << c.to;
        if (c.from == 100) {
            for (int32_t x = 0; x < 50; ++x)
                EXPECT_EQ(ColumnOf(dest.At(x, 0)), 2 * x);
        }
    }
    // Rows map the same way.
    TTestBitmap source = TTestBitmap::Numbered(1, 100);
    TTestBitmap dest(1, 50);
    StretchCopy(dest.View(), {0, 0, 1, 50}, {0, 0, 1, 50}, source.View(), {0, 0, 1, 100});
    EXPECT_EQ(RowOf(dest.At(0, 49)), 98);
}

TEST(Stretch, TakesTheLeftMiddleForOnePixel) {
    TTestBitmap source = TTestBitmap::Numbered(20, 20);
    TTestBitmap dest(3, 3);
    StretchCopy(dest.View(), {1, 1, 2, 2}, {0, 0, 3, 3}, source.View(), {2, 4, 12, 13});
    EXPECT_EQ(ColumnOf(dest.At(1, 1)), 6); // columns 2..11: the left middle
    EXPECT_EQ(RowOf(dest.At(1, 1)), 8);    // rows 4..12: the middle
    EXPECT_EQ(dest.At(0, 0), 0u);
}

TEST(Stretch, DrawsNothingForASourceReachingOutside) {
    TTestBitmap source = TTestBitmap::Numbered(8, 6);
    for (const TRect outside :
         {TRect{-1, 0, 8, 6}, TRect{0, -1, 8, 6}, TRect{0, 0, 9, 6}, TRect{0, 0, 8, 7}}) {
        for (auto stretch : {StretchCopy, StretchBlend, StretchKey}) {
            TTestBitmap dest(16, 12, 5);
            stretch(dest.View(), {0, 0, 16, 12}, {0, 0, 16, 12}, source.View(), outside);
            EXPECT_EQ(dest.pixels, std::vector<TqelColor>(16 * 12, 5u));
        }
    }
    // Nor for an empty source or an empty clip.
    TTestBitmap dest(16, 12, 5);
    StretchCopy(dest.View(), {0, 0, 16, 12}, {0, 0, 16, 12}, source.View(), {3, 3, 3, 5});
    StretchCopy(dest.View(), {0, 0, 16, 12}, {20, 0, 30, 12}, source.View(), {0, 0, 8, 6});
    StretchCopy(dest.View(), {-40, 0, -20, 12}, {0, 0, 16, 12}, source.View(), {0, 0, 8, 6});
    EXPECT_EQ(dest.pixels, std::vector<TqelColor>(16 * 12, 5u));
}

TEST(Stretch, OfEqualSizesIsTheUnscaledTransferOfTheClippedArea) {
    TTestBitmap source = TTestBitmap::Numbered(10, 8, 0x80);
    source.At(4, 4) = (source.At(4, 4) & 0xFF000000) | kKeyColor;
    const TRect destRect{-2, 3, 8, 11}, clip{1, 0, 6, 9};
    const TRect clipped{1, 3, 6, 9};
    struct TPair {
        TStretchFn stretch;
        TTransferFn transfer;
    };
    for (const TPair pair : {TPair{StretchCopy, TransferCopy}, TPair{StretchBlend, TransferBlend},
                             TPair{StretchKey, TransferKey}}) {
        TTestBitmap viaStretch = TTestBitmap::Numbered(7, 10, 0xFF);
        TTestBitmap viaTransfer = viaStretch;
        pair.stretch(viaStretch.View(), destRect, clip, source.View(), {0, 0, 10, 8});
        pair.transfer(viaTransfer.View(), clipped, source.View(), 3, 0);
        EXPECT_EQ(viaStretch.pixels, viaTransfer.pixels);
    }
}

TEST(Stretch, ClippingKeepsTheMappingOfTheWholeDestination) {
    TTestBitmap source = TTestBitmap::Numbered(37, 23, 0x90);
    const TRect destRect{-5, -3, 70, 41};
    for (auto stretch : {StretchCopy, StretchBlend, StretchKey}) {
        TTestBitmap whole(64, 40, 0xFF000000);
        stretch(whole.View(), destRect, {0, 0, 64, 40}, source.View(), {2, 1, 35, 22});
        TTestBitmap part(64, 40, 0xFF000000);
        const TRect clip{13, 7, 40, 30};
        stretch(part.View(), destRect, clip, source.View(), {2, 1, 35, 22});
        for (int32_t y = 0; y < 40; ++y)
            for (int32_t x = 0; x < 64; ++x) {
                const bool inside = x >= 13 && x < 40 && y >= 7 && y < 30;
                ASSERT_EQ(part.At(x, y), inside ? whole.At(x, y) : 0xFF000000u) << x << "," << y;
            }
    }
}

TEST(Stretch, BlendsAndKeysTheMappedPixels) {
    TTestBitmap source(2, 2);
    source.At(0, 0) = Pixel(128, 0, 100, 200);
    source.At(1, 0) = Pixel(0, 1, 1, 1);
    source.At(0, 1) = 0x447F007F; // key colour
    source.At(1, 1) = Pixel(255, 9, 8, 7);
    TTestBitmap blended(4, 4, Pixel(255, 255, 0, 0));
    StretchBlend(blended.View(), {0, 0, 4, 4}, {0, 0, 4, 4}, source.View(), {0, 0, 2, 2});
    TTestBitmap keyed(4, 4, 0x01020304);
    StretchKey(keyed.View(), {0, 0, 4, 4}, {0, 0, 4, 4}, source.View(), {0, 0, 2, 2});
    // 2 -> 4 maps 0, 0, 0, 1 (factor 1/3, truncated).
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            const TqelColor s = source.At(x < 3 ? 0 : 1, y < 3 ? 0 : 1);
            EXPECT_EQ(blended.At(x, y), RunBlend(s, Pixel(255, 255, 0, 0), HasMmx()));
            EXPECT_EQ(keyed.At(x, y), (s & 0xFFFFFF) == kKeyColor ? 0x01020304u : s | 0xFF000000);
        }
}
