#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "package/PackageLookup.h"
#include "tests/support/package_bytes.h"
#include "tests/support/sample_book.h"
#include "tests/support/temp_dir.h"

using namespace std::string_literals;

namespace {

// A book whose index is written by hand; entries 1.. hold "one", "two", "three".
std::string BookWithIndex(const std::string& index) {
    const std::string content = index + "one" + "two" + "three";
    return "MZ image" + AssemblePackage(content, {static_cast<int32_t>(index.size()), 3, 3, 5}, 0);
}

// The whole stream a lookup gives, or "<none>".
std::string Lookup(const std::string& path, const std::string& name) {
    auto stream = GetPackageStream(name, path);
    if (!stream)
        return "<none>";
    EXPECT_EQ(stream->Position(), stream->Size()) << "the stream must be left at its end";
    stream->SetPosition(0);
    std::string bytes(static_cast<size_t>(stream->Size()), '\0');
    stream->ReadBuffer(bytes.data(), stream->Size());
    return bytes;
}

} // namespace

TEST(PackageLookup, FindsNamesInAnyLetterCaseButOnlyWhole) {
    TTempDir dir;
    const std::string book =
        dir.Write("book.exe", PackageBytes({{"book.swf", "movie"},
                                            {"ExeConfig.xml", kShippedExeConfig},
                                            {"files/book.xml", "<book/>"}}));
    EXPECT_EQ(Lookup(book, "ExeConfig.xml"), kShippedExeConfig);
    EXPECT_EQ(Lookup(book, "execonfig.XML"), kShippedExeConfig);
    EXPECT_EQ(Lookup(book, "EXECONFIG.xml"), kShippedExeConfig);
    EXPECT_EQ(Lookup(book, "files/book.xml"), "<book/>");
    EXPECT_EQ(Lookup(book, "./book.swf"), "<none>");
    EXPECT_EQ(Lookup(book, "book.sw"), "<none>");
    EXPECT_EQ(Lookup(book, "files"), "<none>");
    EXPECT_EQ(Lookup(book, ""), "<none>");
    // Asking whether a name is there follows the same rules.
    EXPECT_TRUE(PackageHasEntry("BOOK.swf", book));
    EXPECT_TRUE(PackageHasEntry("files/book.xml", book));
    EXPECT_FALSE(PackageHasEntry("./book.swf", book));
    EXPECT_FALSE(PackageHasEntry("book.sw", book));
}

TEST(PackageLookup, ConvertsTheValueLikeAnyIntegerText) {
    TTempDir dir;
    const std::string book = dir.Write("book.exe", BookWithIndex("blank=  1\r\n"
                                                                 "dollar=$2\r\n"
                                                                 "hex=0x3\r\n"
                                                                 "empty=\r\n"
                                                                 "trailing=1 \r\n"
                                                                 "letters=1a\r\n"
                                                                 "zero=0\r\n"
                                                                 "negative=-1\r\n"
                                                                 "beyond=4\r\n"
                                                                 "noequals\r\n"));
    EXPECT_EQ(Lookup(book, "blank"), "one");
    EXPECT_EQ(Lookup(book, "dollar"), "two");
    EXPECT_EQ(Lookup(book, "hex"), "three");
    for (const char* absent :
         {"empty", "trailing", "letters", "zero", "negative", "beyond", "noequals"})
        EXPECT_EQ(Lookup(book, absent), "<none>") << absent;
}

TEST(PackageLookup, AcceptsEveryLineEndAndStopsAtANul) {
    TTempDir dir;
    const std::string book =
        dir.Write("book.exe", BookWithIndex("cr=1\rlf=2\ncrlf=3\r\nlast=1\0hidden=2\r\n"s));
    EXPECT_EQ(Lookup(book, "cr"), "one");
    EXPECT_EQ(Lookup(book, "lf"), "two");
    EXPECT_EQ(Lookup(book, "crlf"), "three");
    EXPECT_EQ(Lookup(book, "last"), "one");
    EXPECT_EQ(Lookup(book, "hidden"), "<none>");
}

TEST(PackageLookup, TheFirstOfEqualNamesWins) {
    TTempDir dir;
    const std::string book = dir.Write("book.exe", BookWithIndex("Name=2\r\nname=3\r\nname=1\r\n"));
    EXPECT_EQ(Lookup(book, "NAME"), "two");
    // The name ends at the first "=": "a=b=1" names "a" with the value "b=1".
    const std::string other = dir.Write("other.exe", BookWithIndex("a=b=1\r\n"));
    EXPECT_EQ(Lookup(other, "a"), "<none>");
    EXPECT_EQ(Lookup(other, "a=b"), "<none>");
}

TEST(PackageLookup, EveryFailureIsSilentlyNoStream) {
    TTempDir dir;
    EXPECT_EQ(Lookup(dir.File("missing.exe"), "book.swf"), "<none>");
    EXPECT_EQ(Lookup(dir.Write("plain.exe", "MZ just an image"), "book.swf"), "<none>");
    std::string damaged = PackageBytes({{"book.swf", "movie"}}, true);
    damaged[3] ^= 1;
    EXPECT_EQ(Lookup(dir.Write("damaged.exe", damaged), "book.swf"), "<none>");
    EXPECT_EQ(Lookup(dir.Path().string(), "book.swf"), "<none>"); // a folder
    EXPECT_EQ(Lookup("", "book.swf"), "<none>");                  // the test program itself
    EXPECT_FALSE(PackageHasEntry("book.swf", dir.File("missing.exe")));
    EXPECT_FALSE(PackageHasEntry("book.swf", dir.File("damaged.exe")));
    EXPECT_FALSE(PackageHasEntry("book.swf", ""));
}

TEST(PackageLookup, SeesABookThatChangedSinceTheLastLookup) {
    TTempDir dir;
    const std::string book = dir.Write("book.exe", PackageBytes({{"a", "first"}}, true));
    EXPECT_EQ(Lookup(book, "a"), "first");
    EXPECT_EQ(Lookup(book, "a"), "first");

    // Another size.
    dir.Write("book.exe", PackageBytes({{"a", "second!"}}, true));
    EXPECT_EQ(Lookup(book, "a"), "second!");

    // The same size, written later.
    const auto written = std::filesystem::last_write_time(book);
    dir.Write("book.exe", PackageBytes({{"a", "third!!"}}, true));
    std::filesystem::last_write_time(book, written + std::chrono::seconds(5));
    EXPECT_EQ(Lookup(book, "a"), "third!!");

    // Damaged later: the damage is seen, not the package read before.
    std::string damaged = PackageBytes({{"a", "fourth!"}}, true);
    damaged[0] ^= 1;
    dir.Write("book.exe", damaged);
    std::filesystem::last_write_time(book, written + std::chrono::seconds(10));
    EXPECT_EQ(Lookup(book, "a"), "<none>");
}

TEST(PackageLookup, KeepsBooksApart) {
    TTempDir dir;
    const std::string one = dir.Write("one.exe", PackageBytes({{"a", "from one"}}));
    const std::string two = dir.Write("two.exe", PackageBytes({{"a", "from two"}}));
    EXPECT_EQ(Lookup(one, "a"), "from one");
    EXPECT_EQ(Lookup(two, "a"), "from two");
    EXPECT_EQ(Lookup(one, "a"), "from one");
}

TEST(PackageIndex, SplitsLinesAtTheFirstEquals) {
    const auto lines = ParseIndex("a=1\r\n\r\nno line\nb==2\rc=");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].name, "a");
    EXPECT_EQ(lines[0].value, "1");
    EXPECT_EQ(lines[1].name, "b");
    EXPECT_EQ(lines[1].value, "=2");
    EXPECT_EQ(lines[2].name, "c");
    EXPECT_EQ(lines[2].value, "");
}
