#include <gtest/gtest.h>

#include "base/int_from_text.h"

TEST(IntFromText, ConvertsDecimalAndEveryHexadecimalForm) {
    EXPECT_EQ(IntFromText("42", -1), 42);
    EXPECT_EQ(IntFromText("   -17", -1), -17);
    EXPECT_EQ(IntFromText("+5", -1), 5);
    EXPECT_EQ(IntFromText("007", -1), 7);
    EXPECT_EQ(IntFromText("$1F", -1), 31);
    EXPECT_EQ(IntFromText("x1f", -1), 31);
    EXPECT_EQ(IntFromText("X10", -1), 16);
    EXPECT_EQ(IntFromText("0x10", -1), 16);
    EXPECT_EQ(IntFromText("0XfF", -1), 255);
    EXPECT_EQ(IntFromText("-$10", -1), -16);
}

TEST(IntFromText, TakesTheSigned32BitRangeExactly) {
    EXPECT_EQ(IntFromText("-2147483648", 1), INT32_MIN);
    EXPECT_EQ(IntFromText("2147483647", 1), INT32_MAX);
    EXPECT_EQ(IntFromText("$7FFFFFFF", 1), INT32_MAX);
    EXPECT_EQ(IntFromText("-$80000000", 1), INT32_MIN);
    EXPECT_EQ(IntFromText("2147483648", 1), 1);
    EXPECT_EQ(IntFromText("-2147483649", 1), 1);
    EXPECT_EQ(IntFromText("$80000000", 1), 1);
    EXPECT_EQ(IntFromText("99999999999999999999999", 1), 1);
}

TEST(IntFromText, AnythingElseGivesTheDefault) {
    for (const char* text : {"", " ", "+", "-", "0x", "$", "x", "12 ", "1a", "$G", " 1 2", "\t1",
                             "++1", "0x-1", "1e3", "٣"})
        EXPECT_EQ(IntFromText(text, 77), 77) << '"' << text << '"';
}
