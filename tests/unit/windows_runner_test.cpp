#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "TestPaths.h"
#include "platform/ExecutablePath.h"
#include "platform/Process.h"

namespace {

// An installation folder with a Windows program ("MZ" header) and a runner script that
// records the words it was started with.
class WindowsRunner : public ::testing::Test {
protected:
    void SetUp() override {
        nb::test::WriteFile(m_dir.File("Vd.exe"), std::string("MZ\x90\0\3\0", 6));
        ::chmod(m_dir.File("Vd.exe").c_str(), 0755);
        m_runner = m_dir.File("fake runner");
        nb::test::WriteFile(m_runner, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                          m_dir.File("runner.tmp") + "\"\nmv \"" + m_dir.File("runner.tmp") +
                                          "\" \"" + m_dir.File("runner.txt") + "\"\n");
        ::chmod(m_runner.c_str(), 0755);
        nb::platform::SetExecutablePathOverride(m_dir.File("NbLauncher.exe"));
        const char* previous = std::getenv("NB_WINDOWS_RUNNER");
        m_hadRunner = previous != nullptr;
        if (previous) m_previousRunner = previous;
    }
    void TearDown() override {
        nb::platform::SetExecutablePathOverride("");
        if (m_hadRunner) {
            ::setenv("NB_WINDOWS_RUNNER", m_previousRunner.c_str(), 1);
        } else {
            ::unsetenv("NB_WINDOWS_RUNNER");
        }
    }
    std::string RunnerWords() {
        for (int i = 0; i < 1000 && !nb::test::Exists(m_dir.File("runner.txt")); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return nb::test::ReadFile(m_dir.File("runner.txt"));
    }

    nb::test::ScopedTempDir m_dir;
    std::string m_runner;
    bool m_hadRunner = false;
    std::string m_previousRunner;
};

TEST_F(WindowsRunner, StartsAWindowsProgramThroughTheNamedRunnerKeepingItsArguments) {
    ::setenv("NB_WINDOWS_RUNNER", ("\"" + m_runner + "\" run --quiet").c_str(), 1);
    ASSERT_TRUE(nb::platform::StartProcess("Vd.exe \"" + m_dir.File("Vd.exe") + "\" dev:zone 10.0.0.1 \"a b\""));
    EXPECT_EQ(RunnerWords(),
              "run\n--quiet\n" + m_dir.File("Vd.exe") + "\n" + m_dir.File("Vd.exe") + "\ndev:zone\n10.0.0.1\na b\n");
}

TEST_F(WindowsRunner, WithoutARunnerTheProgramIsNotStarted) {
    ::setenv("NB_WINDOWS_RUNNER", m_dir.File("no-such-runner").c_str(), 1);
    EXPECT_FALSE(nb::platform::StartProcess("Vd.exe x"));
    ::setenv("NB_WINDOWS_RUNNER", "no-such-runner-on-the-search-path-1234", 1);
    EXPECT_FALSE(nb::platform::StartProcess("Vd.exe x"));
    // An ordinary program never goes through the runner.
    ::setenv("NB_WINDOWS_RUNNER", m_dir.File("no-such-runner").c_str(), 1);
    EXPECT_TRUE(nb::platform::StartProcess("\"" + m_runner + "\" plain"));
    EXPECT_EQ(RunnerWords(), "plain\n");
}

}  // namespace
