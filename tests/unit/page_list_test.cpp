// The book's page list, names relative to the file that names them, and fitting a picture.

#include <gtest/gtest.h>

#include "pages/page_list.h"

namespace {

std::vector<std::string> Sources(const TPageList& list) {
    std::vector<std::string> sources;
    for (const TPageEntry& page : list.pages)
        sources.push_back(page.src);
    return sources;
}

} // namespace

TEST(PageList, TakesTheSourceOfEachPageInDocumentOrder) {
    const TPageList list =
        ParsePageList("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<!DOCTYPE book>\n"
                      "<book title=\"x > y\">\n"
                      "  <!-- <page src=\"commented.png\"/> -->\n"
                      "  <![CDATA[ <page src=\"cdata.png\"/> ]]>\n"
                      "  <page number='1' src='page/1.png'/>\n"
                      "  <page\n\tsrc = \"page/a&amp;b&#x20;&#233;.jpg\" ></page>\n"
                      "  <pages src=\"not-a-page.png\"/>\n"
                      "  <page/>\n"
                      "  <page src=\"&bogus; &#0; &#xD800;\"/>\n"
                      "</book>\n");
    EXPECT_TRUE(list.complete);
    EXPECT_EQ(Sources(list), (std::vector<std::string>{"page/1.png", "page/a&b \xC3\xA9.jpg",
                                                       "&bogus; &#0; &#xD800;"}));
    EXPECT_EQ(list.title, "x > y");
}

TEST(PageList, KeepsThePagesBeforeTheTextBreaksOff) {
    const std::string whole = "<book><page src=\"1.png\"/><page src=\"2.png\"/></book>";
    for (size_t length = 0; length < whole.size(); ++length) {
        const TPageList list = ParsePageList(whole.substr(0, length));
        EXPECT_LE(list.pages.size(), 2u) << length;
        if (length < 25) {
            EXPECT_TRUE(list.pages.empty()) << length;
        }
    }
    EXPECT_FALSE(ParsePageList("<book><page src=\"1.png\"/><page src=\"2.p").complete);
    EXPECT_FALSE(ParsePageList("<book><page src=1.png/>").complete);
    EXPECT_FALSE(ParsePageList("<!-- never closed <page src=\"1.png\"/>").complete);
    EXPECT_TRUE(ParsePageList("no markup at all").complete);
}

TEST(PageList, StopsAtTheLimit) {
    std::string xml;
    for (size_t i = 0; i < kMaxPages + 5; ++i)
        xml += "<page src=\"p.png\"/>";
    const TPageList list = ParsePageList(xml);
    EXPECT_EQ(list.pages.size(), kMaxPages);
    EXPECT_FALSE(list.complete);
}

TEST(RelativeNames, ResolveAgainstTheFolderOfTheNamingFile) {
    EXPECT_EQ(ResolveRelative(L"http://lt/book.swf", L"files/book.xml"),
              L"http://lt/files/book.xml");
    EXPECT_EQ(ResolveRelative(L"http://lt/files/book.xml", L"./page/1.png"),
              L"http://lt/files/page/1.png");
    EXPECT_EQ(ResolveRelative(L"flvplayback.swf", L"clearoverall.swf"), L"clearoverall.swf");
    EXPECT_EQ(ResolveRelative(L"C:\\books\\book.swf", L"a.xml"), L"C:\\books\\a.xml");
    EXPECT_EQ(ResolveRelative(L"http://lt/book.swf", L"http://other/x.flv"), L"http://other/x.flv");
    EXPECT_EQ(ResolveRelative(L"http://lt/book.swf", L"Z:/x.flv"), L"Z:/x.flv");
    EXPECT_EQ(ResolveRelative(L"http://lt/book.swf", L"/x.flv"), L"/x.flv");
    EXPECT_EQ(ResolveRelative(L"http://lt/book.swf", L"a/b:c.png"), L"http://lt/a/b:c.png");
}

TEST(PageList, TakesTheLargePictureAndTheFirstBooksTitle) {
    const TPageList list = ParsePageList("<book title='Tom &amp; Jerry'>"
                                         "<page src=\"page/0001.png\" large=\"large/0001.png\"/>"
                                         "<page large='large/2.png' src='page/2.png'></page>"
                                         "<page src='page/3.png' large=''/>"
                                         "<page large='large/4.png'/>"
                                         "<book title='second'/></book>");
    EXPECT_TRUE(list.complete);
    EXPECT_EQ(list.title, "Tom & Jerry");
    ASSERT_EQ(list.pages.size(), 3u);
    EXPECT_EQ(list.pages[0].large, "large/0001.png");
    EXPECT_EQ(list.pages[1].src, "page/2.png");
    EXPECT_EQ(list.pages[1].large, "large/2.png");
    EXPECT_EQ(list.pages[2].large, "");
    EXPECT_EQ(ParsePageList("<book><page src='1.png'/></book>").title, "");
}

TEST(FitRect, KeepsTheProportionsCentredAndRoundsAsMulDiv) {
    EXPECT_EQ(FitRect(100, 50, {0, 0, 200, 200}), (TRect{0, 50, 200, 150}));
    EXPECT_EQ(FitRect(50, 100, {10, 20, 210, 220}), (TRect{60, 20, 160, 220}));
    EXPECT_EQ(FitRect(3, 2, {0, 0, 10, 10}), (TRect{0, 1, 10, 8})); // 6.67 rounds to 7
    EXPECT_EQ(FitRect(2000, 3000, {0, 0, 960, 1080}), (TRect{120, 0, 840, 1080}));
    EXPECT_TRUE(RectIsEmpty(FitRect(0, 10, {0, 0, 10, 10})));
    EXPECT_TRUE(RectIsEmpty(FitRect(10, 10, {5, 5, 5, 50})));
}
