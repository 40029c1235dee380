// SSE2 and AVX2 sets of the run kernels. Each function carries its instruction set as a target
// attribute, so nothing here runs on a processor that lacks it: the sets are handed out only
// after the processor has said it has them.

#include "qel/graphics/qel_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cstring>
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

// ---- The blend arithmetic of both sets, on the compiler's generic vectors of Bytes bytes:
// always inlined into a set's functions, it becomes that set's instructions (SSE2 for 16
// bytes, AVX2 for 32).
//
// Both variants compute per 16-bit lane D*256 + (S-D)*A, which the lane holds exactly modulo
// 2^16; the true value never leaves 0..65280, so the wrapped result is the true one. Red and
// blue are taken in place (mask 0x00FF00FF), green and alpha shifted down by 8.

// The helpers pass vectors by value among themselves, where no instruction set is named: they
// are always inlined, so no call is ever made. What a set's function calls takes its vectors by
// reference and gives its result through out, as the sets pass vectors by value differently.
#pragma GCC diagnostic ignored "-Wpsabi"

template <int Bytes> struct TLanes {
    typedef uint32_t V32 __attribute__((vector_size(Bytes)));
    typedef uint16_t V16 __attribute__((vector_size(Bytes)));
};
#define QEL_ARITHMETIC [[gnu::always_inline]] inline

// Each pixel's alpha in both of its 16-bit lanes.
template <int Bytes, typename V32 = typename TLanes<Bytes>::V32> QEL_ARITHMETIC V32 Alpha16(V32 s) {
    const V32 a = s >> 24;
    return a | (a << 16);
}

template <int Bytes, typename V32 = typename TLanes<Bytes>::V32>
QEL_ARITHMETIC V32 MmxArithmetic(V32 s, V32 d, V32 a) {
    using V16 = typename TLanes<Bytes>::V16;
    const V32 low = V32{} + 0x00FF00FF;
    const V16 drb = V16(d & low);
    const V16 rb = (V16(s & low) - drb) * V16(a) + (drb << 8);
    const V16 ag = ((V16(s) >> 8) - (V16(d) >> 8)) * V16(a) + V16(d & ~low);
    return V32(rb >> 8) | (V32(ag) & ~low);
}

// S*A + D*(255-A) = D*256 + (S-D)*A - D; alpha forced to 255.
template <int Bytes, typename V32 = typename TLanes<Bytes>::V32>
QEL_ARITHMETIC V32 PlainArithmetic(V32 s, V32 d, V32 a) {
    using V16 = typename TLanes<Bytes>::V16;
    const V32 low = V32{} + 0x00FF00FF;
    const V16 drb = V16(d & low), dag = V16(d) >> 8;
    const V16 rb = (V16(s & low) - drb) * V16(a) + ((drb << 8) - drb);
    const V16 ag = ((V16(s) >> 8) - dag) * V16(a) + (V16(d & ~low) - dag);
    return (V32(rb >> 8) | (V32(ag) & ~low)) | 0xFF000000u;
}

template <int Bytes, typename V32 = typename TLanes<Bytes>::V32>
QEL_ARITHMETIC V32 Select(V32 mask, V32 yes, V32 no) {
    return (mask & yes) | (~mask & no);
}

// Alpha 0 needs no select in the MMX variant: its arithmetic gives D exactly.
template <int Bytes, typename V32 = typename TLanes<Bytes>::V32>
QEL_ARITHMETIC void BlendMmx(const V32& s, const V32& d, V32& out) {
    const V32 a = Alpha16<Bytes>(s);
    out = Select<Bytes>(V32(a == 0x00FF00FF), s, MmxArithmetic<Bytes>(s, d, a));
}

template <int Bytes, typename V32 = typename TLanes<Bytes>::V32>
QEL_ARITHMETIC void BlendPlain(const V32& s, const V32& d, V32& out) {
    const V32 a = Alpha16<Bytes>(s);
    out = Select<Bytes>(V32(a == 0), d,
                        Select<Bytes>(V32(a == 0x00FF00FF), s, PlainArithmetic<Bytes>(s, d, a)));
}

// The key colour's pixels leave the destination as it is; the others are copied, opaque.
template <int Bytes, typename V32 = typename TLanes<Bytes>::V32>
QEL_ARITHMETIC void KeyCopy(const V32& s, const V32& d, V32& out) {
    out = Select<Bytes>(V32((s & 0xFFFFFF) == kKeyColor), d, s | 0xFF000000u);
}

// ---- SSE2, four pixels at a time.

template <bool kMmx>
QEL_SSE2 inline void BlendRunSse2(const TqelColor* source, TqelColor* destination, int32_t count) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        using V32 = TLanes<16>::V32;
        const V32 s = V32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i)));
        const V32 d = V32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + i)));
        V32 blended;
        kMmx ? BlendMmx<16>(s, d, blended) : BlendPlain<16>(s, d, blended);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), __m128i(blended));
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

QEL_SSE2 void KeyCopyRunSse2(const TqelColor* source, TqelColor* destination, int32_t count) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + i));
        TLanes<16>::V32 copied;
        KeyCopy<16>(TLanes<16>::V32(s), TLanes<16>::V32(d), copied);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), __m128i(copied));
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

// Fills count pixels, Bytes at a time: inlined into each set's fill, it becomes its stores.
template <int Bytes>
QEL_ARITHMETIC void FillRun(TqelColor* destination, int32_t count, TqelColor value) {
    if (count >= kStringFillPixels) {
        StringFill(destination, count, value);
        return;
    }
    constexpr int32_t kStep = Bytes / 4;
    const typename TLanes<Bytes>::V32 v = typename TLanes<Bytes>::V32{} + value;
    int32_t i = 0;
    for (; i + kStep <= count; i += kStep)
        std::memcpy(destination + i, &v, Bytes);
    for (; i < count; ++i)
        destination[i] = value;
}

QEL_ENTRY QEL_SSE2 void FillPixelsSse2(TqelColor* destination, int32_t count, TqelColor value) {
    FillRun<16>(destination, count, value);
}

// SSE2 has no variable permute: its gather is the scalar one.
const TRunKernels kSse2Kernels = {"sse2",
                                  Entry<BlendRunSse2<false>, &TRunKernels::BlendPixelsPlain>,
                                  Entry<BlendRunSse2<true>, &TRunKernels::BlendPixelsMmx>,
                                  Entry<KeyCopyRunSse2, &TRunKernels::KeyCopyPixels>,
                                  FillPixelsSse2,
                                  GatherPixelsScalar};

// ---- AVX2, eight pixels at a time, the same arithmetic in 256-bit lanes.

// Eight transparent source pixels leave the destination as it is and eight opaque ones replace
// it: such blocks skip the arithmetic (and, when transparent, the store). Mixed blocks take the
// branch-free path.
template <bool kMmx>
QEL_AVX2 inline void BlendRunAvx2(const TqelColor* source, TqelColor* destination, int32_t count) {
    using V32 = TLanes<32>::V32;
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
        if (_mm256_testz_si256(s, alpha))
            continue;
        __m256i* to = reinterpret_cast<__m256i*>(destination + i);
        if (_mm256_testc_si256(s, alpha)) {
            _mm256_storeu_si256(to, s);
            continue;
        }
        const V32 d = V32(_mm256_loadu_si256(to));
        V32 blended;
        kMmx ? BlendMmx<32>(V32(s), d, blended) : BlendPlain<32>(V32(s), d, blended);
        _mm256_storeu_si256(to, __m256i(blended));
    }
    BlendRunSse2<kMmx>(source + i, destination + i, count - i);
}

QEL_AVX2 void KeyCopyRunAvx2(const TqelColor* source, TqelColor* destination, int32_t count) {
    using V32 = TLanes<32>::V32;
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
        __m256i* to = reinterpret_cast<__m256i*>(destination + i);
        V32 copied;
        KeyCopy<32>(V32(s), V32(_mm256_loadu_si256(to)), copied);
        _mm256_storeu_si256(to, __m256i(copied));
    }
    KeyCopyRunSse2(source + i, destination + i, count - i);
}

QEL_ENTRY QEL_AVX2 void FillPixelsAvx2(TqelColor* destination, int32_t count, TqelColor value) {
    FillRun<32>(destination, count, value);
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
