#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TestPaths.h"
#include "platform/ExecutablePath.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

using nb::platform::kPathSeparator;
using nb::test::ScopedTempDir;

// "电信区" and "乗" in code page 936; the second byte of "乗" is the backslash's 0x5C.
const std::string kZone = "\xB5\xE7\xD0\xC5\xC7\xF8";
const std::string kTrailBackslash = "\x81\x5C";

std::string Sep() { return std::string(1, kPathSeparator); }

// The lines the test child wrote, once its file is there (it is renamed into place whole).
std::vector<std::string> ChildOutput(const std::string& file) {
    std::string text;
    for (int i = 0; i < 600 && !nb::platform::ReadWholeFile(file, text); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::vector<std::string> lines;
    size_t pos = 0;
    for (size_t nl; (nl = text.find('\n', pos)) != std::string::npos; pos = nl + 1) {
        lines.push_back(text.substr(pos, nl - pos));
    }
    return lines;
}

TEST(PlatformPaths, LastSeparatorSkipsSecondBytesOfDoubleByteCharacters) {
    using nb::platform::LastPathSeparator;
    EXPECT_EQ(LastPathSeparator("dir" + Sep() + kTrailBackslash + "x.exe"), 3u);
    EXPECT_EQ(LastPathSeparator(kZone + Sep() + kTrailBackslash), 6u);
    EXPECT_EQ(LastPathSeparator(kTrailBackslash + "name"), std::string::npos);
    EXPECT_EQ(LastPathSeparator(""), std::string::npos);
}

TEST(PlatformFiles, RenameTakesThePlaceOfAnExistingFile) {
    // As a finished download does: the partial file becomes the target, whatever was there.
    ScopedTempDir dir;
    const std::string target = dir.File("zonelist.xml");
    const std::string part = target + ".dlhalf!";
    nb::test::WriteFile(target, "old");
    nb::test::WriteFile(part, "new");
    ASSERT_TRUE(nb::platform::RenameReplacing(part, target));
    EXPECT_EQ(nb::test::ReadFile(target), "new");
    EXPECT_FALSE(nb::platform::FileExists(part));
    EXPECT_FALSE(nb::platform::RenameReplacing(part, target));
    EXPECT_EQ(nb::test::ReadFile(target), "new");
}

TEST(PlatformFiles, WorkInFoldersWithChineseNames) {
    ScopedTempDir dir;
    const std::string folder = dir.Path() + kZone + kTrailBackslash;
    ASSERT_TRUE(nb::platform::MakeFolder(folder));
    const std::string file = folder + Sep() + kZone + ".ini";

    EXPECT_FALSE(nb::platform::FileExists(file));
    ASSERT_TRUE(nb::platform::ReplaceFileAtomically(file, std::string("a\0b\r\n", 5)));
    ASSERT_TRUE(nb::platform::ReplaceFileAtomically(file, "second"));
    std::string content;
    ASSERT_TRUE(nb::platform::ReadWholeFile(file, content));
    EXPECT_EQ(content, "second");


    const std::string copy = folder + Sep() + "copy.bin";
    ASSERT_TRUE(nb::platform::ReplaceFileAtomically(copy, "old and longer"));
    ASSERT_TRUE(nb::platform::CopyFileOverwrite(file, copy));
    ASSERT_TRUE(nb::platform::ReadWholeFile(copy, content));
    EXPECT_EQ(content, "second");
    // Nothing of the temporary files is left beside them.
    EXPECT_EQ(nb::test::FolderEntries(folder), (std::vector<std::string>{"copy.bin", kZone + ".ini"}));

    // A finished download takes the place of the previous one.
    const std::string part = folder + Sep() + "copy.bin.dlhalf!";
    ASSERT_TRUE(nb::platform::ReplaceFileAtomically(part, "fresh"));
    ASSERT_TRUE(nb::platform::RenameReplacing(part, copy));
    ASSERT_TRUE(nb::platform::ReadWholeFile(copy, content));
    EXPECT_EQ(content, "fresh");
    EXPECT_FALSE(nb::platform::FileExists(part));
    EXPECT_FALSE(nb::platform::RenameReplacing(part, copy));

    EXPECT_FALSE(nb::platform::CopyFileOverwrite(folder + Sep() + "missing", copy));
    EXPECT_FALSE(nb::platform::ReadWholeFile(folder + Sep() + "missing", content));
    EXPECT_FALSE(nb::platform::ReadWholeFile(folder, content));
}

class PlatformProcess : public ::testing::Test {
protected:
    void SetUp() override {
        m_own = m_dir.Path() + kZone + " own";
        ASSERT_TRUE(nb::platform::MakeFolder(m_own));
        m_own += Sep();
        nb::platform::SetExecutablePathOverride(m_own + "NbLauncher.exe");
    }
    void TearDown() override { nb::platform::SetExecutablePathOverride(""); }

    ScopedTempDir m_dir;
    std::string m_own;
};

TEST_F(PlatformProcess, ChildReceivesEveryArgumentByteForByte) {
    ASSERT_TRUE(nb::platform::CopyFileOverwrite(NB_TEST_CHILD, m_own + "nb-child.exe"));
    const std::string out = m_dir.Path() + "args.txt";
    const std::vector<std::string> args = {
        "plain", "with blank", "quote\"inside", "trailing\\", "back\\\\\"slashes", kZone, "dev:" + kZone, ""};
    std::string line = "\"" + m_own + "nb-child.exe\" " + nb::platform::QuoteArgument(out);
    for (const std::string& arg : args) {
        line += ' ';  // appended apart: GCC 12 at -O3 misreads " " + std::string (-Wrestrict)
        line += nb::platform::QuoteArgument(arg, arg.empty());
    }

    ASSERT_TRUE(nb::platform::StartProcess(line));
    EXPECT_EQ(ChildOutput(out), args);
}

TEST_F(PlatformProcess, ProgramIsLookedForInTheLaunchersFolderFirst) {
    ASSERT_TRUE(nb::platform::CopyFileOverwrite(NB_TEST_CHILD, m_own + "nb-child.exe"));
    EXPECT_EQ(nb::platform::ResolveProgram("nb-child.exe"), m_own + "nb-child.exe");
    EXPECT_EQ(nb::platform::ResolveProgram("missing-child.exe"), "");
    EXPECT_EQ(nb::platform::ResolveProgram(m_own + "missing-child.exe"), "");
    EXPECT_EQ(nb::platform::ResolveProgram(""), "");

    const std::string out = m_dir.Path() + "bare.txt";
    ASSERT_TRUE(nb::platform::StartProcess("nb-child.exe " + nb::platform::QuoteArgument(out) + " x"));
    EXPECT_EQ(ChildOutput(out), std::vector<std::string>{"x"});

    EXPECT_FALSE(nb::platform::StartProcess(""));
    EXPECT_FALSE(nb::platform::StartProcess("missing-child.exe a"));
    EXPECT_FALSE(nb::platform::StartProcess(m_own));  // a folder is no program
}

}  // namespace
