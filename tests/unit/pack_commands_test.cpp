#include <gtest/gtest.h>

#include <cstdlib>
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
    // Zero bytes between image and package end the book on the boundary a signature starts on.
    const size_t padding = bytes.size() - 19 - GetU32FromEnd(bytes, 8);
    EXPECT_EQ(bytes.size() % 8, 0u);
    EXPECT_LT(padding, 8u);
    EXPECT_EQ(bytes.substr(19, padding), std::string(padding, '\0'));
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
    bytes[bytes.find("page ten")] ^= 1;
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
    EXPECT_EQ(Pack({"build", "--viewer", "v.exe", "--out", "b.exe", "--sign", "c.pem"}).code, 2);
#ifdef _WIN32
    // This build cannot sign, and says so.
    TRun run = Pack({"build", "--viewer", "v.exe", "--out", "b.exe", "--sign", "c", "k", "f"});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("cannot sign"), std::string::npos) << run.err;
#endif
}

#ifndef _WIN32
namespace {

// A self-signed certificate and its key, made with OpenSSL.
void MakeCertificate(const TTempDir& dir) {
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
        "-subj /CN=Leafturn-test -keyout " +
        dir.File("key.pem") + " -out " + dir.File("cert.pem") + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

} // namespace

TEST_F(PackTool, SignsBooksThatStillListVerifyAndExtract) {
    viewer = dir.Write("viewer.exe", PeImage());
    MakeCertificate(dir);
    ASSERT_EQ(Build().code, 0);
    const std::string unsignedList = Pack({"list", book}).out;
    const std::string cert = dir.File("cert.pem"), key = dir.File("key.pem");

    TRun run =
        Pack({"build", "--viewer", viewer, "--out", book, "--digest", "--sign", cert, key, folder});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, book + ": 6 files packed with digest, signed\n");
    EXPECT_EQ(Pack({"verify", book}).out, "7 entries, 146 content bytes, digest: ok, signed\n");
    EXPECT_EQ(Pack({"list", book}).out, unsignedList);
    EXPECT_EQ(Pack({"cat", book, "files/book.xml"}).out, "<book/>");
    ASSERT_EQ(Pack({"extract", book, dir.File("out")}).code, 0);
    EXPECT_EQ(ReadWholeFile(dir.Path() / "out/files/page/10.jpg"), "page ten");
    EXPECT_EQ(
        std::system(
            ("osslsigncode verify -CAfile " + cert + " -in " + book + " >/dev/null 2>&1").c_str()),
        0);

    // Neither a signed book nor a signed viewer makes another book.
    run = Pack({"build", "--viewer", book, "--out", dir.File("again.exe"), folder});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("already carries a package"), std::string::npos) << run.err;
    dir.Write("signed.exe", Signed(PeImage(), CertificateTable({64})));
    run =
        Pack({"build", "--viewer", dir.File("signed.exe"), "--out", dir.File("again.exe"), folder});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("is signed"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "again.exe"));
}

TEST_F(PackTool, SigningThatCannotBeDoneLeavesNoBook) {
    viewer = dir.Write("viewer.exe", PeImage());
    MakeCertificate(dir);
    const std::string cert = dir.File("cert.pem"), key = dir.File("key.pem");
    auto signedBuild = [&](const std::string& certificate, const std::string& privateKey) {
        return Pack({"build", "--viewer", viewer, "--out", book, "--sign", certificate, privateKey,
                     folder});
    };
    const std::string path = std::getenv("PATH");
    setenv("PATH", dir.Path().c_str(), 1);
    TRun run = signedBuild(cert, key);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("osslsigncode on PATH"), std::string::npos) << run.err;

    run = signedBuild(cert, cert); // no key in it: osslsigncode refuses
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("osslsigncode could not sign the book"), std::string::npos) << run.err;
    EXPECT_EQ(signedBuild(dir.File("none.pem"), key).code, 1);

    // A signing tool that reports success without signing.
    const std::string fake = dir.Write("bin/osslsigncode", "#!/bin/sh\n"
                                                           "while [ $# -gt 1 ]; do\n"
                                                           "  [ \"$1\" = -in ] && in=$2\n"
                                                           "  [ \"$1\" = -out ] && out=$2\n"
                                                           "  shift\n"
                                                           "done\n"
                                                           "/bin/cp \"$in\" \"$out\"\n");
    fs::permissions(fake, fs::perms::owner_exec, fs::perm_options::add);
    setenv("PATH", dir.File("bin").c_str(), 1);
    run = signedBuild(cert, key);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("does not keep its package"), std::string::npos) << run.err;

    for (const char* left : {"book.exe", "book.exe.partial", "book.exe.unsigned"})
        EXPECT_FALSE(fs::exists(dir.Path() / left)) << left;
}
#endif
