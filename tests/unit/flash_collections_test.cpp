#include <gtest/gtest.h>

#include "base/errors.h"
#include "qel/player/qel_flash_collections.h"

using namespace std::string_literals;

namespace {

std::string Bytes(TStream& stream) {
    stream.SetPosition(0);
    std::string bytes(static_cast<size_t>(stream.Size()), '\0');
    stream.ReadBuffer(bytes.data(), stream.Size());
    return bytes;
}

void Fill(TqelFlashStream& item, const std::string& name, const std::string& data) {
    item.Name = name;
    item.Stream->Clear();
    item.Stream->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

std::string Written(TqelFlashStream& item) {
    TStringStream out;
    item.WriteFlashStream(out);
    return out.DataString();
}

class FlashCollections : public testing::Test {
protected:
    TqelFlashList list{nullptr};
    TqelFlashStream& Add(const std::string& name, const std::string& data) {
        TqelFlashStream& item = list.Flashs().AddItem();
        Fill(item, name, data);
        return item;
    }
};

} // namespace

TEST_F(FlashCollections, AnItemWithoutDataIsTheSingleByteZero) {
    TqelFlashStream& item = Add("named", "");
    EXPECT_EQ(Written(item), "\0"s);
    EXPECT_EQ(item.FlashStore(), "(empty)");
    TqelFlashStream& other = Add("keeps", "old");
    TStringStream zero("\0"s);
    other.ReadFlashStream(zero);
    EXPECT_EQ(other.Name, "keeps");
    EXPECT_EQ(Bytes(*other.Stream), "old");
}

TEST_F(FlashCollections, AnItemWithDataIsWrittenInTheCurrentForm) {
    TqelFlashStream& item = list.Flashs().AddItem();
    EXPECT_EQ(item.Name, "(empty)");
    item.Stream->WriteBuffer("FWS", 3);
    EXPECT_EQ(item.FlashStore(), "(empty)"); // its name was never set
    EXPECT_EQ(Written(item), "\x03\x07\0\0\0(empty)\x03\0\0\0FWS"s);
    item.Name = "intro.swf";
    EXPECT_EQ(item.FlashStore(), "intro.swf");
    item.SetFlashStore("ignored");
    EXPECT_EQ(item.FlashStore(), "intro.swf");
    EXPECT_EQ(item.DisplayName(), "intro.swf");
}

TEST_F(FlashCollections, ReadsBothFormsAndWritesBackTheCurrentOne) {
    TqelFlashStream& item = Add("", "");
    TStringStream older("\x02\x03\0\0\0abc\x04\0\0\0\xFF\xFF\xFF\xFFwxyz"s);
    item.ReadFlashStream(older);
    EXPECT_EQ(item.Name, "abc");
    EXPECT_EQ(Bytes(*item.Stream), "wxyz");
    EXPECT_EQ(Written(item), "\x03\x03\0\0\0abc\x04\0\0\0wxyz"s);
    TStringStream current(Written(item));
    TqelFlashStream& copy = Add("", "");
    copy.ReadFlashStream(current);
    EXPECT_EQ(copy.Name, "abc");
    EXPECT_EQ(copy.Stream->Position(), 0);

    TStringStream unknown("\x07\x03\0\0\0abc"s);
    copy.ReadFlashStream(unknown);
    EXPECT_EQ(unknown.Position(), 1); // nothing more read
    EXPECT_EQ(copy.Name, "abc");
}

TEST_F(FlashCollections, TruncatedFormsRaiseAndChangeNothing) {
    TqelFlashStream& item = Add("before", "data");
    const std::string good = "\x03\x03\0\0\0new\x02\0\0\0xy"s;
    for (size_t cut = 1; cut < good.size(); ++cut) {
        TStringStream truncated(good.substr(0, cut));
        EXPECT_THROW(item.ReadFlashStream(truncated), TReadError) << cut;
        EXPECT_EQ(item.Name, "before") << cut;
        EXPECT_EQ(Bytes(*item.Stream), "data") << cut;
    }
    // A size that claims almost 4 GiB is refused before anything of that size is allocated.
    TStringStream huge("\x03\x01\0\0\0n\xF0\xFF\xFF\xFFxy"s);
    EXPECT_THROW(item.ReadFlashStream(huge), TReadError);
    TStringStream hugeName("\x03\xF0\xFF\xFF\x7Fn"s);
    EXPECT_THROW(item.ReadFlashStream(hugeName), TReadError);
    // A name length past 2 GiB is damage, not an empty name.
    TStringStream farName("\x03\x00\xFF\xFF\xFF\x02\0\0\0xy"s);
    EXPECT_THROW(item.ReadFlashStream(farName), TReadError);
    EXPECT_EQ(item.Name, "before");
}

TEST_F(FlashCollections, FindsItemsByStoredNameInAnyLetterCase) {
    Add("Intro.SWF", "1");
    TqelFlashStream& empty = Add("ignored", "");
    Add("intro.swf", "2");
    EXPECT_EQ(Bytes(*list.FindStream("INTRO.swf")->Stream), "1");
    EXPECT_EQ(list.FindStream("(empty)"), &empty);
    EXPECT_EQ(list.FindStream("ignored"), nullptr);
    EXPECT_EQ(list.FindStream("intro"), nullptr);
}

TEST_F(FlashCollections, ItemsCannotBeAssigned) {
    TqelFlashStream& a = Add("a", "1");
    TqelFlashStream& b = Add("b", "2");
    try {
        a.Assign(b);
        FAIL() << "assigned";
    } catch (const TAssignError& error) {
        EXPECT_STREQ(error.what(), "Cannot assign a TqelFlashStream to a TqelFlashStream");
    }
}

TEST_F(FlashCollections, AListRoundTripsThroughItsStoredDescription) {
    Add("one.swf", "FWS one").Tag = 7;
    Add("", "");
    Add("two.flv", "FLV two");
    TMemoryStream stored;
    WriteStoredDescription(stored, list, "qelflashlist1");
    EXPECT_NE(Bytes(stored).find("FlashStream"), std::string::npos);

    TqelFlashList restored(nullptr);
    stored.SetPosition(0);
    EXPECT_EQ(ReadStoredDescription(stored, restored), "qelflashlist1");
    ASSERT_EQ(restored.Flashs().Count(), 3);
    EXPECT_EQ(restored.Flashs().Items(0).Name, "one.swf");
    EXPECT_EQ(restored.Flashs().Items(0).Tag, 7);
    EXPECT_EQ(Bytes(*restored.Flashs().Items(0).Stream), "FWS one");
    EXPECT_EQ(restored.Flashs().Items(1).FlashStore(), "(empty)");
    EXPECT_EQ(Bytes(*restored.Flashs().Items(2).Stream), "FLV two");
    EXPECT_FALSE(restored.Loading());
}

TEST_F(FlashCollections, ADamagedDescriptionLeavesTheListAsItWas) {
    Add("one.swf", "FWS one");
    TMemoryStream stored;
    WriteStoredDescription(stored, list, "l");
    const std::string bytes = Bytes(stored);
    TqelFlashList target(nullptr);
    Fill(target.Flashs().AddItem(), "kept", "K");
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        TStringStream truncated(bytes.substr(0, cut));
        EXPECT_THROW(ReadStoredDescription(truncated, target), TError) << cut;
        ASSERT_EQ(target.Flashs().Count(), 1) << cut;
        EXPECT_EQ(target.Flashs().Items(0).Name, "kept") << cut;
    }
    // A property the object does not declare.
    std::string renamed = bytes;
    renamed.replace(renamed.find("Tag"), 3, "Tog");
    TStringStream unknown(renamed);
    EXPECT_THROW(ReadStoredDescription(unknown, target), TError);
    EXPECT_EQ(target.Flashs().Items(0).Name, "kept");
    // A stored movie that ends early inside a description that does not.
    std::string shortMovie = bytes;
    shortMovie[shortMovie.find("FWS one") - 4] = 8;
    TStringStream damaged(shortMovie);
    EXPECT_THROW(ReadStoredDescription(damaged, target), TReadError);
    ASSERT_EQ(target.Flashs().Count(), 1);
    EXPECT_EQ(target.Flashs().Items(0).Name, "kept");
}
