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
    EXPECT_EQ(KeyCodeFromName({}), 0); // a line that ends after its keyword
}

TEST(StandinScene, CommandKeysSendTheirTextsAsWritten) {
    const auto scene = ParseScene("LEAFTURN-SCENE 1\n"
                                  "command-key F2 FullScreen true\n"
                                  "command-key F3 fullscreen TRUE\n"
                                  "command-key F4 noargs\n"
                                  "command-key F5\n"
                                  "command-key F6 go\x01\n"
                                  "command-key F7 go\x01 x\n");
    ASSERT_TRUE(scene);
    ASSERT_EQ(scene->commands.size(), 5u);
    EXPECT_EQ(scene->commands[0].key, 0x71);
    EXPECT_EQ(scene->commands[0].command, "FullScreen");
    EXPECT_EQ(scene->commands[0].args, "true");
    EXPECT_EQ(scene->commands[1].args, "TRUE");
    EXPECT_EQ(scene->commands[2].args, "");
    // A control character ends a word as a blank does, whether the line goes on or not.
    EXPECT_EQ(scene->commands[3].command, "go");
    EXPECT_EQ(scene->commands[4].command, "go");
    EXPECT_EQ(scene->commands[4].args, "x");
    EXPECT_EQ(scene->notes.size(), 1u); // the key without a command
}
