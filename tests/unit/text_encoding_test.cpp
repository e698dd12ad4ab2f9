#include <gtest/gtest.h>

#include "app/NumberText.h"
#include "app/TextEncoding.h"

using namespace nb;

TEST(TextEncoding, Utf8ToGbkGivesTheCodePageBytes) {
    EXPECT_EQ(Utf8ToGbk("电信区"), "\xB5\xE7\xD0\xC5\xC7\xF8");
    EXPECT_EQ(Utf8ToGbk("plain ascii"), "plain ascii");
    EXPECT_EQ(GbkToUtf8("\xB5\xE7\xD0\xC5\xC7\xF8"), "电信区");
}

TEST(TextEncoding, UnconvertibleAndInvalidInputBecomesQuestionMarks) {
    // Korean Hangul and an emoji are not in GBK; an invalid UTF-8 byte is skipped as one unit.
    EXPECT_EQ(Utf8ToGbk("a한b"), "a?b");
    EXPECT_EQ(Utf16ToGbk(u"x\U0001F600y"), "x?y");
    EXPECT_EQ(Utf8ToGbk("a\xFF" "b"), "a?b");
    // A lone lead byte at the end of GBK text.
    EXPECT_EQ(GbkToUtf16("ab\xB5"), u"ab?");
}

TEST(TextEncoding, WideConversions) {
    EXPECT_EQ(GbkToUtf16("\xB5\xE7\xD0\xC5\xC7\xF8"), u"电信区");
    EXPECT_EQ(Utf16ToGbk(u"电信区"), "\xB5\xE7\xD0\xC5\xC7\xF8");
    // "缺少文件，請重新安裝" as stored in Big5.
    EXPECT_EQ(Big5ToUtf16("\xAF\xCA\xA4\xD6\xA4\xE5\xA5\xF3\xA1\x41\xBD\xD0\xAD\xAB\xB7\x73\xA6\x77\xB8\xCB"),
              u"缺少文件，請重新安裝");
}

TEST(TextEncoding, LowerCaseLeavesDoubleByteCharactersAlone) {
    // 0xC7 0x41 is not valid GBK but shows the rule: a trail byte that looks like 'A' stays.
    EXPECT_EQ(GbkToLower("AbC\xB5\xE7Z"), "abc\xB5\xE7z");
    EXPECT_EQ(GbkToLower("\x81\x41Q"), "\x81\x41q");
}

TEST(NumberText, ReadsLikeAtoiAndSaturates) {
    EXPECT_EQ(AtoiSaturating("12abc"), 12);
    EXPECT_EQ(AtoiSaturating("  -7"), -7);
    EXPECT_EQ(AtoiSaturating("+42"), 42);
    EXPECT_EQ(AtoiSaturating(""), 0);
    EXPECT_EQ(AtoiSaturating("abc"), 0);
    EXPECT_EQ(AtoiSaturating("- 5"), 0);
    EXPECT_EQ(AtoiSaturating("2147483647"), 2147483647);
    EXPECT_EQ(AtoiSaturating("99999999999"), 2147483647);
    EXPECT_EQ(AtoiSaturating("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(AtoiSaturating("-99999999999999999999999"), -2147483647 - 1);
}
