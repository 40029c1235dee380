#include "pageturn/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define LEAFTURN_X86 1
#include <immintrin.h>
// Each vector function carries its instruction set as a target attribute and runs only after the
// processor has said it has it. 32-bit Windows keeps its stack 4-byte aligned: the functions
// called from plain code realign it where vectors may be spilled.
#if defined(__i386__)
#define LEAFTURN_SSE2 __attribute__((target("sse2"), force_align_arg_pointer))
#define LEAFTURN_AVX2_ENTRY __attribute__((target("avx2"), force_align_arg_pointer))
#else
#define LEAFTURN_SSE2 __attribute__((target("sse2")))
#define LEAFTURN_AVX2_ENTRY __attribute__((target("avx2")))
#endif
#define LEAFTURN_SSE2_INLINE __attribute__((target("sse2"), always_inline)) inline
#define LEAFTURN_AVX2 __attribute__((target("avx2"), always_inline)) inline
// Vectors pass by value only into helpers that are always inlined: no call is ever made with
// them, so how a call would pass them does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {

TVectorInstructions gVectorsAllowed = TVectorInstructions::Avx2;

bool UseSse2() {
#if defined(__x86_64__)
    return gVectorsAllowed >= TVectorInstructions::Sse2; // always there
#elif defined(LEAFTURN_X86)
    static const bool has = __builtin_cpu_supports("sse2");
    return gVectorsAllowed >= TVectorInstructions::Sse2 && has;
#else
    return false;
#endif
}

bool UseAvx2() {
#if defined(LEAFTURN_X86)
    static const bool has = __builtin_cpu_supports("avx2");
    return gVectorsAllowed >= TVectorInstructions::Avx2 && has;
#else
    return false;
#endif
}

TRect Clipped(const TPixelBuffer& target, const TRect& clip, const TRect& rect) {
    const TRect r{std::max({clip.left, rect.left, 0}), std::max({clip.top, rect.top, 0}),
                  std::min({clip.right, rect.right, target.Width}),
                  std::min({clip.bottom, rect.bottom, target.Height})};
    return RectIsEmpty(r) ? TRect{} : r;
}

uint32_t* Row(const TPixelBuffer& target, int32_t y) {
    return target.Bits + int64_t{y} * target.Width;
}

// color over pixel with alpha 0-256; the result is opaque.
inline uint32_t Blend(uint32_t pixel, uint32_t color, uint32_t alpha) {
    const uint32_t rest = 256 - alpha;
    const uint32_t rb = (((color & 0xFF00FF) * alpha + (pixel & 0xFF00FF) * rest) >> 8) & 0xFF00FF;
    const uint32_t g = (((color & 0xFF00) * alpha + (pixel & 0xFF00) * rest) >> 8) & 0xFF00;
    return 0xFF000000u | rb | g;
}

inline uint32_t Alpha256(double alpha) {
    return uint32_t(std::clamp(alpha, 0.0, 1.0) * 256 + 0.5);
}

// One tap of a separable filter.
struct TTap {
    int32_t index;
    float weight;
};

// For each target index first .. first + count - 1 of an axis where the source's n pixels lie
// over [start, start + length): the source pixels and weights that make it.
void AxisTaps(int32_t n, double start, double length, int32_t first, int32_t count,
              std::vector<int32_t>& offsets, std::vector<TTap>& taps) {
    offsets.assign(size_t(count) + 1, 0);
    taps.clear();
    const double scale = length / n; // target pixels per source pixel
    for (int32_t i = 0; i < count; ++i) {
        offsets[size_t(i)] = int32_t(taps.size());
        const double t = first + i;
        if (scale >= 1) {
            // Growing: bilinear between the two nearest source pixels.
            const double c = (t + 0.5 - start) / scale - 0.5;
            const double f = std::floor(c);
            const float w = float(c - f);
            const int32_t a = std::clamp(int32_t(f), 0, n - 1),
                          b = std::clamp(int32_t(f) + 1, 0, n - 1);
            taps.push_back({a, 1 - w});
            taps.push_back({b, w});
        } else {
            // Shrinking: the average of the source pixels under the target pixel.
            const double s0 = (t - start) / scale, s1 = (t + 1 - start) / scale;
            const int32_t j0 = int32_t(std::floor(s0)), j1 = int32_t(std::ceil(s1));
            for (int32_t j = j0; j < j1; ++j) {
                const double overlap = std::min(s1, j + 1.0) - std::max(s0, double(j));
                if (overlap > 0)
                    taps.push_back({std::clamp(j, 0, n - 1), float(overlap / (s1 - s0))});
            }
        }
    }
    offsets[size_t(count)] = int32_t(taps.size());
}

inline uint32_t PackChannels(const float* c) {
    const auto channel = [](float v) { return uint32_t(std::clamp(v + 0.5f, 0.0f, 255.0f)); };
    return channel(c[0]) | channel(c[1]) << 8 | channel(c[2]) << 16 | channel(c[3]) << 24;
}

// A convex polygon's edges as distance functions: inside(p) = a x + b y + c, in pixels, the
// same sign for every edge inside.
struct TEdges {
    int32_t count = 0;
    double a[6], b[6], c[6];
    double left = 0, top = 0, right = 0, bottom = 0;
};

bool MakeEdges(const TPolygon& polygon, TEdges& edges) {
    if (polygon.count < 3)
        return false;
    double area = 0;
    for (int32_t i = 0; i < polygon.count; ++i) {
        const TPointF p = polygon.points[i], q = polygon.points[(i + 1) % polygon.count];
        area += p.x * q.y - q.x * p.y;
    }
    if (std::abs(area) < 1e-6)
        return false;
    const double sign = area > 0 ? 1 : -1;
    edges.left = edges.top = 1e18;
    edges.right = edges.bottom = -1e18;
    for (int32_t i = 0; i < polygon.count; ++i) {
        const TPointF p = polygon.points[i], q = polygon.points[(i + 1) % polygon.count];
        const double dx = q.x - p.x, dy = q.y - p.y, length = std::hypot(dx, dy);
        edges.left = std::min(edges.left, p.x);
        edges.right = std::max(edges.right, p.x);
        edges.top = std::min(edges.top, p.y);
        edges.bottom = std::max(edges.bottom, p.y);
        if (length < 1e-9)
            continue;
        // Inside is to the left of each edge for a positive area.
        const int32_t k = edges.count++;
        edges.a[k] = -sign * dy / length;
        edges.b[k] = sign * dx / length;
        edges.c[k] = -(edges.a[k] * p.x + edges.b[k] * p.y);
    }
    return edges.count >= 3;
}

// The part of a row of pixel centres (at height cy) where every edge function is at least
// offset: [from, to), within [left, right).
void RowSpan(const TEdges& edges, double cy, double offset, int32_t left, int32_t right,
             int32_t& from, int32_t& to) {
    double lo = left, hi = right;
    for (int32_t k = 0; k < edges.count; ++k) {
        const double a = edges.a[k], rest = edges.b[k] * cy + edges.c[k] - offset;
        // a (x + 0.5) + rest >= 0
        if (std::abs(a) < 1e-12) {
            if (rest < 0) { // a level edge the whole row lies beyond
                from = to = left;
                return;
            }
        } else if (a > 0) {
            lo = std::max(lo, -rest / a - 0.5);
        } else {
            hi = std::min(hi, -rest / a - 0.5);
        }
    }
    from = std::max(left, int32_t(std::ceil(lo)));
    to = std::min(right, int32_t(std::floor(hi)) + 1);
    if (to < from)
        to = from;
}

// How much of the pixel (x, y) the polygon covers, 0-256, from the nearest edge's distance.
inline uint32_t Coverage(const TEdges& edges, int32_t x, int32_t y) {
    double inside = 1e18;
    for (int32_t k = 0; k < edges.count; ++k)
        inside = std::min(inside, edges.a[k] * (x + 0.5) + edges.b[k] * (y + 0.5) + edges.c[k]);
    if (inside <= -0.5)
        return 0;
    return inside >= 0.5 ? 256 : uint32_t((inside + 0.5) * 256 + 0.5);
}

// For every row of the polygon inside clip: inner(row, y, from, to) for the run of pixels it
// covers whole, and edge(row, x, y, coverage) for each pixel it covers in part.
template <typename Inner, typename Edge>
void ForEachSpan(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                 Inner&& inner, Edge&& edge) {
    TEdges edges;
    if (!MakeEdges(polygon, edges))
        return;
    const TRect box =
        Clipped(target, clip,
                {int32_t(std::floor(edges.left)) - 1, int32_t(std::floor(edges.top)) - 1,
                 int32_t(std::ceil(edges.right)) + 1, int32_t(std::ceil(edges.bottom)) + 1});
    for (int32_t y = box.top; y < box.bottom; ++y) {
        const double cy = y + 0.5;
        int32_t outerFrom, outerTo, innerFrom, innerTo;
        RowSpan(edges, cy, -0.5, box.left, box.right, outerFrom, outerTo);
        if (outerFrom >= outerTo)
            continue;
        RowSpan(edges, cy, 0.5, outerFrom, outerTo, innerFrom, innerTo);
        if (innerFrom >= innerTo)
            innerFrom = innerTo = outerTo;
        uint32_t* row = Row(target, y);
        for (int32_t x = outerFrom; x < innerFrom; ++x)
            if (const uint32_t coverage = Coverage(edges, x, y))
                edge(row, x, y, coverage);
        if (innerFrom < innerTo)
            inner(row, y, innerFrom, innerTo);
        for (int32_t x = innerTo; x < outerTo; ++x)
            if (const uint32_t coverage = Coverage(edges, x, y))
                edge(row, x, y, coverage);
    }
}

// The same for every pixel alike.
template <typename Pixel>
void ForEachPixel(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                  Pixel&& pixel) {
    ForEachSpan(
        target, clip, polygon,
        [&](uint32_t* row, int32_t y, int32_t from, int32_t to) {
            for (int32_t x = from; x < to; ++x)
                pixel(row, x, y, 256u);
        },
        pixel);
}

// Lerp of two pixels' colours by f/256.
inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t f) {
    const uint32_t g = 256 - f;
    const uint32_t rb = (((a & 0xFF00FF) * g + (b & 0xFF00FF) * f) >> 8) & 0xFF00FF;
    const uint32_t ag = ((((a >> 8) & 0xFF00FF) * g + ((b >> 8) & 0xFF00FF) * f)) & 0xFF00FF00;
    return rb | ag;
}

// The picture's colour at fixed-point (16.16) coordinates of pixel centres, bilinear, clamped to
// its edges: down first, then across, truncating after each step.
inline uint32_t Sample(const TSourcePixels& image, int64_t u, int64_t v) {
    const int64_t maxU = int64_t(image.width - 1) << 16, maxV = int64_t(image.height - 1) << 16;
    u = std::clamp<int64_t>(u, 0, maxU);
    v = std::clamp<int64_t>(v, 0, maxV);
    const int32_t iu = int32_t(u >> 16), iv = int32_t(v >> 16);
    const uint32_t fu = uint32_t(u >> 8) & 0xFF, fv = uint32_t(v >> 8) & 0xFF;
    const int32_t nu = std::min(iu + 1, image.width - 1), nv = std::min(iv + 1, image.height - 1);
    const uint32_t* r0 = image.bits + int64_t{iv} * image.width;
    const uint32_t* r1 = image.bits + int64_t{nv} * image.width;
    return Mix(Mix(r0[iu], r1[iu], fv), Mix(r0[nu], r1[nu], fv), fu);
}

// A shade's alpha along a row: looked up by distance, stepping by the normal's x per pixel.
class TShader {
public:
    explicit TShader(const TShade& shade) : shade_(shade) {
        on_ = shade.width > 0 && shade.alphaNear > 0;
        for (int i = 0; on_ && i <= 256; ++i) {
            const double fall = (1 - i / 256.0) * (1 - i / 256.0);
            table_[i] = 256 - Alpha256(shade.alphaNear * fall); // what of the colour stays
        }
        scale_ = on_ ? 256 / shade.width : 0;
    }
    bool On() const { return on_; }
    // The distance of the pixel centre (x, y) in table steps.
    double Start(int32_t x, int32_t y) const {
        return ((x + 0.5 - shade_.point.x) * shade_.normal.x +
                (y + 0.5 - shade_.point.y) * shade_.normal.y) *
               scale_;
    }
    // Shades row[from, to) of row y: only where the shade reaches, found from where it starts.
    void Run(uint32_t* row, int32_t y, int32_t from, int32_t to) const {
        if (!on_ || from >= to)
            return;
        const double start = Start(from, y), step = shade_.normal.x * scale_;
        // d = start + step * i < 256, as bounds on i, a step wider either side.
        const double count = to - from;
        double first = 0, last = count;
        if (step > 0)
            last = std::clamp(std::ceil((256 - start) / step) + 1, 0.0, count);
        else if (step < 0)
            first = std::clamp(std::floor((256 - start) / step) - 1, 0.0, count);
        else if (start >= 256)
            return;
        // d in 1/256ths of a step along the row; the table's index is its whole part.
        const auto fixed = [](double value) {
            return int64_t(std::llround(std::clamp(value, -1e12, 1e12) * 256));
        };
        int32_t i = int32_t(first);
        const int32_t end = int32_t(last);
        int64_t d = fixed(start + step * i);
        const int64_t dd = fixed(step);
#if defined(LEAFTURN_X86)
        if (UseAvx2()) {
            const int32_t at = i;
            i = ScaleRunEight(row + from, i, end, d, dd, table_);
            d += dd * (i - at);
        }
        if (UseSse2()) {
            const int32_t at = i;
            i = ScaleRunFour(row + from, i, end, d, dd, table_);
            d += dd * (i - at);
        }
#endif
        for (; i < end; ++i, d += dd)
            row[from + i] = Scale(row[from + i], Keep(table_, d));
    }
    uint32_t Apply(uint32_t pixel, double d) const {
        return d >= 256 ? pixel : Scale(pixel, table_[d <= 0 ? 0 : int32_t(d)]);
    }

private:
    static uint32_t Scale(uint32_t pixel, uint32_t keep) {
        return (pixel & 0xFF000000u) | ((((pixel & 0xFF00FF) * keep) >> 8) & 0xFF00FF) |
               ((((pixel & 0xFF00) * keep) >> 8) & 0xFF00);
    }
    // What of the colour stays at d, in 1/256ths of a table step.
    static uint32_t Keep(const uint32_t* table, int64_t d) {
        return table[std::clamp<int64_t>(d >> 8, 0, 256)];
    }
#if defined(LEAFTURN_X86)
    // The same eight at a time, the keeps looked up together: where d stays within 32 bits.
    LEAFTURN_AVX2_ENTRY static int32_t ScaleRunEight(uint32_t* run, int32_t i, int32_t end,
                                                     int64_t d, int64_t dd, const uint32_t* table) {
        constexpr int64_t kLimit = int64_t{1} << 30;
        const int64_t last = d + dd * (end - i);
        if (std::abs(dd) >= kLimit / 8 || std::abs(d) >= kLimit || std::abs(last) >= kLimit)
            return i;
        const __m256i zero = _mm256_setzero_si256(), lastEntry = _mm256_set1_epi32(256),
                      whole = _mm256_set1_epi16(256), step = _mm256_set1_epi32(int32_t(8 * dd));
        __m256i ds = _mm256_add_epi32(_mm256_set1_epi32(int32_t(d)),
                                      _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7),
                                                         _mm256_set1_epi32(int32_t(dd))));
        for (; i + 8 <= end; i += 8, ds = _mm256_add_epi32(ds, step)) {
            const __m256i index =
                _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(ds, 8), zero), lastEntry);
            const __m256i keep =
                _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
            // Each keep in both halves of its 32 bits, then over a pixel's colour channels; alpha
            // is multiplied by 256, which leaves it.
            const __m256i both = _mm256_or_si256(keep, _mm256_slli_epi32(keep, 16));
            __m256i* at = reinterpret_cast<__m256i*>(run + i);
            const __m256i pixels = _mm256_loadu_si256(at);
            // [0, 1 | 4, 5] and [2, 3 | 6, 7], as the keeps unpack
            const __m256i low = _mm256_srli_epi16(
                _mm256_mullo_epi16(
                    _mm256_unpacklo_epi8(pixels, zero),
                    _mm256_blend_epi16(_mm256_unpacklo_epi32(both, both), whole, 0x88)),
                8);
            const __m256i high = _mm256_srli_epi16(
                _mm256_mullo_epi16(
                    _mm256_unpackhi_epi8(pixels, zero),
                    _mm256_blend_epi16(_mm256_unpackhi_epi32(both, both), whole, 0x88)),
                8);
            _mm256_storeu_si256(at, _mm256_packus_epi16(low, high));
        }
        return i;
    }
    // Run's pixels i, i + 1, ... four at a time, d at i stepping by dd: each channel but alpha
    // times its pixel's keep, over 256. Returns where it stopped, at most three before end.
    LEAFTURN_SSE2 static int32_t ScaleRunFour(uint32_t* run, int32_t i, int32_t end, int64_t d,
                                              int64_t dd, const uint32_t* table) {
        const __m128i zero = _mm_setzero_si128();
        for (; i + 4 <= end; i += 4, d += 4 * dd) {
            const int16_t k0 = int16_t(Keep(table, d)), k1 = int16_t(Keep(table, d + dd)),
                          k2 = int16_t(Keep(table, d + 2 * dd)),
                          k3 = int16_t(Keep(table, d + 3 * dd));
            __m128i* at = reinterpret_cast<__m128i*>(run + i);
            const __m128i pixels = _mm_loadu_si128(at);
            const __m128i low =
                _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(pixels, zero),
                                               _mm_set_epi16(256, k1, k1, k1, 256, k0, k0, k0)),
                               8);
            const __m128i high =
                _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(pixels, zero),
                                               _mm_set_epi16(256, k3, k3, k3, 256, k2, k2, k2)),
                               8);
            _mm_storeu_si128(at, _mm_packus_epi16(low, high));
        }
        return i;
    }
#endif

    const TShade& shade_;
    bool on_ = false;
    double scale_ = 0;
    uint32_t table_[257];
};

// The same where the four pixels are known to lie inside the picture; the same results.
inline uint32_t SampleInside(const uint32_t* bits, int32_t width, int64_t u, int64_t v) {
    const int32_t iu = int32_t(u >> 16), iv = int32_t(v >> 16);
    const uint32_t fu = uint32_t(u >> 8) & 0xFF, fv = uint32_t(v >> 8) & 0xFF;
    const uint32_t* p = bits + int64_t{iv} * width + iu;
    return Mix(Mix(p[0], p[width], fv), Mix(p[1], p[width + 1], fv), fu);
}

#if defined(LEAFTURN_X86)
// Two pixels from p on.
LEAFTURN_SSE2_INLINE __m128i LoadTwo(const uint32_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

LEAFTURN_AVX2 __m256i Lerp16(__m256i a, __m256i b, __m256i f) {
    // (a (256 - f) + b f) >> 8 in each 16-bit channel
    const __m256i g = _mm256_sub_epi16(_mm256_set1_epi16(256), f);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(a, g), _mm256_mullo_epi16(b, f)),
                             8);
}

// The two pixels at a, b (in the low half) and at c, d (high), each half as [a, b, a + 1, b + 1].
LEAFTURN_AVX2 __m256i PixelPairs(const uint32_t* a, const uint32_t* b, const uint32_t* c,
                                 const uint32_t* d) {
    const __m256i pairs =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi64(LoadTwo(a), LoadTwo(b))),
                                _mm_unpacklo_epi64(LoadTwo(c), LoadTwo(d)), 1);
    return _mm256_shuffle_epi32(pairs, 0xD8);
}

// Four samples, at a, b (low half) and c, d (high), weights fu, fv spread over their channels.
LEAFTURN_AVX2 __m256i FourSamples(const uint32_t* a, const uint32_t* b, const uint32_t* c,
                                  const uint32_t* d, int32_t width, __m256i fu, __m256i fv) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i top = PixelPairs(a, b, c, d),
                  bottom = PixelPairs(a + width, b + width, c + width, d + width);
    const __m256i left =
        Lerp16(_mm256_unpacklo_epi8(top, zero), _mm256_unpacklo_epi8(bottom, zero), fv);
    const __m256i right =
        Lerp16(_mm256_unpackhi_epi8(top, zero), _mm256_unpackhi_epi8(bottom, zero), fv);
    return Lerp16(left, right, fu);
}

// Each of eight positions' weight (bits 8-15) over four channels: of samples 0, 1 | 4, 5 in
// first, of 2, 3 | 6, 7 in second.
LEAFTURN_AVX2 void Weights(__m256i positions, __m256i& first, __m256i& second) {
    const __m256i w = _mm256_and_si256(_mm256_srli_epi32(positions, 8), _mm256_set1_epi32(0xFF));
    const __m256i each = _mm256_unpacklo_epi16(_mm256_packs_epi32(w, w), _mm256_packs_epi32(w, w));
    first = _mm256_unpacklo_epi32(each, each);
    second = _mm256_unpackhi_epi32(each, each);
}

// The same as SampleRunInside, eight pixels at a time, where the processor has AVX2.
LEAFTURN_AVX2_ENTRY int32_t SampleRunInsideWide(uint32_t* row, int32_t x, int32_t end,
                                                const TSourcePixels& image, int64_t u, int64_t v,
                                                int64_t du, int64_t dv) {
    const __m256i high = _mm256_set1_epi32(int32_t(0xFFFF0000u)),
                  opaque = _mm256_set1_epi32(int32_t(0xFF000000u)),
                  stride = _mm256_set1_epi32(int32_t(uint32_t(image.width) << 16 | 1u));
    const __m256i steps = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i stepU = _mm256_set1_epi32(int32_t(8 * du)),
                  stepV = _mm256_set1_epi32(int32_t(8 * dv));
    __m256i us = _mm256_add_epi32(_mm256_set1_epi32(int32_t(u)),
                                  _mm256_mullo_epi32(steps, _mm256_set1_epi32(int32_t(du))));
    __m256i vs = _mm256_add_epi32(_mm256_set1_epi32(int32_t(v)),
                                  _mm256_mullo_epi32(steps, _mm256_set1_epi32(int32_t(dv))));
    alignas(32) int32_t offsets[8];
    const uint32_t* bits = image.bits;
    for (; x + 8 <= end; x += 8) {
        // column + row * width
        const __m256i at = _mm256_or_si256(_mm256_srli_epi32(us, 16), _mm256_and_si256(vs, high));
        _mm256_store_si256(reinterpret_cast<__m256i*>(offsets), _mm256_madd_epi16(at, stride));
        __m256i fu0, fu1, fv0, fv1;
        Weights(us, fu0, fu1);
        Weights(vs, fv0, fv1);
        const __m256i first = FourSamples(bits + offsets[0], bits + offsets[1], bits + offsets[4],
                                          bits + offsets[5], image.width, fu0, fv0);
        const __m256i second = FourSamples(bits + offsets[2], bits + offsets[3], bits + offsets[6],
                                           bits + offsets[7], image.width, fu1, fv1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x),
                            _mm256_or_si256(_mm256_packus_epi16(first, second), opaque));
        us = _mm256_add_epi32(us, stepU);
        vs = _mm256_add_epi32(vs, stepV);
    }
    return x;
}
#endif

#if defined(LEAFTURN_X86)

// (a (256 - f) + b f) >> 8 in each 16-bit channel
LEAFTURN_SSE2_INLINE __m128i Lerp16(__m128i a, __m128i b, __m128i f) {
    const __m128i g = _mm_sub_epi16(_mm_set1_epi16(256), f);
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(a, g), _mm_mullo_epi16(b, f)), 8);
}

// Two samples at a and b: their four pixels' channels in 16 bits, weighted down then across.
LEAFTURN_SSE2_INLINE __m128i TwoSamples(const uint32_t* a, const uint32_t* b, int32_t width,
                                        __m128i fu, __m128i fv) {
    const __m128i zero = _mm_setzero_si128();
    // [left a, left b, right a, right b]
    const __m128i top = _mm_shuffle_epi32(_mm_unpacklo_epi64(LoadTwo(a), LoadTwo(b)), 0xD8);
    const __m128i bottom =
        _mm_shuffle_epi32(_mm_unpacklo_epi64(LoadTwo(a + width), LoadTwo(b + width)), 0xD8);
    const __m128i left = Lerp16(_mm_unpacklo_epi8(top, zero), _mm_unpacklo_epi8(bottom, zero), fv);
    const __m128i right = Lerp16(_mm_unpackhi_epi8(top, zero), _mm_unpackhi_epi8(bottom, zero), fv);
    return Lerp16(left, right, fu);
}

// A weight per sample, 0-255, spread over the four channels of each of two samples.
LEAFTURN_SSE2_INLINE void TwoWeights(__m128i positions, __m128i& first, __m128i& second) {
    const __m128i w = _mm_and_si128(_mm_srli_epi32(positions, 8), _mm_set1_epi32(0xFF));
    const __m128i each = _mm_unpacklo_epi16(_mm_packs_epi32(w, w), _mm_packs_epi32(w, w));
    first = _mm_unpacklo_epi32(each, each);
    second = _mm_unpackhi_epi32(each, each);
}

// The same as SampleRunInside, four pixels at a time, where the processor has SSE2.
LEAFTURN_SSE2 int32_t SampleRunInsideFour(uint32_t* row, int32_t x, int32_t end,
                                          const TSourcePixels& image, int64_t u, int64_t v,
                                          int64_t du, int64_t dv) {
    const __m128i high = _mm_set1_epi32(int32_t(0xFFFF0000u)),
                  opaque = _mm_set1_epi32(int32_t(0xFF000000u)),
                  stride = _mm_set1_epi32(int32_t(uint32_t(image.width) << 16 | 1u));
    const __m128i stepU = _mm_set1_epi32(int32_t(4 * du)), stepV = _mm_set1_epi32(int32_t(4 * dv));
    __m128i us =
        _mm_setr_epi32(int32_t(u), int32_t(u + du), int32_t(u + 2 * du), int32_t(u + 3 * du));
    __m128i vs =
        _mm_setr_epi32(int32_t(v), int32_t(v + dv), int32_t(v + 2 * dv), int32_t(v + 3 * dv));
    alignas(16) int32_t offsets[4];
    for (; x + 4 <= end; x += 4) {
        // column + row * width
        const __m128i at = _mm_or_si128(_mm_srli_epi32(us, 16), _mm_and_si128(vs, high));
        _mm_store_si128(reinterpret_cast<__m128i*>(offsets), _mm_madd_epi16(at, stride));
        __m128i fu01, fu23, fv01, fv23;
        TwoWeights(us, fu01, fu23);
        TwoWeights(vs, fv01, fv23);
        const __m128i first =
            TwoSamples(image.bits + offsets[0], image.bits + offsets[1], image.width, fu01, fv01);
        const __m128i second =
            TwoSamples(image.bits + offsets[2], image.bits + offsets[3], image.width, fu23, fv23);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x),
                         _mm_or_si128(_mm_packus_epi16(first, second), opaque));
        us = _mm_add_epi32(us, stepU);
        vs = _mm_add_epi32(vs, stepV);
    }
    return x;
}
#endif

// SampleInside along a run of a row, eight or four pixels at a time where the processor can: the
// u, v of the first pixel and their steps; every sample of the run lies inside the picture.
// Returns where it stopped (at x when it cannot, else at most three pixels before end); the
// same results as SampleInside.
int32_t SampleRunInside(uint32_t* row, int32_t x, int32_t end, const TSourcePixels& image,
                        int64_t u, int64_t v, int64_t du, int64_t dv) {
#if defined(LEAFTURN_X86)
    // Positions and offsets in 32 bits; a row and a column index in 16.
    if (!UseSse2() || image.width >= 32768 || image.height >= 32768 ||
        std::abs(du) >= (int64_t{1} << 28) || std::abs(dv) >= (int64_t{1} << 28))
        return x;
    if (UseAvx2()) {
        const int32_t at = x;
        x = SampleRunInsideWide(row, x, end, image, u, v, du, dv);
        u += du * (x - at);
        v += dv * (x - at);
    }
    return SampleRunInsideFour(row, x, end, image, u, v, du, dv);
#else
    (void)row, (void)end, (void)image, (void)u, (void)v, (void)du, (void)dv;
    return x;
#endif
}

// A run of a row in the shadow around a polygon. Along a row each edge function and the side
// of the line change by a constant step: pixel i of the run has them at their start less i steps.
struct TShadowRun {
    int32_t edges = 0;
    float start[6], step[6];
    float sideStart, sideStep, reach, toIndex;
    const uint32_t* table; // alpha by the distance outside, in 1/256ths of reach

    // The shadow's alpha at pixel i: by how far outside the furthest edge puts it (exact beside
    // the edges), none on the lifted side of the line or beyond the reach.
    uint32_t AlphaAt(int32_t i) const {
        float outside = start[0] - step[0] * float(i);
        for (int32_t k = 1; k < edges; ++k)
            outside = std::max(outside, start[k] - step[k] * float(i));
        if (sideStart + sideStep * float(i) > 0 || outside <= 0 || outside >= reach)
            return 0;
        return table[std::min(int32_t(outside * toIndex), 256)];
    }
};

#if defined(LEAFTURN_X86)
// Two pixels' channels in 16 bits, colour over them with alphas a0 and a1 (0-256).
LEAFTURN_SSE2_INLINE __m128i MixTwo(__m128i colour, __m128i pixels, int16_t a0, int16_t a1) {
    const __m128i a = _mm_set_epi16(a1, a1, a1, a1, a0, a0, a0, a0);
    return _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(colour, a),
                      _mm_mullo_epi16(pixels, _mm_sub_epi16(_mm_set1_epi16(256), a))),
        8);
}

// The same eight pixels at a time, where the processor has AVX2; from pixel 0.
LEAFTURN_AVX2_ENTRY int32_t ShadowRunEight(uint32_t* row, int32_t count, const TShadowRun& run,
                                           uint32_t color) {
    const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi16(256),
                  opaque = _mm256_set1_epi32(int32_t(0xFF000000u)),
                  lastEntry = _mm256_set1_epi32(256);
    const __m256i colour = _mm256_unpacklo_epi8(_mm256_set1_epi32(int32_t(color)), zero);
    const __m256 lanes = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 at = _mm256_add_ps(_mm256_set1_ps(float(i)), lanes);
        __m256 outside = _mm256_sub_ps(_mm256_set1_ps(run.start[0]),
                                       _mm256_mul_ps(_mm256_set1_ps(run.step[0]), at));
        for (int32_t k = 1; k < run.edges; ++k)
            outside = _mm256_max_ps(outside,
                                    _mm256_sub_ps(_mm256_set1_ps(run.start[k]),
                                                  _mm256_mul_ps(_mm256_set1_ps(run.step[k]), at)));
        const __m256 side = _mm256_add_ps(_mm256_set1_ps(run.sideStart),
                                          _mm256_mul_ps(_mm256_set1_ps(run.sideStep), at));
        const __m256 shaded =
            _mm256_and_ps(_mm256_and_ps(_mm256_cmp_ps(side, _mm256_setzero_ps(), _CMP_LE_OQ),
                                        _mm256_cmp_ps(outside, _mm256_setzero_ps(), _CMP_GT_OQ)),
                          _mm256_cmp_ps(outside, _mm256_set1_ps(run.reach), _CMP_LT_OQ));
        if (_mm256_movemask_ps(shaded) == 0)
            continue;
        const __m256i mask = _mm256_castps_si256(shaded);
        // Lanes outside the shadow look up entry 0 and keep their pixel below.
        const __m256i index = _mm256_and_si256(
            mask, _mm256_min_epi32(
                      _mm256_cvttps_epi32(_mm256_mul_ps(outside, _mm256_set1_ps(run.toIndex))),
                      lastEntry));
        const __m256i alpha =
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(run.table), index, 4);
        const __m256i both = _mm256_or_si256(alpha, _mm256_slli_epi32(alpha, 16));
        __m256i* pixels = reinterpret_cast<__m256i*>(row + i);
        const __m256i before = _mm256_loadu_si256(pixels);
        // [0, 1 | 4, 5] and [2, 3 | 6, 7], as the alphas unpack
        const __m256i aLow = _mm256_unpacklo_epi32(both, both),
                      aHigh = _mm256_unpackhi_epi32(both, both);
        const __m256i low = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(colour, aLow),
                             _mm256_mullo_epi16(_mm256_unpacklo_epi8(before, zero),
                                                _mm256_sub_epi16(full, aLow))),
            8);
        const __m256i high = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(colour, aHigh),
                             _mm256_mullo_epi16(_mm256_unpackhi_epi8(before, zero),
                                                _mm256_sub_epi16(full, aHigh))),
            8);
        const __m256i after = _mm256_or_si256(_mm256_packus_epi16(low, high), opaque);
        _mm256_storeu_si256(pixels, _mm256_blendv_epi8(before, after, mask));
    }
    return i;
}

// The shadow over the run's pixels from i on, four at a time: where any is shaded, each channel
// becomes (color * alpha + pixel * (256 - alpha)) / 256, which never leaves 16 bits. Returns
// where it stopped, at most three pixels before count; the same results as AlphaAt and Blend.
LEAFTURN_SSE2 int32_t ShadowRunFour(uint32_t* row, int32_t i, int32_t count, const TShadowRun& run,
                                    uint32_t color) {
    const __m128i zero = _mm_setzero_si128(), opaque = _mm_set1_epi32(int32_t(0xFF000000u));
    const __m128i colour = _mm_unpacklo_epi8(_mm_set1_epi32(int32_t(color)), zero);
    for (; i + 4 <= count; i += 4) {
        const __m128 at = _mm_add_ps(_mm_set1_ps(float(i)), _mm_setr_ps(0, 1, 2, 3));
        __m128 outside =
            _mm_sub_ps(_mm_set1_ps(run.start[0]), _mm_mul_ps(_mm_set1_ps(run.step[0]), at));
        for (int32_t k = 1; k < run.edges; ++k)
            outside = _mm_max_ps(outside, _mm_sub_ps(_mm_set1_ps(run.start[k]),
                                                     _mm_mul_ps(_mm_set1_ps(run.step[k]), at)));
        const __m128 side =
            _mm_add_ps(_mm_set1_ps(run.sideStart), _mm_mul_ps(_mm_set1_ps(run.sideStep), at));
        const __m128 shaded = _mm_and_ps(_mm_and_ps(_mm_cmple_ps(side, _mm_setzero_ps()),
                                                    _mm_cmpgt_ps(outside, _mm_setzero_ps())),
                                         _mm_cmplt_ps(outside, _mm_set1_ps(run.reach)));
        const int lanes = _mm_movemask_ps(shaded);
        if (lanes == 0)
            continue;
        alignas(16) int32_t index[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(index),
                        _mm_cvttps_epi32(_mm_mul_ps(outside, _mm_set1_ps(run.toIndex))));
        int16_t alpha[4];
        for (int32_t j = 0; j < 4; ++j)
            alpha[j] = lanes >> j & 1 ? int16_t(run.table[std::min(index[j], 256)]) : 0;
        __m128i* pixels = reinterpret_cast<__m128i*>(row + i);
        const __m128i before = _mm_loadu_si128(pixels);
        const __m128i after = _mm_or_si128(
            _mm_packus_epi16(MixTwo(colour, _mm_unpacklo_epi8(before, zero), alpha[0], alpha[1]),
                             MixTwo(colour, _mm_unpackhi_epi8(before, zero), alpha[2], alpha[3])),
            opaque);
        const __m128i mask = _mm_castps_si128(shaded);
        _mm_storeu_si128(pixels,
                         _mm_or_si128(_mm_and_si128(mask, after), _mm_andnot_si128(mask, before)));
    }
    return i;
}
#endif

} // namespace

void LimitVectorInstructions(TVectorInstructions allowed) {
    gVectorsAllowed = allowed;
}

void DrawScaled(const TPixelBuffer& target, const TRect& clip, const TSourcePixels& source,
                const TRectF& place) {
    if (!source.bits || source.width <= 0 || source.height <= 0)
        return;
    const TRect area = Clipped(target, clip,
                               {int32_t(std::floor(place.left)), int32_t(std::floor(place.top)),
                                int32_t(std::ceil(place.right)), int32_t(std::ceil(place.bottom))});
    if (RectIsEmpty(area) || place.right <= place.left || place.bottom <= place.top)
        return;
    const int32_t width = RectWidth(area), height = RectHeight(area);
    std::vector<int32_t> columnOffsets, rowOffsets;
    std::vector<TTap> columnTaps, rowTaps;
    AxisTaps(source.width, place.left, place.right - place.left, area.left, width, columnOffsets,
             columnTaps);
    AxisTaps(source.height, place.top, place.bottom - place.top, area.top, height, rowOffsets,
             rowTaps);
    // Each source row is filtered across once, then rows are combined down.
    std::vector<float> sum(size_t(width) * 4);
    for (int32_t y = 0; y < height; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int32_t r = rowOffsets[size_t(y)]; r < rowOffsets[size_t(y) + 1]; ++r) {
            const TTap rowTap = rowTaps[size_t(r)];
            const uint32_t* line = source.bits + int64_t{rowTap.index} * source.width;
            for (int32_t x = 0; x < width; ++x) {
                float c[4] = {0, 0, 0, 0};
                for (int32_t k = columnOffsets[size_t(x)]; k < columnOffsets[size_t(x) + 1]; ++k) {
                    const uint32_t p = line[columnTaps[size_t(k)].index];
                    const float w = columnTaps[size_t(k)].weight;
                    c[0] += w * float(p & 0xFF);
                    c[1] += w * float((p >> 8) & 0xFF);
                    c[2] += w * float((p >> 16) & 0xFF);
                    c[3] += w * float(p >> 24);
                }
                float* s = &sum[size_t(x) * 4];
                for (int i = 0; i < 4; ++i)
                    s[i] += rowTap.weight * c[i];
            }
        }
        uint32_t* row = Row(target, area.top + y) + area.left;
        for (int32_t x = 0; x < width; ++x)
            row[x] = PackChannels(&sum[size_t(x) * 4]);
    }
}

void FlattenOnto(TImage& image, uint32_t background) {
    for (uint32_t& p : image.pixels) {
        const uint32_t alpha = p >> 24;
        if (alpha == 255)
            continue;
        // Premultiplied: the background shows through what the picture leaves uncovered.
        const uint32_t rest = 255 - alpha;
        const auto channel = [&](int shift) {
            const uint32_t v =
                ((p >> shift) & 0xFF) + (((background >> shift) & 0xFF) * rest + 127) / 255;
            return std::min(v, 255u) << shift;
        };
        p = 0xFF000000u | channel(16) | channel(8) | channel(0);
    }
}

void FillRect(const TPixelBuffer& target, const TRect& clip, const TRect& rect, uint32_t color) {
    const TRect r = Clipped(target, clip, rect);
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::fill_n(Row(target, y) + r.left, RectWidth(r), color);
}

void CopyImageAround(const TPixelBuffer& target, const TRect& clip, const TSourcePixels& image,
                     int32_t x, int32_t y, const std::vector<TPolygon>& holes) {
    const TRect r = Clipped(target, clip, {x, y, x + image.width, y + image.height});
    std::vector<TEdges> edges;
    for (const TPolygon& hole : holes) {
        TEdges e;
        if (MakeEdges(hole, e))
            edges.push_back(e);
    }
    const auto copy = [&](int32_t row, int32_t from, int32_t to) {
        if (from < to)
            std::memcpy(Row(target, row) + from,
                        image.bits + int64_t{row - y} * image.width + (from - x),
                        size_t(to - from) * 4);
    };
    for (int32_t row = r.top; row < r.bottom; ++row) {
        // At most two holes: the row falls into at most three runs around them.
        std::pair<int32_t, int32_t> spans[2];
        int32_t count = 0;
        for (const TEdges& e : edges) {
            int32_t from, to;
            RowSpan(e, row + 0.5, 0.5, r.left, r.right, from, to);
            if (from < to && count < 2)
                spans[count++] = {from, to};
        }
        if (count == 2 && spans[1].first < spans[0].first)
            std::swap(spans[0], spans[1]);
        if (count == 2 && spans[1].first < spans[0].second) { // overlapping: one hole
            spans[0].second = std::max(spans[0].second, spans[1].second);
            count = 1;
        }
        int32_t at = r.left;
        for (int32_t i = 0; i < count; ++i) {
            copy(row, at, spans[i].first);
            at = spans[i].second;
        }
        copy(row, at, r.right);
    }
}

void BlendGradient(const TPixelBuffer& target, const TRect& clip, const TRect& rect, uint32_t color,
                   double alphaFrom, double alphaTo, bool horizontal) {
    const TRect r = Clipped(target, clip, rect);
    const int32_t length = horizontal ? RectWidth(rect) : RectHeight(rect);
    if (RectIsEmpty(r) || length <= 0)
        return;
    const auto alphaAt = [&](int32_t i) {
        return Alpha256(alphaFrom + (alphaTo - alphaFrom) * (i + 0.5) / length);
    };
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(target, y);
        const uint32_t rowAlpha = horizontal ? 0 : alphaAt(y - rect.top);
        for (int32_t x = r.left; x < r.right; ++x)
            row[x] = Blend(row[x], color, horizontal ? alphaAt(x - rect.left) : rowAlpha);
    }
}

void ShadowAround(const TPixelBuffer& target, const TRect& clip, const TRect& rect, int32_t spread,
                  double maxAlpha, uint32_t color) {
    if (spread <= 0 || RectIsEmpty(rect))
        return;
    const TRect outer =
        Clipped(target, clip,
                {rect.left - spread, rect.top - spread, rect.right + spread, rect.bottom + spread});
    if (RectIsEmpty(outer))
        return;
    const auto alphaAt = [&](double distance) {
        const double d = distance / spread;
        return d >= 1 ? 0u : Alpha256(maxAlpha * (1 - d) * (1 - d));
    };
    // Beside the sides the distance is a whole number of pixels and a half: one per step out.
    std::vector<uint32_t> side(static_cast<size_t>(spread));
    for (int32_t i = 0; i < spread; ++i)
        side[size_t(i)] = alphaAt(i + 0.5);
    for (int32_t y = outer.top; y < outer.bottom; ++y) {
        uint32_t* row = Row(target, y);
        const int32_t dy = y < rect.top       ? rect.top - 1 - y
                           : y >= rect.bottom ? y - rect.bottom
                                              : -1;
        for (int32_t x = outer.left; x < outer.right; ++x) {
            const int32_t dx = x < rect.left     ? rect.left - 1 - x
                               : x >= rect.right ? x - rect.right
                                                 : -1;
            if (dx < 0 && dy < 0) {
                x = rect.right - 1; // the rectangle itself casts no shadow on itself
                continue;
            }
            const uint32_t alpha = dx < 0   ? side[size_t(dy)]
                                   : dy < 0 ? side[size_t(dx)]
                                            : alphaAt(std::hypot(dx + 0.5, dy + 0.5));
            if (alpha)
                row[x] = Blend(row[x], color, alpha);
        }
    }
}

void BlendMask(const TPixelBuffer& target, const TRect& clip, const TSourcePixels& mask, int32_t x,
               int32_t y, uint32_t color, double opacity) {
    const TRect r = Clipped(target, clip, {x, y, x + mask.width, y + mask.height});
    const uint32_t scale = Alpha256(opacity);
    for (int32_t row = r.top; row < r.bottom; ++row) {
        uint32_t* out = Row(target, row);
        const uint32_t* in = mask.bits + int64_t{row - y} * mask.width - x;
        for (int32_t column = r.left; column < r.right; ++column) {
            const uint32_t m = in[column];
            const uint32_t cover = std::max({m & 0xFF, (m >> 8) & 0xFF, (m >> 16) & 0xFF});
            if (cover != 0)
                out[column] = Blend(out[column], color, ((cover + (cover >> 7)) * scale) >> 8);
        }
    }
}

void FillPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                 uint32_t color, double alpha) {
    const uint32_t a = Alpha256(alpha);
    ForEachSpan(
        target, clip, polygon,
        [&](uint32_t* row, int32_t, int32_t from, int32_t to) {
            for (int32_t x = from; x < to; ++x)
                row[x] = Blend(row[x], color, a);
        },
        [&](uint32_t* row, int32_t x, int32_t, uint32_t coverage) {
            row[x] = Blend(row[x], color, (coverage * a) >> 8);
        });
}

void CopyPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                 const TSourcePixels& image, int32_t x0, int32_t y0, const TShade& shade) {
    if (!image.bits)
        return;
    const TRect inImage = Clipped(target, clip, {x0, y0, x0 + image.width, y0 + image.height});
    const TShader shader(shade);
    const auto source = [&](int32_t x, int32_t y) {
        return image.bits + int64_t{y - y0} * image.width + (x - x0);
    };
    ForEachSpan(
        target, inImage, polygon,
        [&](uint32_t* row, int32_t y, int32_t from, int32_t to) {
            std::memcpy(row + from, source(from, y), size_t(to - from) * 4);
            shader.Run(row, y, from, to);
        },
        [&](uint32_t* row, int32_t x, int32_t y, uint32_t coverage) {
            uint32_t p = *source(x, y);
            if (shader.On())
                p = shader.Apply(p, shader.Start(x, y));
            row[x] = Blend(row[x], p, coverage);
        });
}

void MapPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                const TSourcePixels& image, const TAffine& map, const TShade& shade) {
    if (!image.bits || image.width <= 0 || image.height <= 0)
        return;
    const TShader shader(shade);
    // Sample positions in 16.16 fixed point, relative to the pixel centres of the image.
    const auto fixed = [](double value) { return int64_t(std::llround(value * 65536)); };
    const int64_t du = fixed(map.ux), dv = fixed(map.vx);
    const auto start = [&](int32_t x, int32_t y, int64_t& u, int64_t& v) {
        const TPointF at = map.Apply({x + 0.5, y + 0.5});
        u = fixed(at.x - 0.5);
        v = fixed(at.y - 0.5);
    };
    // Where all four pixels of a sample lie inside the picture no clamping is needed.
    const int64_t safeU = int64_t(image.width - 2) << 16, safeV = int64_t(image.height - 2) << 16;
    // Narrows [first, last) to the steps i where 0 <= start + step * i <= limit.
    const auto within = [](int64_t start, int64_t step, int64_t limit, int32_t& first,
                           int32_t& last) {
        if (step == 0) {
            if (start < 0 || start > limit)
                last = first;
            return;
        }
        // start + step * i >= 0 and <= limit, as bounds on i.
        const double a = -double(start) / double(step), b = double(limit - start) / double(step);
        const double lo = std::min(a, b), hi = std::max(a, b);
        first = std::max(first, int32_t(std::min(std::ceil(lo), 1e9)));
        last = std::min(last, int32_t(std::max(std::floor(hi) + 1, -1e9)));
        if (last < first) // none: an empty run, and still inside the row
            first = last = std::max(last, 0);
    };
    // The runs of whole pixels, found row by row and sampled below block by block.
    struct TRun {
        uint32_t* row;
        int32_t y, from, to;
        int32_t first, last; // the steps from `from` whose samples need no clamping
        int64_t u, v;        // at `from`
    };
    std::vector<TRun> runs;
    ForEachSpan(
        target, clip, polygon,
        [&](uint32_t* row, int32_t y, int32_t from, int32_t to) {
            TRun run{row, y, from, to, 0, to - from, 0, 0};
            start(from, y, run.u, run.v);
            within(run.u, du, safeU, run.first, run.last);
            within(run.v, dv, safeV, run.first, run.last);
            runs.push_back(run);
        },
        [&](uint32_t* row, int32_t x, int32_t y, uint32_t coverage) {
            int64_t u, v;
            start(x, y, u, v);
            uint32_t p = Sample(image, u, v);
            if (shader.On())
                p = shader.Apply(p, shader.Start(x, y));
            row[x] = Blend(row[x], p, coverage);
        });
    // Pixels [from, to) of a run, sampled as the whole run would sample them.
    const auto sample = [&](const TRun& run, int32_t from, int32_t to) {
        uint32_t* row = run.row;
        int64_t u = run.u + du * (from - run.from), v = run.v + dv * (from - run.from);
        const int32_t first = std::clamp(run.from + run.first, from, to);
        const int32_t last = std::clamp(run.from + run.last, first, to);
        int32_t x = from;
        for (; x < first; ++x, u += du, v += dv)
            row[x] = 0xFF000000u | Sample(image, u, v);
        const int32_t stop = SampleRunInside(row, x, last, image, u, v, du, dv);
        u += du * (stop - x);
        v += dv * (stop - x);
        for (x = stop; x < last; ++x, u += du, v += dv)
            row[x] = 0xFF000000u | SampleInside(image.bits, image.width, u, v);
        for (; x < to; ++x, u += du, v += dv)
            row[x] = 0xFF000000u | Sample(image, u, v);
    };
    // Block by block: along a row of a steeply turned leaf nearly every pixel reads another line
    // of the picture, and soon another page of memory, more than the processor keeps at hand;
    // a block of rows and columns reads few. (Narrower blocks cost more than they save where the
    // leaf is turned only a little.)
    constexpr size_t kBlockRows = 8;
    constexpr int32_t kBlockWidth = 128;
    for (size_t top = 0; top < runs.size(); top += kBlockRows) {
        const size_t bottom = std::min(runs.size(), top + kBlockRows);
        int32_t longest = 0;
        for (size_t i = top; i < bottom; ++i)
            longest = std::max(longest, runs[i].to - runs[i].from);
        // Each row's blocks start where its run does: all but its last are whole vectors wide.
        for (int32_t offset = 0; offset < longest; offset += kBlockWidth)
            for (size_t i = top; i < bottom; ++i) {
                const int32_t from = runs[i].from + offset;
                if (from < runs[i].to)
                    sample(runs[i], from, std::min(runs[i].to, from + kBlockWidth));
            }
        for (size_t i = top; i < bottom; ++i)
            shader.Run(runs[i].row, runs[i].y, runs[i].from, runs[i].to);
    }
}

void ShadowAroundPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                         double spread, double maxAlpha, uint32_t color, TPointF point,
                         TPointF normal) {
    TEdges edges;
    if (spread <= 0 || !MakeEdges(polygon, edges))
        return;
    const TRect box = Clipped(
        target, clip,
        {int32_t(std::floor(edges.left - spread)), int32_t(std::floor(edges.top - spread)),
         int32_t(std::ceil(edges.right + spread)), int32_t(std::ceil(edges.bottom + spread))});
    // The alpha by the distance outside, in 1/256ths of spread.
    uint32_t table[257];
    for (int i = 0; i <= 256; ++i) {
        const double fall = 1 - i / 256.0;
        table[i] = Alpha256(maxAlpha * fall * fall);
    }
    const auto run = [&](uint32_t* row, int32_t y, int32_t from, int32_t to) {
        if (from >= to)
            return;
        const double cy = y + 0.5;
        TShadowRun shadow;
        shadow.edges = edges.count;
        for (int32_t k = 0; k < edges.count; ++k) {
            shadow.start[k] = float(-(edges.a[k] * (from + 0.5) + edges.b[k] * cy + edges.c[k]));
            shadow.step[k] = float(edges.a[k]);
        }
        shadow.sideStart = float((from + 0.5 - point.x) * normal.x + (cy - point.y) * normal.y);
        shadow.sideStep = float(normal.x);
        shadow.reach = float(spread);
        shadow.toIndex = float(256 / spread);
        shadow.table = table;
        const int32_t count = to - from;
        int32_t i = 0;
#if defined(LEAFTURN_X86)
        if (UseAvx2())
            i = ShadowRunEight(row + from, count, shadow, color);
        if (UseSse2())
            i = ShadowRunFour(row + from, i, count, shadow, color);
#endif
        for (; i < count; ++i)
            if (const uint32_t alpha = shadow.AlphaAt(i))
                row[from + i] = Blend(row[from + i], color, alpha);
    };
    for (int32_t y = box.top; y < box.bottom; ++y) {
        // The ring between the polygon grown by spread and the polygon itself.
        int32_t outerFrom, outerTo, innerFrom, innerTo;
        RowSpan(edges, y + 0.5, -spread, box.left, box.right, outerFrom, outerTo);
        RowSpan(edges, y + 0.5, 0, outerFrom, outerTo, innerFrom, innerTo);
        if (innerFrom >= innerTo)
            innerFrom = innerTo = outerTo;
        uint32_t* row = Row(target, y);
        run(row, y, outerFrom, innerFrom);
        run(row, y, innerTo, outerTo);
    }
}

void FillRoundRect(const TPixelBuffer& target, const TRect& clip, const TRectF& rect, double radius,
                   uint32_t color, double alpha) {
    const TRect r = Clipped(target, clip,
                            {int32_t(std::floor(rect.left)), int32_t(std::floor(rect.top)),
                             int32_t(std::ceil(rect.right)), int32_t(std::ceil(rect.bottom))});
    radius = std::min({radius, (rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2});
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(target, y);
        const double cy = y + 0.5;
        const double dy = std::max({rect.top + radius - cy, cy - (rect.bottom - radius), 0.0});
        for (int32_t x = r.left; x < r.right; ++x) {
            const double cx = x + 0.5;
            const double dx = std::max({rect.left + radius - cx, cx - (rect.right - radius), 0.0});
            // Distance inside the outline, smoothed over one pixel.
            const double edge =
                std::min({cx - rect.left, rect.right - cx, cy - rect.top, rect.bottom - cy});
            const double inside = dx > 0 && dy > 0 ? radius - std::hypot(dx, dy) : edge;
            const double coverage = std::clamp(inside + 0.5, 0.0, 1.0);
            if (coverage > 0)
                row[x] = Blend(row[x], color, Alpha256(alpha * coverage));
        }
    }
}

void FillRing(const TPixelBuffer& target, const TRect& clip, TPointF centre, double radius,
              double thickness, uint32_t color, double alpha) {
    const double outer = radius + 1;
    const TRect r =
        Clipped(target, clip,
                {int32_t(std::floor(centre.x - outer)), int32_t(std::floor(centre.y - outer)),
                 int32_t(std::ceil(centre.x + outer)), int32_t(std::ceil(centre.y + outer))});
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(target, y);
        for (int32_t x = r.left; x < r.right; ++x) {
            const double d = std::hypot(x + 0.5 - centre.x, y + 0.5 - centre.y);
            double inside = radius - d;
            if (thickness > 0)
                inside = std::min(inside, d - (radius - thickness));
            const double coverage = std::clamp(inside + 0.5, 0.0, 1.0);
            if (coverage > 0)
                row[x] = Blend(row[x], color, Alpha256(alpha * coverage));
        }
    }
}
