#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Process.h"

extern char** environ;

namespace nb::platform {
namespace {

bool StartsWithExecutableHeader(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char header[2] = {};
    ssize_t n;
    do {
        n = ::read(fd, header, sizeof header);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    return n == 2 && header[0] == 'M' && header[1] == 'Z';
}

// The runner's own words (its program resolved), empty when none can be found.
std::vector<std::string> WindowsProgramRunner() {
    std::vector<std::string> runner;
    if (const char* configured = std::getenv("NB_WINDOWS_RUNNER"); configured && *configured) {
        runner = SplitCommandLine(configured);
    } else {
        runner.push_back("wine");
    }
    if (runner.empty()) return runner;
    std::string program = runner[0].find('/') == std::string::npos ? FindOnSearchPath(runner[0]) : runner[0];
    if (program.empty() || ::access(program.c_str(), X_OK) != 0) return {};
    runner[0] = std::move(program);
    return runner;
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
    return std::vector<std::string>(argv, argv + argc);
}

bool StartProcess(const std::string& commandLine) {
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty()) return false;
    std::string program = ResolveProgram(args[0]);
    if (program.empty()) return false;
    if (StartsWithExecutableHeader(program)) {
        std::vector<std::string> runner = WindowsProgramRunner();
        if (runner.empty()) return false;
        args[0] = program;
        program = runner[0];
        args.insert(args.begin(), runner.begin(), runner.end());
    }

    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // A short-lived middle process starts the program and ends at once, so the program
    // is adopted by init and never lingers as a zombie of the launcher. The middle
    // process reports the spawn result through a pipe.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    pid_t middle = ::fork();
    if (middle < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (middle == 0) {
        ::close(fds[0]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attr, &all);
        pid_t child = 0;
        int rc = posix_spawn(&child, program.c_str(), &actions, &attr, argv.data(), environ);
        char result = rc == 0 ? 1 : 0;
        (void)!::write(fds[1], &result, 1);
        ::_exit(0);
    }
    ::close(fds[1]);
    char result = 0;
    ssize_t got;
    do {
        got = ::read(fds[0], &result, 1);
    } while (got < 0 && errno == EINTR);
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    return got == 1 && result == 1;
}

}  // namespace nb::platform
