#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "app/exe_config_win.h"
#include "base/errors.h"
#include "base/streams.h"
#include "base/text_win.h"
#include "package/PackageLookup.h"
#include "tests/support/package_bytes.h"
#include "tests/support/sample_book.h"
#include "tests/support/standin_win.h"
#include "tests/support/temp_dir.h"
#include "tools/pack/pack_commands.h"

namespace {

class ExeConfig : public testing::Test {
protected:
    TComApartment apartment;

    TExeConfigInfo Load(const std::string& bytes) {
        TStringStream stream(bytes);
        stream.Seek(0, TSeekOrigin::End); // as the package lookup leaves it
        TExeConfigInfo info;
        info.LoadFromStream(&stream);
        return info;
    }
    std::string ErrorOf(const std::string& bytes) {
        try {
            Load(bytes);
            return "";
        } catch (const TError& e) {
            return e.Message();
        }
    }
};

std::string Document(const std::string& caption, const std::string& mode = "2",
                     const std::string& width = "800", const std::string& height = "600") {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ExeConfig><ExeCaption>" + caption +
           "</ExeCaption><WindowOpenMode>" + mode + "</WindowOpenMode><WindowOpenWidth>" + width +
           "</WindowOpenWidth><WindowOpenHeight>" + height + "</WindowOpenHeight></ExeConfig>";
}

std::string Utf16LittleEndian(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

} // namespace

TEST_F(ExeConfig, ReadsTheShippedFile) {
    ASSERT_EQ(kShippedExeConfig.size(), 233u);
    const TExeConfigInfo info = Load(kShippedExeConfig);
    EXPECT_EQ(info.Caption, "Full page fax print");
    EXPECT_EQ(info.OpenMode, 2);
    EXPECT_EQ(info.OpenWidth, 800);
    EXPECT_EQ(info.OpenHeight, 600);
    EXPECT_EQ(TExeConfigInfo::EntryName(), "ExeConfig.xml");
}

TEST_F(ExeConfig, ReadsItThroughThePackageLookup) {
    TTempDir dir;
    const std::string book = dir.Write(
        "book.exe", "MZ" + PackageBytes({{"book.swf", "x"}, {"ExeConfig.xml", kShippedExeConfig}}));
    EXPECT_EQ(ReadExeConfig(book).Caption, "Full page fax print");
    // On a thread of its own, as the viewer reads it while it starts up.
    EXPECT_EQ(ReadExeConfigAsync(book).get().Caption, "Full page fax print");
    const std::string none = dir.Write("none.exe", "MZ" + PackageBytes({{"book.swf", "x"}}));
    EXPECT_THROW(ReadExeConfigAsync(none).get(), TError);
}

TEST_F(ExeConfig, LetsTheParserFindTheEncoding) {
    const std::wstring caption = L"Caf\u00e9 \u00dcber B\u00fccher";
    const std::wstring document =
        L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><ExeConfig><ExeCaption>" + caption +
        L"</ExeCaption><WindowOpenMode>1</WindowOpenMode><WindowOpenWidth>1024</WindowOpenWidth>"
        L"<WindowOpenHeight>768</WindowOpenHeight></ExeConfig>";
    TExeConfigInfo info = Load(Utf16LittleEndian(document));
    EXPECT_EQ(info.Caption, WideToAnsi(caption));
    EXPECT_EQ(info.OpenMode, 1);
    EXPECT_EQ(info.OpenWidth, 1024);
    EXPECT_EQ(info.OpenHeight, 768);

    const std::string latin1 =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><ExeConfig><ExeCaption>Caf\xE9 "
        "\xDC"
        "ber B\xFC"
        "cher</ExeCaption><WindowOpenMode>3</WindowOpenMode><WindowOpenWidth>1"
        "</WindowOpenWidth><WindowOpenHeight>2</WindowOpenHeight></ExeConfig>";
    info = Load(latin1);
    EXPECT_EQ(info.Caption, WideToAnsi(caption));
    EXPECT_EQ(info.OpenMode, 3);
}

TEST_F(ExeConfig, MatchesNamesWithOrWithoutAPrefixButInTheirOwnLetterCase) {
    const std::string prefixed =
        "<?xml version=\"1.0\"?><a:ExeConfig xmlns:a=\"urn:leafturn\"><a:ExeCaption>P"
        "</a:ExeCaption><a:WindowOpenMode>1</a:WindowOpenMode><a:WindowOpenWidth>10"
        "</a:WindowOpenWidth><a:WindowOpenHeight>20</a:WindowOpenHeight></a:ExeConfig>";
    const TExeConfigInfo info = Load(prefixed);
    EXPECT_EQ(info.Caption, "P");
    EXPECT_EQ(info.OpenHeight, 20);

    std::string wrongCase = Document("x");
    wrongCase.replace(wrongCase.find("ExeCaption"), 10, "Execaption");
    wrongCase.replace(wrongCase.rfind("ExeCaption"), 10, "Execaption");
    EXPECT_NE(ErrorOf(wrongCase), "");
}

TEST_F(ExeConfig, NumbersThatDoNotConvertTakeTheirDefaults) {
    TExeConfigInfo info = Load(Document("c", "", "wide", " 12 "));
    EXPECT_EQ(info.OpenMode, 2);
    EXPECT_EQ(info.OpenWidth, 800);
    EXPECT_EQ(info.OpenHeight, 600);
    info = Load(Document("", "$3", "0x400", "  768"));
    EXPECT_EQ(info.Caption, "");
    EXPECT_EQ(info.OpenMode, 3);
    EXPECT_EQ(info.OpenWidth, 1024);
    EXPECT_EQ(info.OpenHeight, 768);
}

TEST_F(ExeConfig, AnElementMustHoldOneTextOrNothing) {
    EXPECT_EQ(ErrorOf(Document("<!-- note -->text")),
              "Element does not contain a single text node");
    // Two sections side by side are one node to Wine's parser (not to Windows'): apart, two.
    EXPECT_EQ(ErrorOf(Document("<![CDATA[a]]><!-- --><![CDATA[b]]>")),
              "Element does not contain a single text node");
    EXPECT_EQ(ErrorOf(Document("text<![CDATA[b]]>")),
              "Element does not contain a single text node");
    EXPECT_EQ(ErrorOf(Document("<b>bold</b>")), "Element does not contain a single text node");
    EXPECT_EQ(Load(Document("<![CDATA[<not markup>]]>")).Caption, "<not markup>");
}

TEST_F(ExeConfig, EveryElementIsNeededWhateverTheMode) {
    std::string noHeight = Document("c");
    noHeight.erase(noHeight.find("<WindowOpenHeight>"), 37);
    EXPECT_NE(ErrorOf(noHeight), "");
    TExeConfigInfo info;
    info.Caption = "kept";
    TStringStream stream(noHeight);
    EXPECT_THROW(info.LoadFromStream(&stream), TError);
    EXPECT_EQ(info.Caption, "kept"); // nothing of a failed read is taken
}

TEST_F(ExeConfig, NoDocumentNoRootNoConfiguration) {
    TExeConfigInfo info;
    EXPECT_THROW(info.LoadFromStream(nullptr), TError);
    EXPECT_NE(ErrorOf("<?xml version=\"1.0\"?><Other/>"), "");
    EXPECT_NE(ErrorOf("<ExeConfig><ExeCaption>unclosed"), "");
    EXPECT_NE(ErrorOf(""), "");
}

TEST_F(ExeConfig, RefusesDocumentTypesBeforeExpandingAnything) {
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE ExeConfig [\n<!ENTITY a0 \"ha\">\n";
    for (int i = 1; i <= 30; ++i)
        laughs += "<!ENTITY a" + std::to_string(i) + " \"&a" + std::to_string(i - 1) + ";&a" +
                  std::to_string(i - 1) + ";\">\n";
    laughs += "]>\n" + Document("&a30;").substr(Document("").find("<ExeConfig>"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf(laughs), "ExeConfig.xml declares a document type");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    const std::string external = "<?xml version=\"1.0\"?><!-- c --><!DOCTYPE ExeConfig SYSTEM "
                                 "\"file:///etc/passwd\">" +
                                 Document("x").substr(Document("").find("<ExeConfig>"));
    EXPECT_EQ(ErrorOf(external), "ExeConfig.xml declares a document type");
    std::wstring wide(external.begin(), external.end());
    EXPECT_EQ(ErrorOf(Utf16LittleEndian(wide)), "ExeConfig.xml declares a document type");
}

TEST_F(ExeConfig, ReadsWhatLeafturnPackPagesWrites) {
    TTempDir dir;
    const std::string viewer = dir.Write("viewer.exe", "MZ");
    const std::string book = dir.File("book.exe");
    dir.Write("pages/1.png", "\x89PNG\r\n\x1A\n");
    const struct {
        std::string title, open;
        int32_t mode, width, height;
    } cases[] = {
        {"Tom & Jerry <1> ]]> end", "fixed:1024x768", 1, 1024, 768},
        {WideToAnsi(L"  Caf\u00e9 \u20ac  "), "maximized", 2, 800, 600},
        {"", "fullscreen", 3, 800, 600},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        ASSERT_EQ(RunPackCommand({"pages", "--viewer", viewer, "--out", book, "--title", c.title,
                                  "--open", c.open, dir.File("pages")},
                                 out, err),
                  0)
            << err.str();
        const auto stream = GetPackageStream(TExeConfigInfo::EntryName(), book);
        ASSERT_TRUE(stream);
        TExeConfigInfo info;
        info.LoadFromStream(stream.get());
        EXPECT_EQ(info.Caption, c.title);
        EXPECT_EQ(info.OpenMode, c.mode) << c.open;
        EXPECT_EQ(info.OpenWidth, c.width);
        EXPECT_EQ(info.OpenHeight, c.height);
    }
}
