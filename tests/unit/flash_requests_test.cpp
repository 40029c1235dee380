#include <gtest/gtest.h>

#include <set>

#include "base/text.h"
#include "qel/host/qel_flash_requests.h"

namespace {

const std::string kBase(kVirtualBaseUrl);
const std::string kExeDir = "c:\\book\\";

// Sources with no stored movies, the playback resources, and the given loose files (local
// paths as LocalFilePath makes them).
TRequestSources Sources(std::set<std::string> files = {}, std::set<std::string> listItems = {}) {
    TRequestSources sources;
    sources.exeDir = kExeDir;
    sources.hasResource = [](const std::string& name) {
        for (const char* resource : {"FLVPLAYBACK", "CLEAROVERALL", "STEEL", "MOJAVE"})
            if (SameTextAscii(name, resource))
                return true;
        return false;
    };
    sources.fileExists = [files](const std::string& path) { return files.count(path) > 0; };
    if (!listItems.empty())
        sources.hasListItem = [listItems](const std::string& name) {
            return listItems.count(name) > 0;
        };
    return sources;
}

std::string Target(const std::string& request, const TRequestSources& sources = Sources()) {
    const TRequestChoice choice = ChooseRequestTarget(request, sources);
    switch (choice.verdict) {
    case TRequestVerdict::Declined:
        return "<declined>";
    case TRequestVerdict::Accepted:
        return "<accepted>";
    case TRequestVerdict::Target:
        return choice.target;
    }
    return "";
}

} // namespace

TEST(RequestTargets, FollowTheWorkedMapping) {
    EXPECT_EQ(Target(kBase + "book.swf"), "<exe>book.swf");
    EXPECT_EQ(Target(kBase + "files/book.xml"), "<exe>files/book.xml");
    EXPECT_EQ(Target("flvplayback.swf"), "<res>flvplayback.swf");
    EXPECT_EQ(Target("clearoverall.swf"), "<res>clearoverall.swf");
    EXPECT_EQ(Target("./page.gif"), "<declined>");
}

TEST(RequestTargets, LooseFilesBesideTheExecutableComeBeforeThePackage) {
    const auto sources = Sources({"c:\\book\\files\\book.xml"});
    EXPECT_EQ(Target(kBase + "files/book.xml", sources), "c:/book/files/book.xml");
    // Without the base, the request is looked for beside the executable as it stands.
    EXPECT_EQ(Target("files/book.xml", sources), "c:/book/files/book.xml");
    EXPECT_EQ(Target(kBase + "files/other.xml", sources), "<exe>files/other.xml");
}

TEST(RequestTargets, StoredMoviesComeFirstByFileName) {
    const auto sources = Sources({"c:\\book\\intro.swf"}, {"intro.swf"});
    EXPECT_EQ(Target(kBase + "Intro.swf?x=1", sources), "<list>intro.swf");
    EXPECT_EQ(Target(kBase + "intro.swf", sources), "<list>intro.swf");
    EXPECT_EQ(Target("dir/intro.swf", sources), "<list>intro.swf");
}

TEST(RequestTargets, FilterExtensionsCaseSensitivelyAnywhere) {
    EXPECT_EQ(Target(kBase + "MOVIE.SWF"), "<declined>");
    EXPECT_EQ(Target(kBase + "notes.ADF"), "<exe>notes.ADF");
    EXPECT_EQ(Target(kBase + "notes.adf"), "<exe>notes.adf");
    EXPECT_EQ(Target(kBase + "notes.Adf"), "<declined>");
    // A script page whose query names an XML file passes, because ".xml" occurs in it.
    EXPECT_EQ(Target("http://example.com/page.php?file=a.xml"),
              "http://example.com/page.php?file=a.xml");
    EXPECT_EQ(Target(kBase + "picture.gif"), "<declined>");
}

TEST(RequestTargets, TreatTheBaseAsPartOfResourceNames) {
    // StripExtension keeps the base, so no resource is found: the package is asked instead.
    EXPECT_EQ(Target(kBase + "flvplayback.swf"), "<exe>flvplayback.swf");
    EXPECT_EQ(Target("./steel.swf"), "<res>steel.swf");
}

TEST(RequestTargets, PackageNamesDropEverythingUpToTheirLastBackslashOrColon) {
    EXPECT_EQ(Target(kBase + "files/page/1.jpg"), "<exe>files/page/1.jpg");
    EXPECT_EQ(Target(kBase + "files\\page\\1.jpg"), "<exe>1.jpg");
    EXPECT_EQ(Target(kBase + "c:files/x.png"), "<exe>files/x.png");
}

TEST(RequestTargets, LocalAndRemoteRequestsOutsideTheBase) {
    EXPECT_EQ(Target("file://"), "<accepted>");
    EXPECT_EQ(Target("./file://"), "<accepted>");
    EXPECT_EQ(Target("http://example.com/a.swf"), "http://example.com/a.swf");
    EXPECT_EQ(Target("file:///c:/missing.xml"), "<accepted>");
    const auto sources = Sources({"c:\\data\\movie one.swf"});
    EXPECT_EQ(Target("file:///C:/Data/Movie%20One.swf", sources),
              "file:///C:/Data/Movie%20One.swf");
    EXPECT_EQ(Target("c:\\data\\x.xml", Sources()), "c:/data/x.xml");
    // The file checked is the one the target names, separators made "/".
    EXPECT_EQ(Target("file://\\\\server\\x.xml", Sources({"\\\\server\\x.xml"})), "<accepted>");
    EXPECT_EQ(Target("file:/\\missing.xml"), "<accepted>");
}

TEST(RequestTargets, StreamLoadsGoStraightToTheirStream) {
    const auto sources = Sources({}, {"0000001a.swf"});
    EXPECT_EQ(Target(kBase + "<stream>0000001A.swf", sources), "<stream>0000001A.swf");
    EXPECT_EQ(Target(kBase + "<astream>0000001A.flv", sources), "<astream>0000001A.flv");
}

TEST(RequestText, FileNamesAndLocalPaths) {
    EXPECT_EQ(RequestFileName("Dir/Movie%20One.SWF?a=1&b=2"), "movie one.swf");
    EXPECT_EQ(RequestFileName("a|b:c\\d/e.xml"), "e.xml");
    EXPECT_EQ(RequestFileName("plain.xml"), "plain.xml");
    EXPECT_EQ(LocalFilePath("FILE:///C|/Dir%2FSub/A%20B.XML?x"), "c:\\dir\\sub\\a b.xml");
    EXPECT_EQ(LocalFilePath("/x/y&z"), "x\\y");
    EXPECT_EQ(LocalFilePath("a%3Fb"), "a"); // the decoded "?" starts a query
    EXPECT_EQ(LocalFilePath("%2D%26"), "-");
}

TEST(RequestText, ReplaceAllAndStripExtension) {
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("abcabc", "bc", "x"), "axax");
    EXPECT_EQ(ReplaceAll("same", "s", "s"), "same");
    EXPECT_EQ(StripExtension("http://ltb/movie.swf"), "http://ltb/movie");
    EXPECT_EQ(StripExtension("http://a.b/file"), "http://a");
    EXPECT_EQ(StripExtension("noext"), "noext");
}

TEST(RequestText, StreamTokensAreEightUppercaseHexDigits) {
    EXPECT_EQ(FormatStreamToken(0x1A), "0000001A");
    EXPECT_EQ(FormatStreamToken(0xDEADBEEF), "DEADBEEF");
    EXPECT_EQ(ParseStreamToken("DEADBEEF"), 0xDEADBEEFu);
    EXPECT_EQ(ParseStreamToken("0000001a"), 0x1Au);
    EXPECT_EQ(ParseStreamToken("0000001"), std::nullopt);
    EXPECT_EQ(ParseStreamToken("0000001G"), std::nullopt);
    EXPECT_EQ(ParseStreamToken("-0000001"), std::nullopt);
}
