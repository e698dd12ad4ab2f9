#include <gtest/gtest.h>

#include "TestPaths.h"
#include "platform/Files.h"
#include "platform/IniProfile.h"

using nb::platform::GetProfileString;
using nb::platform::IniDocument;
using nb::platform::WriteProfileString;
using nb::platform::WriteProfileStrings;

TEST(IniProfile, FollowsTheProfileReadingRules) {
    IniDocument doc(
        "; comment=ignored\r\n"
        "orphan=before any section\r\n"
        "[Version]\r\n"
        "  BUILD  =  12  \r\n"
        "build=13\r\n"
        "ver=1.0.12 beta\r\n"
        "empty=\r\n"
        "[other]\n"
        "ver=2\n");
    EXPECT_EQ(doc.Get("VERSION", "build", "x"), "12");  // names without case, first key wins
    EXPECT_EQ(doc.Get("version", "VER", "x"), "1.0.12 beta");
    EXPECT_EQ(doc.Get("VERSION", "empty", "x"), "");    // present but empty is not missing
    EXPECT_EQ(doc.Get("VERSION", "missing", "dflt"), "dflt");
    EXPECT_EQ(doc.Get("nosection", "ver", "dflt"), "dflt");
    EXPECT_EQ(doc.Get("other", "ver", ""), "2");        // LF-only lines in the same file
    EXPECT_EQ(doc.Get("", "orphan", "dflt"), "dflt");
}

TEST(IniProfile, OnePairOfSurroundingQuotesIsRemoved) {
    IniDocument doc(
        "[s]\n"
        "double=\"12\"\n"
        "single=  'a b'  \n"
        "inner=a\"b\"c\n"
        "twice=\"\"x\"\"\n"
        "mixed=\"x'\n"
        "open=\"x\n"
        "lone=\"\n"
        "empty=\"\"\n"
        "blanks=\" x \"\n"
        "long=\"" + std::string(300, 'q') + "\"\n");
    EXPECT_EQ(doc.Get("s", "double", ""), "12");
    EXPECT_EQ(doc.Get("s", "single", ""), "a b");
    EXPECT_EQ(doc.Get("s", "inner", ""), "a\"b\"c");
    EXPECT_EQ(doc.Get("s", "twice", ""), "\"x\"");
    EXPECT_EQ(doc.Get("s", "mixed", ""), "\"x'");
    EXPECT_EQ(doc.Get("s", "open", ""), "\"x");
    EXPECT_EQ(doc.Get("s", "lone", ""), "\"");
    EXPECT_EQ(doc.Get("s", "empty", "dflt"), "");
    EXPECT_EQ(doc.Get("s", "blanks", ""), " x ");
    EXPECT_EQ(doc.Get("s", "long", "", 256), std::string(255, 'q'));  // cut after the quotes go
}

TEST(IniProfile, OnlyTheFirstOfDuplicateSectionsCounts) {
    IniDocument doc("[a]\nk=1\n[b]\nx=0\n[A]\nk=2\nj=3\n");
    EXPECT_EQ(doc.Get("a", "k", ""), "1");
    EXPECT_EQ(doc.Get("a", "j", "none"), "none");
}

TEST(IniProfile, ValuesAreCutToTheCallersBuffer) {
    std::string longValue(10000, 'v');
    IniDocument doc("[s]\nk=" + longValue + "\n");
    EXPECT_EQ(doc.Get("s", "k", "", 256).size(), 255u);
    EXPECT_EQ(doc.Get("s", "k", "", 1).size(), 0u);
    EXPECT_EQ(doc.Get("s", "missing", std::string(300, 'd'), 256).size(), 255u);
}

TEST(IniProfile, BadFilesGiveDefaultsWithoutCrashing) {
    nb::test::ScopedTempDir dir;
    EXPECT_EQ(GetProfileString("s", "k", "d", dir.File("absent.ini")), "d");
    nb::test::WriteFile(dir.File("empty.ini"), "");
    EXPECT_EQ(GetProfileString("s", "k", "d", dir.File("empty.ini")), "d");
    static const char binary[] = "\0\xff[s\x01]\nk\0=\xfe\n[s]\nk=ok";
    nb::test::WriteFile(dir.File("binary.ini"), std::string(binary, sizeof binary - 1));
    EXPECT_EQ(GetProfileString("s", "k", "d", dir.File("binary.ini")), "ok");
    nb::test::WriteFile(dir.File("nosection.ini"), "k=v\nbuild=7\n");
    EXPECT_EQ(GetProfileString("VERSION", "build", "", dir.File("nosection.ini")), "");
}

TEST(IniProfile, KeyedWritesKeepEveryOtherByte) {
    nb::test::ScopedTempDir dir;
    const std::string file = dir.File("nbnversion.vsn");
    nb::test::WriteFile(file, "; installed build\r\n[VERSION]\r\nBuild = 12\r\nver=1.0.12\r\n\r\n[extra]\r\nkeep=me  \r\n");
    ASSERT_TRUE(WriteProfileString("version", "build", "13", file));
    EXPECT_EQ(nb::test::ReadFile(file),
              "; installed build\r\n[VERSION]\r\nBuild=13\r\nver=1.0.12\r\n\r\n[extra]\r\nkeep=me  \r\n");

    ASSERT_TRUE(WriteProfileString("VERSION", "date", "2026", file));  // added at the end of its section
    EXPECT_EQ(nb::test::ReadFile(file),
              "; installed build\r\n[VERSION]\r\nBuild=13\r\nver=1.0.12\r\ndate=2026\r\n\r\n[extra]\r\nkeep=me  \r\n");

    ASSERT_TRUE(WriteProfileString("new", "k", "v", file));  // a new section at the end
    EXPECT_EQ(nb::test::ReadFile(file).substr(nb::test::ReadFile(file).size() - 12), "[new]\r\nk=v\r\n");
}

TEST(IniProfile, WritesIntoFilesWithoutTrailingLineEndOrMissingFiles) {
    nb::test::ScopedTempDir dir;
    const std::string file = dir.File("a.ini");
    nb::test::WriteFile(file, "[VERSION]\nbuild=1");
    ASSERT_TRUE(WriteProfileStrings("VERSION", {{"build", "2"}, {"ver", "1.2"}}, file));
    EXPECT_EQ(nb::test::ReadFile(file), "[VERSION]\nbuild=2\nver=1.2\n");

    const std::string fresh = dir.File("fresh.ini");
    ASSERT_TRUE(WriteProfileString("VERSION", "build", "5", fresh));
    EXPECT_EQ(GetProfileString("VERSION", "build", "", fresh), "5");
}

TEST(IniProfile, AWriteAfterALastLineEndingInALoneCrKeepsThatLinesValue) {
    nb::test::ScopedTempDir dir;
    const std::string file = dir.File("nbnversion.vsn");
    nb::test::WriteFile(file, "[VERSION]\r\nbuild=1\r\nver=1.0.1\r");
    ASSERT_TRUE(WriteProfileString("VERSION", "date", "2026", file));
    EXPECT_EQ(GetProfileString("VERSION", "ver", "", file), "1.0.1");
    EXPECT_EQ(nb::test::ReadFile(file), "[VERSION]\r\nbuild=1\r\nver=1.0.1\r\ndate=2026\r\n");

    nb::test::WriteFile(file, "[VERSION]\nver=1.0.1\r");
    ASSERT_TRUE(WriteProfileString("other", "k", "v", file));
    EXPECT_EQ(GetProfileString("VERSION", "ver", "", file), "1.0.1");
    EXPECT_EQ(GetProfileString("other", "k", "", file), "v");
}

TEST(IniProfile, AFailedWriteLeavesTheFileAsItWas) {
    nb::test::ScopedTempDir dir;
    const std::string file = dir.File("nbnversion.vsn");
    nb::test::WriteFile(file, "[VERSION]\nbuild=1\n");
    // A folder where the temporary file would go makes the write fail even for root.
    ASSERT_TRUE(nb::platform::MakeFolder(file + ".tmp~"));
    EXPECT_FALSE(WriteProfileString("VERSION", "build", "2", file));
    EXPECT_EQ(nb::test::ReadFile(file), "[VERSION]\nbuild=1\n");
}
