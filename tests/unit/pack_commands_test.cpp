#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/platform.h"
#include "tests/support/package_bytes.h"
#include "tests/support/temp_dir.h"
#include "tools/pack/book_pages.h"
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
    for (const char* command : {"build", "pages", "list", "cat", "extract", "verify"}) {
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
    // This build neither signs nor renders PDFs, and says so.
    TRun run = Pack({"build", "--viewer", "v.exe", "--out", "b.exe", "--sign", "c", "k", "f"});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("cannot sign"), std::string::npos) << run.err;
    run = Pack({"pages", "--viewer", "v.exe", "--out", "b.exe", "--pdf", "f.pdf"});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("without a PDF renderer"), std::string::npos) << run.err;
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
    dir.Write("book.exe.partial", "left over from a build cut short");
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

namespace {

// The first bytes of each page image format; the rest of a file does not matter to the packer.
const std::string kPng = "\x89PNG\r\n\x1A\n IHDR";
const std::string kJpeg = "\xFF\xD8\xFF\xE0 JFIF";
const std::string kGif = "GIF89a.";
const std::string kTiff = std::string("II*\0", 4) + "....";
const std::string kBmp = "BM" + std::string(12, '\0') + std::string("\x28\0\0\0", 4) + "....";

// ExeConfig.xml as the viewer was shipped with, for another caption, mode and size.
std::string ExeConfig(const std::string& caption, int mode, int width = 800, int height = 600) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ExeConfig><ExeCaption>" + caption +
           "</ExeCaption><WindowOpenMode>" + std::to_string(mode) +
           "</WindowOpenMode><WindowOpenWidth>" + std::to_string(width) +
           "</WindowOpenWidth><WindowOpenHeight>" + std::to_string(height) +
           "</WindowOpenHeight></ExeConfig>\r\n";
}

class PagesTool : public PackTool {
protected:
    void SetUp() override {
        PackTool::SetUp();
        dir.Write("scans/10.png", kPng);
        dir.Write("scans/2.dat", kJpeg); // known by its bytes, not its name
        dir.Write("scans/1.GIF", kGif);
        dir.Write("scans/notes.txt", "hello");
        dir.Write("scans/fake.png", "not a picture");
        dir.Write("scans/sub/3.png", kPng); // folders are not entered
        scans = dir.File("scans");
    }

    TRun Pages(std::vector<std::string> args) {
        args.insert(args.begin(), {"pages", "--viewer", viewer, "--out", book});
        return Pack(args);
    }
    std::string Entry(const std::string& name) { return Pack({"cat", book, name}).out; }

    std::string scans;
};

} // namespace

TEST(PageImages, AreKnownByTheirFirstBytes) {
    EXPECT_EQ(ImageExtension(kPng), "png");
    EXPECT_EQ(ImageExtension(kJpeg), "jpg");
    EXPECT_EQ(ImageExtension(kGif), "gif");
    EXPECT_EQ(ImageExtension("GIF87a"), "gif");
    EXPECT_EQ(ImageExtension(kTiff), "tif");
    EXPECT_EQ(ImageExtension(std::string("MM\0*", 4)), "tif");
    EXPECT_EQ(ImageExtension(kBmp), "bmp");
    std::string oddBitmap = kBmp;
    oddBitmap[14] = 41; // no bitmap has a header of that size
    for (const std::string& other :
         {std::string(), std::string("\x89PNG"), std::string("BM is plain text here"), oddBitmap,
          std::string("GIF8"), std::string("%PDF-1.4"), std::string("\xFF\xD8")})
        EXPECT_EQ(ImageExtension(other), "") << other;
}

TEST(PageImages, ComeInNaturalOrder) {
    std::vector<std::string> names = {"page10.png",
                                      "Page2.png",
                                      "page1.png",
                                      "10.png",
                                      "9.png",
                                      "b.png",
                                      "A.png",
                                      "x1.png",
                                      "x01.png",
                                      "100000000000000000000.png",
                                      "99999999999999999999.png"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names,
              (std::vector<std::string>{"9.png", "10.png", "99999999999999999999.png",
                                        "100000000000000000000.png", "A.png", "b.png", "page1.png",
                                        "Page2.png", "page10.png", "x01.png", "x1.png"}));
}

TEST_F(PagesTool, MakesABookOfPageImagesThatTheBuiltInControlReads) {
    dir.Write("cover.tif", kTiff);
    const TRun run = Pages({"--digest", dir.File("cover.tif"), scans});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, book + ": 4 pages packed with digest\n");
    for (const char* skipped : {"notes.txt: not an image", "fake.png: not an image", "sub: not"})
        EXPECT_NE(run.err.find(skipped), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("10.png"), std::string::npos) << run.err;

    EXPECT_EQ(Entry("files/book.xml"), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                       "<book title=\"scans\">\n"
                                       "  <page src=\"page/0001.tif\"/>\n"
                                       "  <page src=\"page/0002.gif\"/>\n"
                                       "  <page src=\"page/0003.jpg\"/>\n"
                                       "  <page src=\"page/0004.png\"/>\n"
                                       "</book>\n");
    EXPECT_EQ(Entry("ExeConfig.xml"), ExeConfig("<![CDATA[scans]]>", 2));
    EXPECT_EQ(Entry("files/page/0001.tif"), kTiff);
    EXPECT_EQ(Entry("files/page/0003.jpg"), kJpeg);
    EXPECT_EQ(Pack({"cat", book, "book.swf"}).code, 1);
    EXPECT_EQ(Pack({"verify", book}).out.substr(0, 10), "7 entries,");

    // Extracted and built again, the book holds the same files in the same order.
    const std::string list = Pack({"list", book}).out;
    ASSERT_EQ(Pack({"extract", book, dir.File("again")}).code, 0);
    ASSERT_EQ(Pack({"build", "--viewer", viewer, "--out", book, dir.File("again")}).code, 0);
    EXPECT_EQ(Pack({"list", book}).out, list);
}

TEST_F(PagesTool, WritesTheTitleTheWindowAndTheLargeImages) {
    dir.Write("big/10.png", kBmp);
    dir.Write("big/1.GIF", "no image");
    const std::string title = "Tom & Jerry's <\"Best\"> ]]> end";
    TRun run =
        Pages({"--title", title, "--open", "fixed:1024x768", "--large", dir.File("big"), scans});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Entry("files/book.xml"),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<book title=\"Tom &amp; Jerry's &lt;&quot;Best&quot;&gt; ]]&gt; end\">\n"
              "  <page src=\"page/0001.gif\"/>\n"
              "  <page src=\"page/0002.jpg\"/>\n"
              "  <page src=\"page/0003.png\" large=\"large/0003.bmp\"/>\n"
              "</book>\n");
    EXPECT_EQ(Entry("files/large/0003.bmp"), kBmp);
    // A caption holding the end of a CDATA section is written as text.
    EXPECT_EQ(Entry("ExeConfig.xml"),
              ExeConfig("Tom &amp; Jerry's &lt;&quot;Best&quot;&gt; ]]&gt; end", 1, 1024, 768));
    for (const char* missing : {"no large image for", "1.GIF", "2.dat"})
        EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;

    ASSERT_EQ(Pages({"--open", "fullscreen", "--title", "", scans}).code, 0);
    EXPECT_EQ(Entry("ExeConfig.xml"), ExeConfig("<![CDATA[]]>", 3));
    ASSERT_EQ(Pages({"--open", "maximized", scans + "/"}).code, 0);
    EXPECT_EQ(Entry("ExeConfig.xml"), ExeConfig("<![CDATA[scans]]>", 2));
    // Page files alone: the book's name is the title.
    ASSERT_EQ(Pages({dir.File("scans/10.png")}).code, 0);
    EXPECT_EQ(Entry("ExeConfig.xml"), ExeConfig("<![CDATA[book]]>", 2));

    for (const char* open : {"fixed:0x600", "fixed:800", "fixed:800x600x1", "fixed:+800x600",
                             "fixed:40000x600", "fixed:0x320x200", "window"})
        EXPECT_EQ(Pages({"--open", open, scans}).code, 2) << open;
    EXPECT_EQ(Pages({"--title", "two\nlines", scans}).code, 2);
#ifndef _WIN32 // arguments arrive as they are: UTF-8 passes, broken UTF-8 is refused
    ASSERT_EQ(Pages({"--title", "Caf\xC3\xA9", scans}).code, 0);
    EXPECT_EQ(Entry("ExeConfig.xml"), ExeConfig("<![CDATA[Caf\xC3\xA9]]>", 2));
    EXPECT_EQ(Pages({"--title", "bad \xC3 byte", scans}).code, 2);
#endif
}

TEST_F(PagesTool, TakesTheViewerBesideThePackerUnlessToldOtherwise) {
    const std::string beside = OwnExecutableDirectory() + "leafturn.exe";
    ASSERT_FALSE(fs::exists(beside)) << "left over: " << beside;
    TRun run = Pack({"pages", "--out", book, scans});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find(beside), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(book));

    std::ofstream(beside, std::ios::binary) << "MZ the default viewer";
    run = Pack({"pages", "--out", book, scans});
    fs::remove(beside);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(book).substr(0, 21), "MZ the default viewer");
}

TEST_F(PagesTool, RefusesWithoutWritingTheBook) {
    fs::create_directories(dir.Path() / "nothing");
    const std::pair<std::vector<std::string>, int> refused[] = {
        {{dir.File("scans/notes.txt")}, 1}, // not an image
        {{dir.File("scans/3.png")}, 1},     // no such file
        {{dir.File("nothing")}, 1},         // a folder without images
        {{}, 2},
        {{"--pdf", "book.pdf", scans}, 2},
        {{"--dpi", "100", scans}, 2},
        {{"--large", scans, "--pdf", "book.pdf"}, 2},
        {{"--pdf", "book.pdf", "--dpi", "9"}, 2},
    };
    for (const auto& [args, code] : refused) {
        const TRun run = Pages(args);
        EXPECT_EQ(run.code, code) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(run.err.empty());
    }
#ifndef _WIN32
    fs::resize_file(viewer, (uint64_t{1} << 31) - 100); // sparse: nothing is written
    EXPECT_NE(Pages({scans}).err.find("2 GiB"), std::string::npos);
#endif
    EXPECT_FALSE(fs::exists(book));
    EXPECT_FALSE(fs::exists(book + ".partial"));
}

#ifndef _WIN32
namespace {

// A PDF of these objects, numbered from 1 (the catalog), with its cross-reference table.
std::string Pdf(const std::vector<std::string>& objects, const std::string& trailer = "") {
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        const std::string digits = std::to_string(offset);
        pdf += std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
    }
    return pdf + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " +
           trailer + ">>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

const char kCatalog[] = "<< /Type /Catalog /Pages 2 0 R >>";

// One page of width x height points, as object 3 under the page tree of object 2.
std::vector<std::string> OnePage(int width, int height) {
    return {kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(width) + " " +
                std::to_string(height) + "] >>"};
}

// Width and height from a PNG's header.
std::pair<uint32_t, uint32_t> PngSize(const std::string& png) {
    auto at = [&](size_t i) {
        uint32_t value = 0;
        for (size_t k = 0; k < 4; ++k)
            value = value << 8 | static_cast<uint8_t>(png.at(i + k));
        return value;
    };
    return {at(16), at(20)};
}

} // namespace

TEST_F(PagesTool, RendersThePagesOfAPdf) {
    const std::string fill = "1 0 0 rg 0 0 36 36 re f";
    dir.Write(
        "two.pdf",
        Pdf({kCatalog, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 96] /Contents 5 0 R >>",
             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 96 72] /Contents 5 0 R >>",
             "<< /Length " + std::to_string(fill.size()) + " >>\nstream\n" + fill + "\nendstream",
             "<< /Title (Two pages) >>"},
            "/Info 6 0 R "));
    TRun run = Pages({"--pdf", dir.File("two.pdf"), "--dpi", "75"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("rendering page 2 of 2\n"), std::string::npos) << run.err;
    EXPECT_EQ(Entry("files/book.xml"), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                       "<book title=\"Two pages\">\n"
                                       "  <page src=\"page/0001.png\"/>\n"
                                       "  <page src=\"page/0002.png\"/>\n"
                                       "</book>\n");
    EXPECT_EQ(PngSize(Entry("files/page/0001.png")), std::make_pair(75u, 100u));
    EXPECT_EQ(PngSize(Entry("files/page/0002.png")), std::make_pair(100u, 75u));

    ASSERT_EQ(Pages({"--pdf", dir.File("two.pdf"), "--title", "Own"}).code, 0);
    EXPECT_EQ(PngSize(Entry("files/page/0001.png")), std::make_pair(150u, 200u));
    EXPECT_EQ(Entry("ExeConfig.xml"), ExeConfig("<![CDATA[Own]]>", 2));
    EXPECT_FALSE(fs::exists(book + ".pages"));
}

TEST_F(PagesTool, RefusesPdfsItCannotRender) {
    const std::string encrypt = "<< /Filter /Standard /V 1 /R 2 /O <" + std::string(64, '0') +
                                "> /U <" + std::string(64, '0') + "> /P -4 >>";
    std::vector<std::string> encrypted = OnePage(72, 72);
    encrypted.push_back(encrypt);
    const std::pair<std::string, std::string> refused[] = {
        {"not a PDF at all", "is not a readable PDF"},
        {Pdf(encrypted, "/Encrypt 4 0 R /ID [<00112233445566778899AABBCCDDEEFF> "
                        "<00112233445566778899AABBCCDDEEFF>] "),
         "is encrypted"},
        {Pdf({kCatalog, "<< /Type /Pages /Kids [] /Count 0 >>"}), "has no pages"},
        {Pdf(OnePage(14400, 14400)), "would be more than 10000 pixels"},
    };
    for (const auto& [pdf, message] : refused) {
        dir.Write("bad.pdf", pdf);
        const TRun run = Pages({"--pdf", dir.File("bad.pdf")});
        EXPECT_EQ(run.code, 1) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(book));
        EXPECT_FALSE(fs::exists(book + ".pages"));
    }
}
#endif
