// Books that were cut short, altered or made by other tools, opened in the viewer: each starts
// with its configured window where the damage spares the configuration and with the designed one
// otherwise, says nothing, and closes cleanly.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "tests/e2e/e2e_support.h"
#include "tests/support/package_bytes.h"
#include "tests/support/temp_dir.h"
#include "tools/drive/viewer_driver_win.h"

namespace {

const char kCaption[] = "Configured";
// No line end after the root: a configuration that loses any byte at its end is malformed.
const std::string kConfig =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ExeConfig><ExeCaption><![CDATA[Configured]]>"
    "</ExeCaption><WindowOpenMode>1</WindowOpenMode><WindowOpenWidth>700</WindowOpenWidth>"
    "<WindowOpenHeight>500</WindowOpenHeight></ExeConfig>";
const std::vector<std::pair<std::string, std::string>> kFiles = {
    {"book.swf", "LEAFTURN-SCENE 1\npages files/book.xml\nnext-keys Right\n"},
    {"ExeConfig.xml", kConfig},
    {"files/book.xml", "<book><page src=\"page/1.png\"/></book>"},
    {"files/page/1.png", std::string(300, 'p')},
};
enum TEntry { kIndex, kMovie, kConfigEntry, kPageList, kPage };

// Where the parts of a book lie, read from its trailer.
struct TLayout {
    size_t start;              // of the package
    size_t table;              // of the size table
    std::vector<size_t> entry; // where each entry begins
};

TLayout LayoutOf(const std::string& book) {
    TLayout layout;
    layout.start = book.size() - GetU32FromEnd(book, 8);
    const uint32_t count = GetU32FromEnd(book, 13);
    layout.table = book.size() - 13 - 4 * count;
    size_t at = layout.start;
    for (uint32_t i = 0; i < count; ++i) {
        layout.entry.push_back(at);
        at += GetU32FromEnd(book, book.size() - layout.table - 4 * i);
    }
    return layout;
}

// Where in a book a byte lies.
using TLocate = std::function<size_t(const std::string& book, const TLayout& layout)>;

TLocate FromEnd(size_t n) {
    return [=](const std::string& book, const TLayout&) { return book.size() - n; };
}
// Byte `byte` of entry i's size.
TLocate SizeOf(TEntry i, size_t byte = 0) {
    return [=](const std::string&, const TLayout& layout) { return layout.table + 4 * i + byte; };
}
// offset bytes past text inside entry i ("" for the entry's start).
TLocate In(TEntry i, const char* text, size_t offset = 0) {
    return [=](const std::string& book, const TLayout& layout) {
        return book.find(text, layout.entry[i]) + offset;
    };
}

// One bit flipped, and the caption of the window each book then opens (null: the designed one).
struct TFlip {
    const char* name;
    TLocate at;
    int bit;
    const char* plain;
    const char* withDigest;
};

const TFlip kFlips[] = {
    // The trailer: check word, package size, digest flag (without a digest it claims one that
    // is not there; with one it still asks for the check, or no longer does), entry count.
    {"CheckWordBit0", FromEnd(4), 0, nullptr, nullptr},
    {"PackageSizeBit0", FromEnd(8), 0, nullptr, nullptr},
    {"DigestFlagBit0", FromEnd(9), 0, nullptr, kCaption},
    {"DigestFlagBit1", FromEnd(9), 1, nullptr, kCaption},
    {"EntryCountBit0", FromEnd(13), 0, nullptr, nullptr},
    // The size table, which the digest does not cover: a size that grows past the content,
    // sizes that shrink and so move the configuration, cut it short, or cut the last page.
    {"IndexSizeBit20", SizeOf(kIndex, 2), 4, nullptr, nullptr},
    {"MovieSizeBit2", SizeOf(kMovie), 2, nullptr, nullptr},
    {"ConfigSizeBit0", SizeOf(kConfigEntry), 0, nullptr, nullptr},
    {"PageSizeBit2", SizeOf(kPage), 2, kCaption, kCaption},
    // The index: a name in another letter case still matches, another number or a lost "="
    // does not, a name that points at nothing loses only its own file.
    {"IndexNameCase", In(kIndex, "ExeConfig"), 5, kCaption, nullptr},
    {"IndexNumber", In(kIndex, "xml=2", 4), 0, nullptr, nullptr},
    {"IndexEquals", In(kIndex, "xml=2", 3), 0, nullptr, nullptr},
    {"IndexMovieNumber", In(kIndex, "swf=1", 4), 0, kCaption, nullptr},
    // The content: the caption, the configuration's markup, the movie, the last bytes before
    // the size table (the last page's, or the stored digest).
    {"CaptionLetter", In(kConfigEntry, "Configured", 9), 0, "Configuree", nullptr},
    {"ConfigMarkup", In(kConfigEntry, "<ExeConfig>"), 0, nullptr, nullptr},
    {"MovieByte", In(kMovie, ""), 3, kCaption, nullptr},
    {"ByteBeforeTheSizeTable", [](const std::string&, const TLayout& l) { return l.table - 16; }, 0,
     kCaption, nullptr},
};

// The book's package with another index (and no digest).
std::string WithIndex(const std::string& index) {
    std::string content = index;
    std::vector<int32_t> sizes{static_cast<int32_t>(index.size())};
    for (const auto& [name, bytes] : kFiles) {
        content += bytes;
        sizes.push_back(static_cast<int32_t>(bytes.size()));
    }
    return AssemblePackage(content, sizes, 0);
}

using TDamage = std::function<void(std::string& book, const TLayout& layout)>;

struct TDamagedBook {
    std::string name;
    bool digest;
    TDamage damage;
    const char* caption;   // the configured window's, or null for the designed window
    int64_t packageAt = 0; // where the package is written, past a hole; 0: behind the viewer
};

void PrintTo(const TDamagedBook& book, std::ostream* out) {
    *out << book.name;
}

std::vector<TDamagedBook> DamagedBooks() {
    std::vector<TDamagedBook> books;
    // Cut short at 20 points, from the package's first byte to its last.
    for (size_t k = 0; k < 20; ++k)
        books.push_back({"CutAt" + std::to_string(k * 100 / 19) + "Percent", false,
                         [k](std::string& b, const TLayout& l) {
                             b.resize(l.start + (b.size() - 1 - l.start) * k / 19);
                         },
                         nullptr});
    for (const TFlip& flip : kFlips)
        for (const bool digest : {false, true})
            books.push_back({std::string(flip.name) + (digest ? "WithDigest" : ""), digest,
                             [&flip](std::string& b, const TLayout& l) {
                                 const size_t at = flip.at(b, l);
                                 b[at] = static_cast<char>(b[at] ^ (1 << flip.bit));
                             },
                             digest ? flip.withDigest : flip.plain});

    // Sizes whose sums or products leave 32 bits (a package size with its check word).
    const auto put = [](TLocate at, uint32_t value) {
        return [=](std::string& b, const TLayout& l) { PutU32At(b, at(b, l), value); };
    };
    const auto packageSize = [](uint32_t size) {
        return [=](std::string& b, const TLayout&) { SetPackageSize(b, size); };
    };
    books.push_back({"PackageSizeOfFourGiB", false, packageSize(0xFFFFFFFF), nullptr});
    books.push_back({"PackageSizeBelowItsTrailer", false, packageSize(12), nullptr});
    books.push_back({"EntryCountWhoseTableWraps", false, put(FromEnd(13), 0x40000001), nullptr});
    books.push_back({"EntryCountOfTwoGiB", false, put(FromEnd(13), 0x7FFFFFFF), nullptr});
    books.push_back({"EntryOfTwoGiB", false, put(SizeOf(kMovie), 0x7FFFFFFF), nullptr});
    books.push_back({"EntriesAddingUpPastTwoGiB", false,
                     [=](std::string& b, const TLayout& l) {
                         put(SizeOf(kMovie), 0x40000000)(b, l);
                         put(SizeOf(kConfigEntry), 0x40000000)(b, l);
                     },
                     nullptr});
    books.push_back({"NegativeEntrySize", false, put(SizeOf(kPageList), 0x80000000), nullptr});

    // An index that names entries the size table does not have.
    const auto indexed = [](const std::string& lines) {
        return [=](std::string& b, const TLayout& l) {
            b.resize(l.start);
            b += WithIndex(lines + "files/book.xml=3\r\nfiles/page/1.png=4\r\n");
        };
    };
    books.push_back({"IndexNamesTheConfigurationBeyondTheTable", false,
                     indexed("book.swf=1\r\nExeConfig.xml=5\r\n"), nullptr});
    books.push_back({"IndexNamesTheConfigurationAtTheLargestNumber", false,
                     indexed("book.swf=1\r\nExeConfig.xml=2147483647\r\n"), nullptr});
    books.push_back({"IndexNamesTheConfigurationPast32Bits", false,
                     indexed("book.swf=1\r\nExeConfig.xml=4294967298\r\n"), nullptr});
    books.push_back({"IndexNamesTheMovieBeyondTheTable", false,
                     indexed("book.swf=-3\r\nExeConfig.xml=2\r\n"), kCaption});

    // 2 GiB of nothing before the package: it starts just below 2 GiB, or at 2 GiB, where an
    // entry's offset no longer fits the signed 32 bits of the format.
    books.push_back({"PackageJustBelowTwoGiB", false, nullptr, kCaption, 0x7FFFFFF8});
    books.push_back({"PackageAtTwoGiB", false, nullptr, nullptr, 0x80000000});
    return books;
}

class DamagedBook : public testing::TestWithParam<TDamagedBook> {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(RegisterStandin(true)); }
    static void TearDownTestSuite() { RegisterStandin(false); }

    // Opens the book; checks the window it shows, that nothing is said and that it closes.
    void ExpectOpensAndCloses(const std::string& book, const char* caption) {
        TViewerProcess viewer(book, "");
        ASSERT_TRUE(viewer.WaitForWindow());
        const TViewerWindowState state = viewer.State();
        EXPECT_EQ(state.caption, caption ? caption : "Leafturn Book");
        EXPECT_EQ(state.rect.right - state.rect.left, caption ? 700 : 765);
        EXPECT_EQ(state.rect.bottom - state.rect.top, caption ? 500 : 541);
        EXPECT_TRUE(viewer.Dialogs().empty());
        DWORD code = 1234;
        ASSERT_TRUE(viewer.Close(code));
        EXPECT_EQ(code, 0u);
    }

    TTempDir dir;
};

TEST_P(DamagedBook, OpensTheWindowItsConfigurationAllowsAndCloses) {
    const TDamagedBook& row = GetParam();
    static const std::string viewer = ReadWholeFile(kViewer);
    std::string book = viewer + PackageBytes(kFiles, row.digest);
    if (row.damage)
        row.damage(book, LayoutOf(book));
    const std::string path = dir.File("book.exe");
    {
        // Past the viewer's end the file is a hole: the system keeps no bytes for it.
        std::ofstream file(path, std::ios::binary);
        file.write(viewer.data(), static_cast<std::streamsize>(viewer.size()));
        file.seekp(row.packageAt ? row.packageAt : static_cast<int64_t>(viewer.size()));
        file.write(book.data() + viewer.size(),
                   static_cast<std::streamsize>(book.size() - viewer.size()));
        ASSERT_TRUE(file.good());
    }
    ExpectOpensAndCloses(path, row.caption);
}

INSTANTIATE_TEST_SUITE_P(Rows, DamagedBook, testing::ValuesIn(DamagedBooks()),
                         [](const testing::TestParamInfo<TDamagedBook>& row) {
                             return row.param.name;
                         });

} // namespace
