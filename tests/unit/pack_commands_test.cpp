#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/support/package_bytes.h"
#include "tests/support/temp_dir.h"
#include "tools/pack/pack_commands.h"

namespace fs = std::filesystem;

namespace {

struct TRun {
    int code;
    std::string out;
    std::string err;
};

TRun Pack(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunPackCommand(args, out, err);
    return {code, out.str(), err.str()};
}

class PackTool : public testing::Test {
protected:
    void SetUp() override {
        viewer = dir.Write("viewer.exe", "MZ the viewer image");
        dir.Write("src/files/page/2.jpg", "page two");
        dir.Write("src/files/page/10.jpg", "page ten");
        dir.Write("src/files/book.xml", "<book/>");
        dir.Write("src/ExeConfig.xml", "<ExeConfig/>");
        dir.Write("src/book.swf", "FWS movie");
        dir.Write("src/Zebra.txt", "z");
        folder = dir.File("src");
        book = dir.File("book.exe");
    }

    TRun Build(bool digest = false) {
        std::vector<std::string> args = {"build", "--viewer", viewer, "--out", book};
        if (digest)
            args.push_back("--digest");
        args.push_back(folder);
        return Pack(args);
    }

    TTempDir dir;
    std::string viewer, folder, book;
};

} // namespace

TEST_F(PackTool, BuildsABookTheListShowsInStoredOrder) {
    ASSERT_EQ(Build().code, 0);
    const std::string bytes = ReadWholeFile(book);
    EXPECT_EQ(bytes.substr(0, 19), "MZ the viewer image");
    const TRun list = Pack({"list", book});
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, "1\t9\tbook.swf\n"
                        "2\t12\tExeConfig.xml\n"
                        "3\t7\tfiles/book.xml\n"
                        "4\t1\tZebra.txt\n"
                        "5\t8\tfiles/page/10.jpg\n"
                        "6\t8\tfiles/page/2.jpg\n");
    EXPECT_EQ(Pack({"cat", book, "files/book.xml"}).out, "<book/>");
}

TEST_F(PackTool, CatFollowsTheViewersLookup) {
    ASSERT_EQ(Build().code, 0);
    EXPECT_EQ(Pack({"cat", book, "EXECONFIG.XML"}).out, "<ExeConfig/>");
    const TRun absent = Pack({"cat", book, "./book.swf"});
    EXPECT_EQ(absent.code, 1);
    EXPECT_EQ(absent.out, "");
    EXPECT_NE(absent.err.find("./book.swf"), std::string::npos);
}

TEST_F(PackTool, VerifiesWithAndWithoutDigest) {
    ASSERT_EQ(Build().code, 0);
    EXPECT_EQ(Pack({"verify", book}).out, "7 entries, 146 content bytes, digest: none\n");
    ASSERT_EQ(Build(true).code, 0);
    EXPECT_EQ(Pack({"verify", book}).out, "7 entries, 146 content bytes, digest: ok\n");

    std::string bytes = ReadWholeFile(book);
    bytes[25] ^= 1;
    dir.Write("book.exe", bytes);
    const TRun damaged = Pack({"verify", book});
    EXPECT_EQ(damaged.code, 1);
    EXPECT_NE(damaged.err.find("Content Valid failed!"), std::string::npos) << damaged.err;
}

TEST_F(PackTool, VerifyReportsSizesThatDoNotAddUp) {
    dir.Write("short.exe", AssemblePackage("a=1\r\nxyzEXTRA", {5, 3}, 0));
    const TRun run = Pack({"verify", dir.File("short.exe")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("add up to 8"), std::string::npos) << run.err;

    const TRun plain = Pack({"verify", viewer});
    EXPECT_EQ(plain.code, 1);
    EXPECT_NE(plain.err.find("Can not find extent section"), std::string::npos) << plain.err;
    EXPECT_EQ(Pack({"verify", dir.File("missing.exe")}).code, 1);
    EXPECT_EQ(Pack({"list", viewer}).code, 1);
}

TEST_F(PackTool, ExtractsEveryEntryAndRoundTrips) {
    ASSERT_EQ(Build(true).code, 0);
    const TRun run = Pack({"extract", book, dir.File("out")});
    ASSERT_EQ(run.code, 0) << run.err;
    for (const char* name : {"book.swf", "ExeConfig.xml", "files/book.xml", "files/page/10.jpg",
                             "files/page/2.jpg", "Zebra.txt"})
        EXPECT_EQ(ReadWholeFile(dir.Path() / "out" / name),
                  ReadWholeFile(dir.Path() / "src" / name))
            << name;
}

TEST_F(PackTool, ExtractRefusesNamesThatLeaveTheFolder) {
    const std::string bad = PackageBytes({{"../escape.txt", "1"},
                                          {"/abs.txt", "2"},
                                          {"C:drive.txt", "3"},
                                          {"a\\b.txt", "4"},
                                          {"files/../../up.txt", "5"},
                                          {"ok/fine.txt", "6"}});
    dir.Write("bad.exe", "MZ" + bad);
    const TRun run = Pack({"extract", dir.File("bad.exe"), dir.File("out")});
    EXPECT_EQ(run.code, 1);
    for (const char* name :
         {"../escape.txt", "/abs.txt", "C:drive.txt", "a\\b.txt", "files/../../up.txt"})
        EXPECT_NE(run.err.find(std::string("\"") + name + "\""), std::string::npos) << name;
    EXPECT_EQ(ReadWholeFile(dir.Path() / "out/ok/fine.txt"), "6");
    EXPECT_FALSE(fs::exists(dir.Path() / "escape.txt"));
    EXPECT_FALSE(fs::exists(dir.Path() / "up.txt"));
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(dir.Path() / "out"),
                            fs::recursive_directory_iterator()),
              2); // ok/ and ok/fine.txt
}

TEST_F(PackTool, RefusesWithoutWritingTheBook) {
    // A viewer that already carries a package.
    dir.Write("packed.exe", "MZ" + PackageBytes({{"a", "1"}}));
    TRun run = Pack({"build", "--viewer", dir.File("packed.exe"), "--out", book, folder});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("already carries a package"), std::string::npos) << run.err;

    // A folder without files.
    fs::create_directories(dir.Path() / "empty/sub");
    run = Pack({"build", "--viewer", viewer, "--out", book, dir.File("empty")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("holds no file"), std::string::npos) << run.err;

#ifndef _WIN32 // such names cannot be created on Windows
    dir.Write("src/a=b.txt", "x");
    run = Build();
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("a=b.txt"), std::string::npos) << run.err;
    fs::remove(dir.Path() / "src/a=b.txt");
    dir.Write("src/line\nbreak", "x");
    EXPECT_EQ(Build().code, 1);
    fs::remove(dir.Path() / "src/line\nbreak");

    // A viewer so large that the book would reach 2 GiB (a sparse file: nothing is written).
    fs::resize_file(viewer, (uint64_t{1} << 31) - 100);
    run = Build();
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("2 GiB"), std::string::npos) << run.err;
#endif
    EXPECT_FALSE(fs::exists(book));
    EXPECT_FALSE(fs::exists(book + ".partial"));
}

TEST_F(PackTool, AFailedBuildKeepsTheOldBook) {
    ASSERT_EQ(Build().code, 0);
    const std::string before = ReadWholeFile(book);
    EXPECT_EQ(Pack({"build", "--viewer", dir.File("missing.exe"), "--out", book, folder}).code, 1);
    EXPECT_EQ(ReadWholeFile(book), before);
}

TEST(PackToolUsage, ExplainsItselfAndRejectsBadCommandLines) {
    EXPECT_EQ(Pack({}).code, 2);
    EXPECT_EQ(Pack({"--help"}).code, 0);
    EXPECT_EQ(Pack({"frobnicate"}).code, 2);
    for (const char* command : {"build", "list", "cat", "extract", "verify"}) {
        const TRun help = Pack({command, "--help"});
        EXPECT_EQ(help.code, 0) << command;
        EXPECT_NE(help.out.find(std::string("leafturn-pack ") + command), std::string::npos);
    }
    EXPECT_EQ(Pack({"build", "--viewer", "v.exe", "folder"}).code, 2);
    EXPECT_EQ(Pack({"build", "--viewer", "v.exe", "--out"}).code, 2);
    EXPECT_EQ(Pack({"list"}).code, 2);
    EXPECT_EQ(Pack({"cat", "book.exe"}).code, 2);
    EXPECT_EQ(Pack({"verify", "--fast", "book.exe"}).code, 2);
}
