#include <gtest/gtest.h>

#include "base/rect.h"
#include "base/streams.h"
#include "qel/graphics/qel_utils.h"

TEST(MmxRule, NeedsFamilyFiveOrLaterAndFeatureBit23) {
    constexpr uint32_t kMmx = 0x800000;
    EXPECT_FALSE(MmxRule(0x0400, kMmx));  // family 4, even with the bit
    EXPECT_FALSE(MmxRule(0x0500, 0));     // family 5 without it
    EXPECT_FALSE(MmxRule(0x0500, ~kMmx)); // every other feature bit
    EXPECT_TRUE(MmxRule(0x0500, kMmx));
    EXPECT_TRUE(MmxRule(0x0633, kMmx | 1));        // model and stepping do not matter
    EXPECT_TRUE(MmxRule(0x0F00, kMmx));            // family 15
    EXPECT_FALSE(MmxRule(0x00F00300, kMmx));       // extended family set, family field 3
    EXPECT_TRUE(MmxRule(0x00A00F00 | 0x60, kMmx)); // family 15 with an extended family
}

TEST(ProcessorDetection, ThisProcessorHasCpuidAndMmx) {
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_TRUE(HasCpuid());
    EXPECT_TRUE(HasMmx());
    EXPECT_NE(CpuSignature(), 0u);
    EXPECT_EQ(HasMmx(), MmxRule(CpuSignature(), CpuFeatures()));
    LeaveMmx(); // harmless at any time
#endif
}

TEST(Rectangles, AreEmptyBelowOnePixelInEitherDirection) {
    EXPECT_TRUE(RectIsEmpty({5, 5, 5, 10}));
    EXPECT_TRUE(RectIsEmpty({0, 0, 10, -1}));
    EXPECT_FALSE(RectIsEmpty({0, 0, 1, 1}));
    EXPECT_EQ(RectWidth({3, 4, 10, 20}), 7);
    EXPECT_EQ(RectHeight({3, 4, 10, 20}), 16);
}

namespace {
std::string Bytes(TMemoryStream& stream) {
    return std::string(stream.Bytes().begin(), stream.Bytes().end());
}
} // namespace

TEST(LengthPrefixedString, WritesLengthThenBytesAndReadsThemBack) {
    using namespace std::string_literals;
    TMemoryStream stream;
    WriteLengthPrefixedString(stream, "");
    WriteLengthPrefixedString(stream, "abc");
    EXPECT_EQ(Bytes(stream), "\0\0\0\0\x03\0\0\0abc"s);
    stream.SetPosition(0);
    std::string text = "old";
    EXPECT_EQ(ReadLengthPrefixedString(stream, text), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(ReadLengthPrefixedString(stream, text), 3);
    EXPECT_EQ(text, "abc");
}

TEST(LengthPrefixedString, DistrustsTheStoredLength) {
    using namespace std::string_literals;
    std::string text;
    TStringStream negative("\xFF\xFF\xFF\xFFxyz"s);
    EXPECT_EQ(ReadLengthPrefixedString(negative, text), 0);
    EXPECT_EQ(text, "");

    // Claims 2 GiB, holds 3 bytes: nothing near that size is allocated and the 3 bytes stay.
    TStringStream huge("\xFF\xFF\xFF\x7Fxyz"s);
    EXPECT_EQ(ReadLengthPrefixedString(huge, text), 3);
    EXPECT_EQ(text, "xyz");

    // A prefix cut short counts its missing bytes as 0: "\x02" alone is the length 2.
    TStringStream shortPrefix("\x02"s);
    EXPECT_EQ(ReadLengthPrefixedString(shortPrefix, text), 0);
    EXPECT_EQ(text, "");
}
