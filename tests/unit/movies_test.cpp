#include <gtest/gtest.h>

#include <cstdint>

#include "tools/movies/movies.h"

namespace {

uint32_t U32(const std::string& s, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[at]) |
                                 static_cast<uint8_t>(s[at + 1]) << 8 |
                                 static_cast<uint8_t>(s[at + 2]) << 16 |
                                 static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24);
}
uint16_t U16(const std::string& s, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1])
                                                                   << 8);
}

// Reads the stage rectangle's 15-bit fields, as a player does.
std::vector<uint32_t> StageFields(const std::string& s, size_t at) {
    size_t bit = at * 8;
    auto take = [&](int count) {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i, ++bit)
            v = v << 1 | ((static_cast<uint8_t>(s[bit / 8]) >> (7 - bit % 8)) & 1);
        return v;
    };
    const int width = static_cast<int>(take(5));
    std::vector<uint32_t> fields{static_cast<uint32_t>(width)};
    for (int i = 0; i < 4; ++i)
        fields.push_back(take(width));
    return fields;
}

} // namespace

TEST(SetVolumeMovie, HasTheExactLayoutThePlayerPatches) {
    using namespace std::string_literals;
    const std::string m = SetVolumeMovie();
    ASSERT_EQ(m.size(), 167u);
    EXPECT_EQ(m.substr(0, 4), "FWS\x06");
    EXPECT_EQ(U32(m, 4), 167u);
    EXPECT_EQ(StageFields(m, 8), (std::vector<uint32_t>{15, 0, 11000, 0, 8000}));
    EXPECT_EQ(U16(m, 17), 12 << 8);                      // 12.0 frames per second
    EXPECT_EQ(U16(m, 19), 2);                            // frames
    EXPECT_EQ(m.substr(21, 5), "\x43\x02\xFF\xFF\xFF"s); // background colour tag: white
    EXPECT_EQ(U16(m, 26), 12 << 6 | 0x3F);               // action tag, long header
    EXPECT_EQ(U32(m, 28), 129u);
    EXPECT_EQ(m.substr(161), "\x40\x00\x40\x00\x00\x00"s); // two frames, end
}

TEST(SetVolumeMovie, SetsTheVolumeThroughTheActionsInOrder) {
    using namespace std::string_literals;
    const std::string m = SetVolumeMovie();
    // The constant pool: 7 strings.
    EXPECT_EQ(static_cast<uint8_t>(m[32]), 0x88);
    EXPECT_EQ(U16(m, 35), 7);
    EXPECT_EQ(m.substr(37, U16(m, 33) - 2),
              "soundvolume\0globalsound\0Sound\0setVolume\0mytext\0text\0aaa\0"s);
    // Push "soundvolume" (constant 0) and the integer 85, whose bytes are 99 to 102.
    EXPECT_EQ(static_cast<uint8_t>(m[93]), 0x96);
    EXPECT_EQ(m.substr(96, 3), "\x08\x00\x07"s);
    EXPECT_EQ(kSetVolumeValueOffset, 99u);
    EXPECT_EQ(U32(m, 99), 85u);
    EXPECT_EQ(static_cast<uint8_t>(m[103]), 0x1D); // set variable
    // The remaining action codes, payloads skipped.
    std::vector<uint8_t> codes;
    for (size_t at = 104; at < 161;) {
        const uint8_t code = static_cast<uint8_t>(m[at]);
        codes.push_back(code);
        at += code >= 0x80 ? 3 + U16(m, at + 1) : 1;
    }
    EXPECT_EQ(codes, (std::vector<uint8_t>{0x96, 0x40, 0x3C, 0x96, 0x1C, 0x96, 0x1C, 0x96, 0x52,
                                           0x17, 0x96, 0x1C, 0x96, 0x4F, 0x00}));
}

TEST(PlaceholderMovie, IsAValidCompressedVersion8Movie) {
    const std::string m = PlaceholderMovie("flvplayback");
    EXPECT_EQ(m.substr(0, 4), "CWS\x08");
    // A stored-block zlib stream: header, then blocks of LEN and its complement.
    ASSERT_EQ(m.substr(8, 2), "\x78\x01");
    ASSERT_EQ(static_cast<uint8_t>(m[10]), 1); // one final block
    const uint16_t length = U16(m, 11);
    EXPECT_EQ(static_cast<uint16_t>(~U16(m, 13)), length);
    const std::string body = m.substr(15, length);
    EXPECT_EQ(U32(m, 4), 8 + body.size());
    EXPECT_EQ(m.size(), 15 + length + 4u); // Adler-32 last
    EXPECT_EQ(StageFields(body, 0), (std::vector<uint32_t>{15, 0, 11000, 0, 8000}));
    EXPECT_EQ(U16(body, 9), 12 << 8);
    EXPECT_EQ(U16(body, 11), 2);
    EXPECT_NE(body.find("flvplayback"), std::string::npos);
}
