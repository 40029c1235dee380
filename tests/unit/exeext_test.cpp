#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors.h"
#include "base/platform.h"
#include "base/streams.h"
#include "lib/MyLib/ExeExt.h"
#include "tests/support/package_bytes.h"
#include "tests/support/sample_book.h"
#include "tests/support/temp_dir.h"

using namespace std::string_literals;

namespace {

const std::string kImage = "MZ" + std::string(510, '\x90'); // stands in for the executable image

// The reader's error text for a book with these bytes, or "" when it constructs.
std::string ConstructionError(const TTempDir& dir, const std::string& bytes) {
    const std::string path = dir.Write("book.exe", bytes);
    try {
        TExeExtReader reader(path);
        return "";
    } catch (const TError& e) {
        return e.Message();
    }
}

std::string ContentOf55() {
    return std::string(55, 'a');
}

} // namespace

TEST(ExeExtReader, ReadsABookLikeTheShippedOne) {
    TTempDir dir;
    const std::string movie(266, 'M');
    const std::string bytes =
        kImage + PackageBytes({{"book.swf", movie}, {"ExeConfig.xml", kShippedExeConfig}});
    TExeExtReader reader(dir.Write("book.exe", bytes));

    ASSERT_EQ(reader.Count(), 3);
    EXPECT_EQ(reader.StartPos(), static_cast<int32_t>(kImage.size()));
    EXPECT_EQ(reader.Sizes()[1], 266);
    EXPECT_EQ(reader.Sizes()[2], 233);
    EXPECT_FALSE(reader.HasDigest());
    const std::string config = reader.ReadEntryText(2);
    EXPECT_EQ(config, kShippedExeConfig);
    EXPECT_EQ(config.substr(0, 5), "<?xml");
    EXPECT_EQ(reader.ReadEntryText(0), "book.swf=1\r\nExeConfig.xml=2\r\n");
}

TEST(ExeExtReader, AFileWithoutAPackageHasNoExtentSection) {
    TTempDir dir;
    EXPECT_EQ(ConstructionError(dir, kImage), "Can not find extent section");
    EXPECT_EQ(ConstructionError(dir, ""), "Can not find extent section");
    EXPECT_EQ(ConstructionError(dir, "tiny"), "Can not find extent section");
}

TEST(ExeExtReader, AMissingFileGivesAReaderWithoutEntriesWhoseEveryIndexFails) {
    TTempDir dir;
    TExeExtReader reader(dir.File("missing.exe"));
    EXPECT_EQ(reader.Count(), 0);
    TMemoryStream stream;
    for (int32_t index : {-1, 0, 1}) {
        try {
            reader.ReadEntry(index, stream);
            FAIL() << "index " << index << " was read";
        } catch (const TAssertionError& e) {
            EXPECT_STREQ(e.what(), "Error index (ExeExt, line 280)");
        }
    }
}

TEST(ExeExtReader, RefusesIndicesOutsideTheTable) {
    TTempDir dir;
    TExeExtReader reader(dir.Write("book.exe", PackageBytes({{"a", "1"}, {"b", "2"}})));
    TMemoryStream stream;
    EXPECT_THROW(reader.ReadEntry(-1, stream), TAssertionError);
    EXPECT_THROW(reader.ReadEntry(reader.Count(), stream), TAssertionError);
    EXPECT_NO_THROW(reader.ReadEntry(reader.Count() - 1, stream));
}

TEST(ExeExtReader, AppendsAtTheStreamPositionAndLeavesItBehindTheEntry) {
    TTempDir dir;
    TExeExtReader reader(dir.Write("book.exe", PackageBytes({{"a", "xyz"}, {"empty", ""}})));
    TStringStream stream("<");
    stream.Seek(0, TSeekOrigin::End);
    reader.ReadEntry(1, stream);
    reader.ReadEntry(1, stream);
    reader.ReadEntry(2, stream);
    EXPECT_EQ(stream.DataString(), "<xyzxyz");
    EXPECT_EQ(stream.Position(), 7);
    EXPECT_EQ(reader.ReadEntryText(2), "");
}

TEST(ExeExtReader, BlankPathMeansTheRunningExecutableAndOtherPathsStayUntrimmed) {
    // The test program exists and carries no package: reading it fails on its trailer.
    try {
        TExeExtReader own(" \t\r\n ");
        ADD_FAILURE() << "the test program was taken for a book";
    } catch (const TError& e) {
        EXPECT_EQ(e.Message(), "Can not find extent section");
    }

    TTempDir dir;
    dir.Write("book.exe", PackageBytes({{"a", "1"}}));
    const std::string padded = " " + dir.File("book.exe") + " ";
    TExeExtReader untrimmed(padded);
    EXPECT_EQ(untrimmed.FileName(), padded);
    EXPECT_EQ(untrimmed.Count(), 0);
}

TEST(ExeExtReader, VerifiesTheDigestForAnyNonZeroFlag) {
    TTempDir dir;
    std::string bytes = kImage + PackageBytes({{"a", "hello"}, {"b", "world"}}, true);
    for (uint8_t flag : {1, 2, 0x80, 0xFF}) {
        SetDigestFlag(bytes, flag);
        EXPECT_EQ(ConstructionError(dir, bytes), "") << int(flag);
    }
    bytes[kImage.size() + 2] ^= 1; // damage the index
    for (uint8_t flag : {1, 0xFF}) {
        SetDigestFlag(bytes, flag);
        EXPECT_EQ(ConstructionError(dir, bytes), "Content Valid failed!") << int(flag);
    }
    // Flag 0: no verification, even with damaged content and digest bytes in place.
    SetDigestFlag(bytes, 0);
    EXPECT_EQ(ConstructionError(dir, bytes), "");
}

TEST(ExeExtReader, NoEntriesMeansNoDigestCheckWhateverTheFlag) {
    TTempDir dir;
    const std::string bytes = kImage + AssemblePackage("", {}, 1);
    const std::string path = dir.Write("book.exe", bytes);
    TExeExtReader reader(path);
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_EQ(reader.StartPos(), static_cast<int32_t>(kImage.size()));
}

TEST(ExeExtReader, AllEntriesEmptyVerifiesOnlyAgainstSixteenZeroBytes) {
    TTempDir dir;
    EXPECT_EQ(ConstructionError(dir, AssemblePackage("", {0, 0}, 1, std::string(16, '\0'))), "");
    EXPECT_EQ(ConstructionError(
                  dir, AssemblePackage(
                           "", {0, 0}, 1,
                           "\xd4\x1d\x8c\xd9\x8f\x00\xb2\x04\xe9\x80\x09\x98\xec\xf8\x42\x7e"s)),
              "Content Valid failed!");
}

TEST(ExeExtReader, FiftyFiveContentBytesVerifyAgainstThePackagePaddingOnly) {
    TTempDir dir;
    const std::string content = ContentOf55();
    const TDigest own = MD5Op(content.data(), content.size());
    const std::string ownDigest(own.begin(), own.end());
    // RFC 1321 MD5 of 55 'a'.
    const std::string rfc = "\xef\x17\x72\xb6\xdf\xf9\xa1\x22\x35\x85\x52\x95\x4a\xd0\xdf\x65";
    EXPECT_EQ(ConstructionError(dir, AssemblePackage(content, {55}, 1, ownDigest)), "");
    EXPECT_EQ(ConstructionError(dir, AssemblePackage(content, {55}, 1, rfc)),
              "Content Valid failed!");

    const std::string content119(119, 'a');
    const TDigest own119 = MD5Op(content119.data(), content119.size());
    EXPECT_EQ(ConstructionError(dir, AssemblePackage(content119, {100, 19}, 1,
                                                     std::string(own119.begin(), own119.end()))),
              "");
}

TEST(ExeExtReader, RejectsTrailersThatPointOutsideTheFile) {
    TTempDir dir;
    const std::string good = kImage + PackageBytes({{"a", "hello"}, {"b", "world"}});
    const uint32_t size = GetU32FromEnd(good, 8);

    std::string bytes = good;
    SetPackageSize(bytes, static_cast<uint32_t>(good.size()) + 1); // S beyond the file
    EXPECT_EQ(ConstructionError(dir, bytes), "Can not find extent section");
    SetPackageSize(bytes, 12); // S smaller than the trailer itself
    EXPECT_EQ(ConstructionError(dir, bytes), "Can not find extent section");
    SetPackageSize(bytes, 13 + 4 * 3 - 1); // the size table does not fit inside S
    EXPECT_EQ(ConstructionError(dir, bytes), "Can not find extent section");
    SetPackageSize(bytes, size); // back to the truth
    EXPECT_EQ(ConstructionError(dir, bytes), "");

    bytes = good;
    SetDigestFlag(bytes, 1); // a digest that cannot fit inside S
    SetPackageSize(bytes, 13 + 4 * 3 + 15);
    EXPECT_EQ(ConstructionError(dir, bytes), "Can not find extent section");
}

TEST(ExeExtReader, FindsThePackageOfASignedBookBeforeItsCertificateTable) {
    TTempDir dir;
    for (bool wide : {false, true}) {
        const std::string book =
            PeImage(wide) + PackageBytes({{"a", "hello"}, {"b", "world"}}, true);
        EXPECT_FALSE(TExeExtReader(dir.Write("plain.exe", book)).IsSigned());
        TExeExtReader reader(dir.Write("book.exe", Signed(book, CertificateTable({1000, 21}))));
        ASSERT_EQ(reader.Count(), 3) << wide;
        EXPECT_TRUE(reader.IsSigned());
        EXPECT_TRUE(reader.HasDigest());
        EXPECT_EQ(reader.StartPos(), 512);
        EXPECT_EQ(reader.ReadEntryText(2), "world");
    }
    // A package appended behind a signed viewer's table is still found at the end.
    const std::string viewer = Signed(PeImage(), CertificateTable({100}));
    EXPECT_EQ(ConstructionError(dir, viewer + PackageBytes({{"a", "1"}})), "");
}

TEST(ExeExtReader, RefusesCertificateTablesOutsideTheFileOverTheContentOrMalformed) {
    TTempDir dir;
    const std::string book = PeImage() + PackageBytes({{"a", "hello"}});
    const std::string table = CertificateTable({40});
    const std::string good = Signed(book, table);
    ASSERT_EQ(ConstructionError(dir, good), "");
    const uint32_t start = static_cast<uint32_t>(book.size());
    const uint32_t size = static_cast<uint32_t>(table.size());
    auto named = [&](std::string bytes, uint32_t tableStart, uint32_t tableSize) {
        SetCertificateTable(bytes, tableStart, tableSize);
        return ConstructionError(dir, bytes);
    };
    const std::string kNoPackage = "Can not find extent section";
    EXPECT_EQ(named(good, start, size + 1), kNoPackage); // beyond the end
    EXPECT_EQ(named(book, start, size), kNoPackage);     // behind the end: a package before it
    EXPECT_EQ(named(book, 0xFFFFFFF8u, 16), kNoPackage); // far behind, wrapping in 32 bits
    EXPECT_EQ(named(book, start - 20, 8), kNoPackage);   // inside the package
    EXPECT_EQ(named(book, 500, 20), kNoPackage);         // over the package's start
    EXPECT_EQ(named(book, 0, 0), "");                    // an empty entry names no table

    EXPECT_EQ(ConstructionError(dir, Signed(book, CertificateTable({4}))), kNoPackage);
    EXPECT_EQ(ConstructionError(dir, Signed(book, CertificateTable({40, 0}))), kNoPackage);
    EXPECT_EQ(ConstructionError(dir, Signed(book, std::string(7, '\x08'))), kNoPackage);
    std::string longer = good;
    PutU32At(longer, start, size + 1); // a certificate longer than its table
    EXPECT_EQ(ConstructionError(dir, longer), kNoPackage);
}

TEST(ExeExtReader, RejectsEntrySizesTheContentCannotHold) {
    TTempDir dir;
    EXPECT_EQ(ConstructionError(dir, AssemblePackage("abcdef", {2, -1, 5}, 0)),
              "Can not find extent section");
    EXPECT_EQ(ConstructionError(dir, AssemblePackage("abcdef", {2, 5}, 0)),
              "Can not find extent section");
    EXPECT_EQ(ConstructionError(dir, AssemblePackage("abcdef", {INT32_MAX, INT32_MAX}, 0)),
              "Can not find extent section");
    // Sizes that leave bytes unused are accepted.
    EXPECT_EQ(ConstructionError(dir, AssemblePackage("abcdef", {2, 3}, 0)), "");
}

TEST(ExeExtReader, ANegativeOrOverflowingCountIsARangeError) {
    TTempDir dir;
    std::string bytes = AssemblePackage("ab", {2}, 0);
    PutU32FromEnd(bytes, 13, 0xFFFFFFFF);
    EXPECT_EQ(ConstructionError(dir, bytes), "Range check error");
    PutU32FromEnd(bytes, 13, 0x20000000); // 4N no longer fits 32 bits
    EXPECT_EQ(ConstructionError(dir, bytes), "Range check error");
    // A count whose table is representable but larger than the file: no allocation of that size.
    PutU32FromEnd(bytes, 13, 0x1FFFFFFF);
    EXPECT_EQ(ConstructionError(dir, bytes), "Can not find extent section");
}

TEST(ExeExtReader, AFileThatShrankAfterConstructionGivesAReadError) {
    TTempDir dir;
    const std::string bytes = kImage + PackageBytes({{"a", std::string(100, 'a')}});
    const std::string path = dir.Write("book.exe", bytes);
    TExeExtReader reader(path);
    dir.Write("book.exe", bytes.substr(0, kImage.size() + 20));
    TMemoryStream stream;
    try {
        reader.ReadEntry(1, stream);
        FAIL() << "no error";
    } catch (const TReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
}

TEST(ExeExtReader, ReadingAnEntryOfAVanishedFileRaisesTheOpenError) {
    TTempDir dir;
    const std::string path = dir.Write("book.exe", PackageBytes({{"a", "1"}}));
    TExeExtReader reader(path);
    std::filesystem::remove(path);
    TMemoryStream stream;
    try {
        reader.ReadEntry(1, stream);
        FAIL() << "no error";
    } catch (const TOpenError& e) {
        EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
    }
}
