#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestPaths.h"
#include "app/TraceLog.h"

TEST(TraceLog, AppendsExactlyTheFormattedTextToLog1InTheWorkingFolder) {
    nb::test::ScopedTempDir dir;
    nb::test::ScopedChdir cd(dir.Path());
    nb::test::WriteFile("log1.txt", "old");
    nb::TraceLog("x\n");
    nb::TraceLog("y");
    nb::TraceLog("%d-%s\n", 42, "z");
    EXPECT_EQ(nb::test::ReadFile("log1.txt"), "oldx\ny42-z\n");
}

TEST(TraceLog, CutsLongMessagesTo1023Characters) {
    nb::test::ScopedTempDir dir;
    nb::test::ScopedChdir cd(dir.Path());
    std::string longText(5000, 'a');
    nb::TraceLog("%s", longText.c_str());
    nb::TraceLog("|");
    EXPECT_EQ(nb::test::ReadFile("log1.txt"), std::string(1023, 'a') + "|");
}

TEST(TraceLog, StaysSilentWhenTheLogCannotBeOpened) {
    nb::test::ScopedTempDir dir;
    nb::test::ScopedChdir cd(dir.Path());
    ::mkdir("log1.txt", 0755);  // a folder in the log's place: fopen fails even for root
    testing::internal::CaptureStderr();
    nb::TraceLog("still on the debug output\n");
    nb::TraceLog("and the next one\n");
    // The caller goes on, and the debugger's copy of each line is complete.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "still on the debug output\nand the next one\n");
}
