#include <gtest/gtest.h>

#include "flash_standin/scene.h"

TEST(StandinScene, ReadsPagesKeysAndTheFullscreenKey) {
    const auto scene = ParseScene("\xEF\xBB\xBFLEAFTURN-SCENE 1  \r\n"
                                  "\r\n"
                                  "# comment\n"
                                  "pages files/book list.xml\r\n"
                                  "next-keys Right pagedown Space\n"
                                  "next-keys N\n"
                                  "prev-keys Left PageUp 0x42\n"
                                  "fullscreen-key f\n");
    ASSERT_TRUE(scene);
    EXPECT_EQ(scene->pages, "files/book list.xml");
    EXPECT_EQ(scene->nextKeys, (std::vector<uint8_t>{0x27, 0x22, 0x20, 'N'}));
    EXPECT_EQ(scene->prevKeys, (std::vector<uint8_t>{0x25, 0x21, 0x42}));
    EXPECT_EQ(scene->fullscreenKey, 'F');
    EXPECT_TRUE(scene->notes.empty());
}

TEST(StandinScene, IsRecognisedOnlyByItsExactFirstLine) {
    EXPECT_FALSE(ParseScene(""));
    EXPECT_FALSE(ParseScene("LEAFTURN-SCENE 2\npages a.xml\n"));
    EXPECT_FALSE(ParseScene("leafturn-scene 1\n"));
    EXPECT_FALSE(ParseScene("FWS\x06 binary movie"));
    EXPECT_FALSE(ParseScene("# LEAFTURN-SCENE 1\n"));
    EXPECT_TRUE(ParseScene("LEAFTURN-SCENE 1")); // nothing more: a scene without pages
}

TEST(StandinScene, NotesWhatItCannotUseAndKeepsTheRest) {
    const auto scene = ParseScene(std::string("LEAFTURN-SCENE 1\n"
                                              "next-keys Right Sideways F99 F0\n"
                                              "fullscreen-key F Home\n"
                                              "turn-pages quickly\n"
                                              "pages\n") +
                                  std::string("\0\xFF\n", 3));
    ASSERT_TRUE(scene);
    EXPECT_EQ(scene->nextKeys, std::vector<uint8_t>{0x27});
    EXPECT_EQ(scene->fullscreenKey, 0);
    EXPECT_TRUE(scene->pages.empty());
    EXPECT_EQ(scene->notes,
              (std::vector<std::string>{
                  "unknown key \"Sideways\"", "unknown key \"F99\"", "unknown key \"F0\"",
                  "line 3: fullscreen-key takes one key", "line 4 not understood",
                  "line 5 not understood", "line 6 not understood"}));
}

TEST(StandinScene, KeyNamesCoverLettersDigitsFunctionKeysAndCodes) {
    EXPECT_EQ(KeyCodeFromName("a"), 'A');
    EXPECT_EQ(KeyCodeFromName("7"), '7');
    EXPECT_EQ(KeyCodeFromName("F1"), 0x70);
    EXPECT_EQ(KeyCodeFromName("f24"), 0x87);
    EXPECT_EQ(KeyCodeFromName("ENTER"), 0x0D);
    EXPECT_EQ(KeyCodeFromName("$41"), 0x41);
    EXPECT_EQ(KeyCodeFromName("255"), 0);
    EXPECT_EQ(KeyCodeFromName("-5"), 0);
    EXPECT_EQ(KeyCodeFromName("F+1"), 0);
    EXPECT_EQ(KeyCodeFromName("%"), 0);
}

TEST(StandinPageList, TakesTheSourceOfEachPageInDocumentOrder) {
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
    EXPECT_EQ(list.pages, (std::vector<std::string>{"page/1.png", "page/a&b \xC3\xA9.jpg",
                                                    "&bogus; &#0; &#xD800;"}));
}

TEST(StandinPageList, KeepsThePagesBeforeTheTextBreaksOff) {
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

TEST(StandinPageList, StopsAtTheLimit) {
    std::string xml;
    for (size_t i = 0; i < kMaxPages + 5; ++i)
        xml += "<page src=\"p.png\"/>";
    const TPageList list = ParsePageList(xml);
    EXPECT_EQ(list.pages.size(), kMaxPages);
    EXPECT_FALSE(list.complete);
}

TEST(StandinRelativeNames, ResolveAgainstTheFolderOfTheNamingFile) {
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

TEST(StandinScene, CommandKeysSendTheirTextsAsWritten) {
    const auto scene = ParseScene("LEAFTURN-SCENE 1\n"
                                  "command-key F2 FullScreen true\n"
                                  "command-key F3 fullscreen TRUE\n"
                                  "command-key F4 noargs\n"
                                  "command-key F5\n");
    ASSERT_TRUE(scene);
    ASSERT_EQ(scene->commands.size(), 3u);
    EXPECT_EQ(scene->commands[0].key, 0x71);
    EXPECT_EQ(scene->commands[0].command, "FullScreen");
    EXPECT_EQ(scene->commands[0].args, "true");
    EXPECT_EQ(scene->commands[1].args, "TRUE");
    EXPECT_EQ(scene->commands[2].args, "");
    EXPECT_EQ(scene->notes.size(), 1u); // the key without a command
}
