#include <gtest/gtest.h>

#include "TestPaths.h"
#include "app/TraceLog.h"

TEST(TraceLog, AppendsExactlyTheFormattedTextToLog1InTheWorkingFolder) {
    nb::test::ScopedTempDir dir;
    nb::test::ScopedChdir cd(dir.Path());
    nb::test::WriteFile("log1.txt", "old");
    nb::TraceLog("x\n");
    nb::TraceLog("y");
    nb::TraceLog("%d-%s\n", 42, "z");
    EXPECT_EQ(nb::test::ReadTextFile("log1.txt"), "oldx\ny42-z\n");
}

TEST(TraceLog, CutsLongMessagesTo1023Characters) {
    nb::test::ScopedTempDir dir;
    nb::test::ScopedChdir cd(dir.Path());
    std::string longText(5000, 'a');
    nb::TraceLog("%s", longText.c_str());
    nb::TraceLog("|");
    EXPECT_EQ(nb::test::ReadTextFile("log1.txt"), std::string(1023, 'a') + "|");
}
