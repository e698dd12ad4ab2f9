// The trace where its copy for the debugger is standard error, which only the Linux build
// writes (the Windows one hands it to OutputDebugStringA): a log that cannot be opened, and a
// reader of standard error that goes away (SIGPIPE).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestPaths.h"
#include "app/TraceLog.h"

TEST(TraceLogLinux, StaysSilentWhenTheLogCannotBeOpened) {
    nb::test::ScopedTempDir dir;
    nb::test::ScopedChdir cd(dir.Path());
    ::mkdir("log1.txt", 0755);  // a folder in the log's place: fopen fails even for root
    testing::internal::CaptureStderr();
    nb::TraceLog("still on the debug output\n");
    nb::TraceLog("and the next one\n");
    // The caller goes on, and the debugger's copy of each line is complete.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "still on the debug output\nand the next one\n");
}

extern char** environ;

TEST(TraceLogLinux, ALauncherWhoseStandardErrorReaderHasGoneTracesOn) {
    nb::test::ScopedTempDir dir;
    int input[2];
    int error[2];
    ASSERT_EQ(::pipe(input), 0);
    ASSERT_EQ(::pipe(error), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, error[1], STDERR_FILENO);
    for (int fd : {input[0], input[1], error[0], error[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    // The probe starts with the default action for a broken pipe (ending the process), even
    // when whatever runs the tests ignores it, so only the probe's own set-up can save it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::string program = nb::test::BuildPath("nb_trace_probe");
    std::string folder = dir.Path();
    char* argv[] = {program.data(), folder.data(), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[0]);
    ::close(error[1]);
    ::close(error[0]);  // the reader goes before the probe writes its first line
    ::close(input[1]);  // and now it may write
    ASSERT_EQ(spawned, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(nb::test::ReadFile(dir.File("log1.txt")), "line 0\nline 1\nline 2\nstill running\n");
}
