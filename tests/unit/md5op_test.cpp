#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "package/MD5Op.h"

namespace {

// A textbook RFC 1321 MD5, written independently of the one under test: constants from the
// sine table, the padding built as a whole message, the bit count as wide as asked for.
TDigest ReferenceMd5(const std::string& data, bool packagePadding) {
    uint32_t k[64];
    for (int i = 0; i < 64; ++i)
        k[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
    static const int shifts[4][4] = {
        {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

    // The whole blocks of data, then the padded tail built as the rest of the message.
    const uint64_t n = data.size();
    const uint64_t total = packagePadding ? ((n + 9) / 64 + 1) * 64 : (n + 8) / 64 * 64 + 64;
    const uint64_t whole = n / 64 * 64;
    std::string tail = data.substr(whole);
    tail += '\x80';
    tail.resize(total - whole, '\0');
    const uint64_t bits = packagePadding ? static_cast<uint32_t>(n * 8) : n * 8;
    for (int i = 0; i < 8; ++i)
        tail[tail.size() - 8 + i] = static_cast<char>(bits >> (8 * i));

    uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    for (uint64_t block = 0; block < total; block += 64) {
        const char* bytes = block < whole ? data.data() + block : tail.data() + (block - whole);
        uint32_t m[16];
        for (int i = 0; i < 16; ++i) {
            m[i] = 0;
            for (int b = 0; b < 4; ++b)
                m[i] |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[4 * i + b])) << (8 * b);
        }
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (int i = 0; i < 64; ++i) {
            uint32_t f;
            int g;
            const int round = i / 16;
            if (round == 0) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (round == 1) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (round == 2) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
            }
            const uint32_t sum = a + f + k[i] + m[g];
            const int s = shifts[round][i % 4];
            a = d;
            d = c;
            c = b;
            b = b + ((sum << s) | (sum >> (32 - s)));
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
    TDigest digest;
    for (int i = 0; i < 16; ++i)
        digest[i] = static_cast<uint8_t>(h[i / 4] >> (8 * (i % 4)));
    return digest;
}

std::string Hex(const TDigest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

TDigest Digest(const std::string& data) {
    return MD5Op(data.data(), data.size());
}

} // namespace

TEST(MD5Op, MatchesTheRfc1321TestSuite) {
    EXPECT_EQ(Hex(Digest("a")), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Hex(Digest("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(Digest("message digest")), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Hex(Digest("abcdefghijklmnopqrstuvwxyz")), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Hex(Digest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    std::string eighty;
    for (int i = 0; i < 8; ++i)
        eighty += "1234567890";
    EXPECT_EQ(Hex(Digest(eighty)), "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(MD5Op, EmptyInputGivesSixteenZeroBytesInsteadOfTheRfcDigest) {
    EXPECT_EQ(MD5Op(nullptr, 0), TDigest{});
    EXPECT_NE(Hex(ReferenceMd5("", false)), Hex(TDigest{}));
}

TEST(MD5Op, EqualsRfc1321ForEveryLengthExceptFiftyFiveModSixtyFour) {
    for (size_t n = 1; n <= 320; ++n) {
        const std::string data = RandomBytes(n, static_cast<uint32_t>(n));
        if (n % 64 == 55)
            continue;
        ASSERT_EQ(Hex(Digest(data)), Hex(ReferenceMd5(data, false))) << "length " << n;
    }
}

TEST(MD5Op, PadsFiftyFiveModSixtyFourWithOneMoreBlock) {
    for (size_t n : {size_t{55}, size_t{119}, size_t{183}, size_t{1015}}) {
        const std::string data = RandomBytes(n, 7);
        EXPECT_EQ(Hex(Digest(data)), Hex(ReferenceMd5(data, true))) << "length " << n;
        EXPECT_NE(Hex(Digest(data)), Hex(ReferenceMd5(data, false))) << "length " << n;
    }
}

TEST(MD5Op, PiecewiseUpdatesGiveTheSameDigestAsOneCall) {
    const std::string data = RandomBytes(1000, 3);
    std::mt19937 random(11);
    for (int round = 0; round < 50; ++round) {
        TMD5Context context;
        size_t done = 0;
        while (done < data.size()) {
            const size_t piece = std::min<size_t>(random() % 130, data.size() - done);
            context.Update(data.data() + done, piece);
            done += piece;
        }
        ASSERT_EQ(Hex(context.Final()), Hex(Digest(data)));
    }
}

TEST(MD5Op, CountsTheBitLengthModuloTwoToThe32) {
    // 2^29 + 3 bytes: the bit count no longer fits 32 bits, so only its low word is padded in.
    const size_t n = (size_t{1} << 29) + 3;
    std::string data(n, '\0');
    for (size_t i = 0; i < n; i += 4093)
        data[i] = static_cast<char>(i);
    EXPECT_EQ(Hex(Digest(data)), Hex(ReferenceMd5(data, true)));
}
