#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <windows.h>

#include "base/handles_win.h"
#include "lib/MyLib/ExeExt.h"
#include "package/PackageLookup.h"
#include "tests/support/package_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

using TClock = std::chrono::steady_clock;

TFileHandle OpenExclusively(const std::string& path) {
    TFileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file) << "cannot lock " << path;
    return file;
}

// Holds the file exclusively for the given time on another thread.
std::thread HoldExclusively(const std::string& path, std::chrono::milliseconds time) {
    auto file = std::make_shared<TFileHandle>(OpenExclusively(path));
    return std::thread([file, time] {
        std::this_thread::sleep_for(time);
        file->Reset();
    });
}

double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

} // namespace

TEST(ShareModes, AWriterThatSharesDoesNotStopTheReader) {
    TTempDir dir;
    const std::string path = dir.Write("book.exe", "MZ" + PackageBytes({{"a", "entry"}}));
    TFileHandle writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    TExeExtReader reader(path);
    EXPECT_EQ(reader.ReadEntryText(1), "entry");
}

TEST(ShareModes, AnExclusiveHolderDelaysConstructionUntilItLetsGo) {
    TTempDir dir;
    const std::string path = dir.Write("book.exe", "MZ" + PackageBytes({{"a", "entry"}}));
    const auto start = TClock::now();
    std::thread holder = HoldExclusively(path, std::chrono::milliseconds(800));
    TExeExtReader reader(path);
    const double waited = SecondsSince(start);
    holder.join();
    EXPECT_EQ(reader.Count(), 2);
    EXPECT_GE(waited, 0.7);
    EXPECT_LT(waited, 4.0);
}

TEST(ShareModes, HeldLongerThanFiveSecondsTheReaderHasNoEntries) {
    TTempDir dir;
    const std::string path = dir.Write("book.exe", "MZ" + PackageBytes({{"a", "entry"}}));
    const auto start = TClock::now();
    std::thread holder = HoldExclusively(path, std::chrono::milliseconds(6500));
    TExeExtReader reader(path);
    const double waited = SecondsSince(start);
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_GE(waited, 4.9);
    // A lookup of a book kept from before waits the same way and then gives nothing.
    holder.join();
    ASSERT_NE(GetPackageStream("a", path), nullptr);
    holder = HoldExclusively(path, std::chrono::milliseconds(300));
    EXPECT_NE(GetPackageStream("a", path), nullptr);
    holder.join();
}
