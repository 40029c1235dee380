// SSE2 and AVX2 sets of the run kernels. Each function carries its instruction set as a target
// attribute, so nothing here runs on a processor that lacks it: the sets are handed out only
// after the processor has said it has them.

#include "qel/graphics/qel_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

// 32-bit Windows keeps its stack 4-byte aligned: realign where vectors may be spilled.
#if defined(__i386__)
#define QEL_ENTRY __attribute__((force_align_arg_pointer))
#else
#define QEL_ENTRY
#endif
#define QEL_SSE2 __attribute__((target("sse2")))
#define QEL_AVX2 __attribute__((target("avx2")))

namespace {

// The plain loop reads each source pixel after the pixels before it were written, so a
// destination that starts inside its source run reads back what the run wrote. Vectors load
// several source pixels before storing any: such runs take the plain loop, so that the picture
// never depends on the set the processor chose.
inline bool ReadsItsOwnWrites(const TqelColor* source, const TqelColor* destination,
                              int32_t count) {
    const auto from = reinterpret_cast<uintptr_t>(source);
    const auto to = reinterpret_cast<uintptr_t>(destination);
    return count > 0 && to > from && to - from < static_cast<uintptr_t>(count) * sizeof(TqelColor);
}

// A set's entry for a run kernel: runs that read their own writes take the plain loop.
template <void (*Run)(const TqelColor*, TqelColor*, int32_t), TRunFn TRunKernels::*Plain>
QEL_ENTRY void Entry(const TqelColor* source, TqelColor* destination, int32_t count) {
    if (ReadsItsOwnWrites(source, destination, count))
        return (kScalarKernels.*Plain)(source, destination, count);
    Run(source, destination, count);
}

// ---- SSE2, four pixels at a time.
//
// Both variants compute per 16-bit lane D*256 + (S-D)*A, which the lane holds exactly modulo
// 2^16; the true value never leaves 0..65280, so the wrapped result is the true one. Red and
// blue are taken in place (mask 0x00FF00FF), green and alpha shifted down by 8.

QEL_SSE2 inline __m128i Alpha16(__m128i s) {
    const __m128i a = _mm_srli_epi32(s, 24);
    return _mm_or_si128(a, _mm_slli_epi32(a, 16));
}

QEL_SSE2 inline __m128i MmxArithmetic4(__m128i s, __m128i d, __m128i a) {
    const __m128i low = _mm_set1_epi32(0x00FF00FF);
    const __m128i drb = _mm_and_si128(d, low);
    const __m128i rb = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(s, low), drb), a),
                                     _mm_slli_epi16(drb, 8));
    const __m128i ag =
        _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(_mm_srli_epi16(s, 8), _mm_srli_epi16(d, 8)), a),
                      _mm_andnot_si128(low, d));
    return _mm_or_si128(_mm_srli_epi16(rb, 8), _mm_andnot_si128(low, ag));
}

// S*A + D*(255-A) = D*256 + (S-D)*A - D; alpha forced to 255.
QEL_SSE2 inline __m128i PlainArithmetic4(__m128i s, __m128i d, __m128i a) {
    const __m128i low = _mm_set1_epi32(0x00FF00FF);
    const __m128i drb = _mm_and_si128(d, low);
    const __m128i dag = _mm_srli_epi16(d, 8);
    const __m128i rb = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(s, low), drb), a),
                                     _mm_sub_epi16(_mm_slli_epi16(drb, 8), drb));
    const __m128i ag = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(_mm_srli_epi16(s, 8), dag), a),
                                     _mm_sub_epi16(_mm_andnot_si128(low, d), dag));
    return _mm_or_si128(_mm_or_si128(_mm_srli_epi16(rb, 8), _mm_andnot_si128(low, ag)),
                        _mm_set1_epi32(static_cast<int>(0xFF000000)));
}

QEL_SSE2 inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Alpha 0 needs no select in the MMX variant: its arithmetic gives D exactly.
QEL_SSE2 inline __m128i BlendMmx4(__m128i s, __m128i d) {
    const __m128i a = Alpha16(s);
    const __m128i opaque = _mm_cmpeq_epi32(a, _mm_set1_epi32(0x00FF00FF));
    return Select(opaque, s, MmxArithmetic4(s, d, a));
}

QEL_SSE2 inline __m128i BlendPlain4(__m128i s, __m128i d) {
    const __m128i a = Alpha16(s);
    const __m128i opaque = _mm_cmpeq_epi32(a, _mm_set1_epi32(0x00FF00FF));
    const __m128i clear = _mm_cmpeq_epi32(a, _mm_setzero_si128());
    return Select(clear, d, Select(opaque, s, PlainArithmetic4(s, d, a)));
}

template <bool kMmx>
QEL_SSE2 inline void BlendRunSse2(const TqelColor* source, TqelColor* destination, int32_t count) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i),
                         kMmx ? BlendMmx4(s, d) : BlendPlain4(s, d));
    }
    for (; i < count; ++i) {
        const uint32_t a = source[i] >> 24;
        if (a == 255)
            destination[i] = source[i];
        else if (a != 0)
            destination[i] = kMmx ? BlendMmxArithmetic(source[i], destination[i], a)
                                  : BlendPlainArithmetic(source[i], destination[i], a);
    }
}

QEL_SSE2 inline __m128i KeyCopy4(__m128i s, __m128i d) {
    const __m128i key = _mm_cmpeq_epi32(_mm_and_si128(s, _mm_set1_epi32(0xFFFFFF)),
                                        _mm_set1_epi32(static_cast<int>(kKeyColor)));
    return Select(key, d, _mm_or_si128(s, _mm_set1_epi32(static_cast<int>(0xFF000000))));
}

QEL_SSE2 void KeyCopyRunSse2(const TqelColor* source, TqelColor* destination, int32_t count) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), KeyCopy4(s, d));
    }
    for (; i < count; ++i)
        if ((source[i] & 0xFFFFFF) != kKeyColor)
            destination[i] = source[i] | 0xFF000000;
}

// Long fills go to the processor's string store, which writes whole lines as fast as the C
// library's own memset; vector stores fall behind it on large buffers.
constexpr int32_t kStringFillPixels = 1024;

inline void StringFill(TqelColor* destination, int32_t count, TqelColor value) {
    size_t n = static_cast<size_t>(count); // the whole counter register
    asm volatile("rep stosl" : "+D"(destination), "+c"(n) : "a"(value) : "memory");
}

QEL_ENTRY QEL_SSE2 void FillPixelsSse2(TqelColor* destination, int32_t count, TqelColor value) {
    if (count >= kStringFillPixels) {
        StringFill(destination, count, value);
        return;
    }
    const __m128i v = _mm_set1_epi32(static_cast<int>(value));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), v);
    for (; i < count; ++i)
        destination[i] = value;
}

// SSE2 has no variable permute: its gather is the scalar one.
const TRunKernels kSse2Kernels = {"sse2",
                                  Entry<BlendRunSse2<false>, &TRunKernels::BlendPixelsPlain>,
                                  Entry<BlendRunSse2<true>, &TRunKernels::BlendPixelsMmx>,
                                  Entry<KeyCopyRunSse2, &TRunKernels::KeyCopyPixels>,
                                  FillPixelsSse2,
                                  GatherPixelsScalar};

// ---- AVX2, eight pixels at a time, the same arithmetic in 256-bit lanes.

QEL_AVX2 inline __m256i Alpha16x8(__m256i s) {
    const __m256i a = _mm256_srli_epi32(s, 24);
    return _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
}

QEL_AVX2 inline __m256i MmxArithmetic8(__m256i s, __m256i d, __m256i a) {
    const __m256i low = _mm256_set1_epi32(0x00FF00FF);
    const __m256i drb = _mm256_and_si256(d, low);
    const __m256i rb =
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(_mm256_and_si256(s, low), drb), a),
                         _mm256_slli_epi16(drb, 8));
    const __m256i ag = _mm256_add_epi16(
        _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_srli_epi16(s, 8), _mm256_srli_epi16(d, 8)), a),
        _mm256_andnot_si256(low, d));
    return _mm256_or_si256(_mm256_srli_epi16(rb, 8), _mm256_andnot_si256(low, ag));
}

QEL_AVX2 inline __m256i PlainArithmetic8(__m256i s, __m256i d, __m256i a) {
    const __m256i low = _mm256_set1_epi32(0x00FF00FF);
    const __m256i drb = _mm256_and_si256(d, low);
    const __m256i dag = _mm256_srli_epi16(d, 8);
    const __m256i rb =
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(_mm256_and_si256(s, low), drb), a),
                         _mm256_sub_epi16(_mm256_slli_epi16(drb, 8), drb));
    const __m256i ag =
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(_mm256_srli_epi16(s, 8), dag), a),
                         _mm256_sub_epi16(_mm256_andnot_si256(low, d), dag));
    return _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi16(rb, 8), _mm256_andnot_si256(low, ag)),
                           _mm256_set1_epi32(static_cast<int>(0xFF000000)));
}

QEL_AVX2 inline __m256i BlendMmx8(__m256i s, __m256i d) {
    const __m256i a = Alpha16x8(s);
    const __m256i opaque = _mm256_cmpeq_epi32(a, _mm256_set1_epi32(0x00FF00FF));
    return _mm256_blendv_epi8(MmxArithmetic8(s, d, a), s, opaque);
}

QEL_AVX2 inline __m256i BlendPlain8(__m256i s, __m256i d) {
    const __m256i a = Alpha16x8(s);
    const __m256i opaque = _mm256_cmpeq_epi32(a, _mm256_set1_epi32(0x00FF00FF));
    const __m256i clear = _mm256_cmpeq_epi32(a, _mm256_setzero_si256());
    return _mm256_blendv_epi8(_mm256_blendv_epi8(PlainArithmetic8(s, d, a), s, opaque), d, clear);
}

// Eight transparent source pixels leave the destination as it is and eight opaque ones replace
// it: such blocks skip the arithmetic (and, when transparent, the store). Mixed blocks take the
// branch-free path.
template <bool kMmx>
QEL_AVX2 inline void BlendRunAvx2(const TqelColor* source, TqelColor* destination, int32_t count) {
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
        if (_mm256_testz_si256(s, alpha))
            continue;
        __m256i* to = reinterpret_cast<__m256i*>(destination + i);
        if (_mm256_testc_si256(s, alpha))
            _mm256_storeu_si256(to, s);
        else
            _mm256_storeu_si256(to, kMmx ? BlendMmx8(s, _mm256_loadu_si256(to))
                                         : BlendPlain8(s, _mm256_loadu_si256(to)));
    }
    BlendRunSse2<kMmx>(source + i, destination + i, count - i);
}

QEL_AVX2 void KeyCopyRunAvx2(const TqelColor* source, TqelColor* destination, int32_t count) {
    const __m256i colour = _mm256_set1_epi32(0xFFFFFF);
    const __m256i keyColour = _mm256_set1_epi32(static_cast<int>(kKeyColor));
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
        const __m256i key = _mm256_cmpeq_epi32(_mm256_and_si256(s, colour), keyColour);
        __m256i* to = reinterpret_cast<__m256i*>(destination + i);
        _mm256_storeu_si256(
            to, _mm256_blendv_epi8(_mm256_or_si256(s, alpha), _mm256_loadu_si256(to), key));
    }
    KeyCopyRunSse2(source + i, destination + i, count - i);
}

QEL_ENTRY QEL_AVX2 void FillPixelsAvx2(TqelColor* destination, int32_t count, TqelColor value) {
    if (count >= kStringFillPixels) {
        StringFill(destination, count, value);
        return;
    }
    const __m256i v = _mm256_set1_epi32(static_cast<int>(value));
    int32_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256i* to = reinterpret_cast<__m256i*>(destination + i);
        _mm256_storeu_si256(to, v);
        _mm256_storeu_si256(to + 1, v);
        _mm256_storeu_si256(to + 2, v);
        _mm256_storeu_si256(to + 3, v);
    }
    for (; i + 8 <= count; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i), v);
    FillPixelsSse2(destination + i, count - i, value);
}

// Eight destination pixels whose source columns lie within eight consecutive pixels of the row
// (always so when enlarging) are one load and one permute; other blocks are gathered.
QEL_ENTRY QEL_AVX2 void GatherPixelsAvx2(const TqelColor* row, int32_t rowLength,
                                         const int32_t* map, TqelColor* destination,
                                         int32_t count) {
    const __m256i seven = _mm256_set1_epi32(7);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i columns = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(map + i));
        const int32_t first = map[i];
        const __m256i offsets = _mm256_sub_epi32(columns, _mm256_set1_epi32(first));
        __m256i pixels;
        if (first <= rowLength - 8 &&
            _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_max_epu32(offsets, seven), seven)) == -1)
            pixels = _mm256_permutevar8x32_epi32(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + first)), offsets);
        else
            pixels = _mm256_i32gather_epi32(reinterpret_cast<const int*>(row), columns, 4);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i), pixels);
    }
    GatherPixelsScalar(row, rowLength, map + i, destination + i, count - i);
}

const TRunKernels kAvx2Kernels = {"avx2",
                                  Entry<BlendRunAvx2<false>, &TRunKernels::BlendPixelsPlain>,
                                  Entry<BlendRunAvx2<true>, &TRunKernels::BlendPixelsMmx>,
                                  Entry<KeyCopyRunAvx2, &TRunKernels::KeyCopyPixels>,
                                  FillPixelsAvx2,
                                  GatherPixelsAvx2};

} // namespace

const TRunKernels* Sse2Kernels() {
#if defined(__x86_64__)
    return &kSse2Kernels; // always there
#else
    return __builtin_cpu_supports("sse2") ? &kSse2Kernels : nullptr;
#endif
}

const TRunKernels* Avx2Kernels() {
    return __builtin_cpu_supports("avx2") ? &kAvx2Kernels : nullptr;
}

#else

const TRunKernels* Sse2Kernels() {
    return nullptr;
}
const TRunKernels* Avx2Kernels() {
    return nullptr;
}

#endif
