#pragma once
// Processor features for the pixel kernels, rectangle helpers and length-prefixed strings.

#include <cstdint>
#include <string>
#include <string_view>

class TStream;

// Left, top, right, bottom; right and bottom exclusive. Laid out like the system's RECT.
struct TRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const TRect&) const = default;
};

inline int32_t RectWidth(const TRect& r) {
    return r.right - r.left;
}
inline int32_t RectHeight(const TRect& r) {
    return r.bottom - r.top;
}
inline bool RectIsEmpty(const TRect& r) {
    return RectWidth(r) < 1 || RectHeight(r) < 1;
}

// True when software can change the ID flag (bit 21) of the flags register.
bool HasCpuid();
// EAX and EDX of CPUID leaf 1 (0 without CPUID).
uint32_t CpuSignature();
uint32_t CpuFeatures();
// The MMX decision from a signature and a feature word: family field (bits 8-11) at least 5
// and feature bit 23. The extended family is not consulted.
bool MmxRule(uint32_t signature, uint32_t features);
// HasCpuid() and the MMX rule applied to this processor, evaluated afresh.
bool HasMmx();
// Ends MMX use before floating-point work: EMMS when the unit found MMX, otherwise nothing.
void LeaveMmx();

// A 32-bit little-endian length, then the bytes.
void WriteLengthPrefixedString(TStream& stream, std::string_view text);
// Reads a string written so. A negative length reads as empty; a length beyond what the stream
// still holds keeps the bytes that arrived. Returns how many string bytes were read.
int32_t ReadLengthPrefixedString(TStream& stream, std::string& text);

// Unit start caches HasMmx() for LeaveMmx; shutdown does nothing.
void QelUtilsUnitStart();
void QelUtilsUnitShutdown();
