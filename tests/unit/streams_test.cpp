#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/streams.h"

TEST(MemoryStream, GrowsOnWriteAndReadsBackFromAnyPosition) {
    TMemoryStream stream;
    stream.WriteBuffer("abcdef", 6);
    EXPECT_EQ(stream.Position(), 6);
    stream.Seek(-2, TSeekOrigin::End);
    stream.WriteBuffer("XYZ", 3);
    EXPECT_EQ(stream.Size(), 7);
    stream.SetPosition(0);
    char text[8] = {};
    EXPECT_EQ(stream.Read(text, 100), 7);
    EXPECT_STREQ(text, "abcdXYZ");
    EXPECT_EQ(stream.Read(text, 1), 0);
}

TEST(MemoryStream, WritingBeyondTheEndZeroFillsTheGap) {
    TMemoryStream stream;
    stream.SetPosition(3);
    stream.WriteBuffer("a", 1);
    ASSERT_EQ(stream.Size(), 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), 4),
              std::string("\0\0\0a", 4));
}

TEST(MemoryStream, RefusesAPositionBeforeTheStart) {
    TMemoryStream stream;
    EXPECT_THROW(stream.Seek(-1, TSeekOrigin::Begin), TError);
    EXPECT_THROW(stream.Seek(-1, TSeekOrigin::End), TError);
}

TEST(MemoryStream, ShortCopyRaisesTheReadErrorButKeepsWhatArrived) {
    TStringStream source("abc");
    TMemoryStream target;
    try {
        target.CopyFrom(source, 5);
        FAIL() << "no error";
    } catch (const TReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_EQ(target.Size(), 3);
    EXPECT_EQ(target.Position(), 3);
}

TEST(StringStream, HoldsItsTextFromThePositionZero) {
    TStringStream stream("hello");
    EXPECT_EQ(stream.Position(), 0);
    stream.Seek(0, TSeekOrigin::End);
    stream.WriteBuffer(" world", 6);
    EXPECT_EQ(stream.DataString(), "hello world");
}

TEST(BorrowedMemoryStream, ReadsButNeverWrites) {
    const char bytes[] = "xyz";
    TBorrowedMemoryStream stream(bytes, 3);
    EXPECT_EQ(stream.Write("a", 1), 0);
    EXPECT_THROW(stream.WriteBuffer("a", 1), TWriteError);
    char got[3];
    stream.ReadBuffer(got, 3);
    EXPECT_EQ(std::string(got, 3), "xyz");
    EXPECT_THROW(stream.ReadBuffer(got, 1), TReadError);
}

TEST(StreamToken, NamesALiveStreamUntilItDies) {
    auto stream = std::make_unique<TMemoryStream>();
    const uint32_t token = StreamToken(*stream);
    EXPECT_NE(token, 0u);
    EXPECT_EQ(StreamToken(*stream), token);
    EXPECT_EQ(StreamForToken(token), stream.get());

    TStringStream other("x");
    const uint32_t otherToken = StreamToken(other);
    EXPECT_NE(otherToken, token);

    stream.reset();
    EXPECT_EQ(StreamForToken(token), nullptr);
    // A new stream, even at the same address, gets a new token.
    auto again = std::make_unique<TMemoryStream>();
    EXPECT_NE(StreamToken(*again), token);
    EXPECT_EQ(StreamForToken(token), nullptr);
    EXPECT_EQ(StreamForToken(0), nullptr);
    EXPECT_EQ(StreamForToken(otherToken), &other);
}
