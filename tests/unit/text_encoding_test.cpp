#include <gtest/gtest.h>

#include "app/NumberText.h"
#include "app/TextEncoding.h"

using namespace nb;

TEST(TextEncoding, Utf8ToGbkGivesTheCodePageBytes) {
    EXPECT_EQ(Utf8ToGbk("电信区"), "\xB5\xE7\xD0\xC5\xC7\xF8");
    EXPECT_EQ(Utf8ToGbk("plain ascii"), "plain ascii");
    EXPECT_EQ(GbkToUtf8("\xB5\xE7\xD0\xC5\xC7\xF8"), "电信区");
}

TEST(TextEncoding, EachInvalidUnitOfTheCodePagesBecomesOneQuestionMark) {
    // A lead byte with a valid trail byte is one unit, whether or not it names a character;
    // a lead byte without one is a unit of its own and the next byte is read anew.
    EXPECT_EQ(GbkToUtf16("\x80"), u"\u20AC");
    EXPECT_EQ(GbkToUtf16("a\xFF\xFF" "b"), u"a??b");
    EXPECT_EQ(GbkToUtf16("\x81\x20"), u"? ");
    EXPECT_EQ(GbkToUtf16("\x81\xFF"), u"??");
    EXPECT_EQ(GbkToUtf16("\xA1\x7F"), u"?\x7F");
    EXPECT_EQ(GbkToUtf16("\xAA\xA1\xB5\xE7"), u"?\u7535");  // a user-defined pair, then 电
    EXPECT_EQ(GbkToUtf16("\xF8\xA1"), u"?");
    EXPECT_EQ(GbkToUtf16("ab\xB5"), u"ab?");
    EXPECT_EQ(GbkToUtf8("\xB5\xE7\x81\x20\xFF"), "\xE7\x94\xB5? ?");
    EXPECT_EQ(Big5ToUtf16("\x81\x40\xA4\x40"), u"?\u4E00");
    EXPECT_EQ(Big5ToUtf16("\xA4\x20"), u"? ");
    EXPECT_EQ(Big5ToUtf16("\xC8\x7E"), u"?");  // some tables give a private-use character
}

TEST(TextEncoding, EachInvalidUnitOfUnicodeBecomesOneQuestionMark) {
    // UTF-8: one '?' per maximal subpart of an ill-formed sequence.
    EXPECT_EQ(Utf8ToGbk("a\xFF" "b"), "a?b");
    EXPECT_EQ(Utf8ToGbk("a\xC0\x80" "b"), "a??b");                // overlong
    EXPECT_EQ(Utf8ToGbk("\xED\xA0\x80"), "???");                 // a surrogate
    EXPECT_EQ(Utf8ToGbk("\xF4\x90\x80\x80"), "????");            // beyond U+10FFFF
    EXPECT_EQ(Utf8ToGbk("\xE4\xB8"), "?");                        // cut short at the end
    EXPECT_EQ(Utf8ToGbk("\xE4\xB8x\xE7\x94\xB5"), "?x\xB5\xE7");
    // Characters the code page lacks, and private-use ones, which some tables would map.
    EXPECT_EQ(Utf8ToGbk("a한b"), "a?b");
    EXPECT_EQ(Utf8ToGbk("\xE2\x82\xAC\xEE\x80\x80\xEF\xA3\xBF"), "\x80??");
    EXPECT_EQ(Utf8ToBig5("\xEF\x9F\xAA\xE4\xB8\x80"), "?\xA4\x40");
    // UTF-16: a surrogate pair is one character, a lone surrogate one unit.
    EXPECT_EQ(Utf16ToGbk(u"x\U0001F600y"), "x?y");
    EXPECT_EQ(Utf16ToGbk(std::u16string(u"\xD800x\xDC00")), "?x?");
    EXPECT_EQ(Utf16ToGbk(u"\uE000\u20AC"), "?\x80");
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
