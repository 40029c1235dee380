#pragma once
// The package's content digest: the MD5 compression function of RFC 1321 with the package's
// own padding. It equals RFC 1321 MD5 for every length except three: 0 bytes give 16 zero
// bytes; a length of 55 mod 64 is padded with one more block; the bit count in the padding is
// the length times 8 modulo 2^32.

#include <array>
#include <cstddef>
#include <cstdint>

using TDigest = std::array<uint8_t, 16>;

// Incremental form, for content that arrives in pieces.
class TMD5Context {
public:
    void Update(const void* data, size_t size);
    TDigest Final();

private:
    uint32_t state_[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    uint64_t length_ = 0;
    uint8_t pending_[64];
    size_t pendingSize_ = 0;
};

TDigest MD5Op(const void* data, size_t size);
