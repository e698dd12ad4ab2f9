// bench_startup INSTALL_DIR ROUNDS
//     starts INSTALL_DIR/NbLauncher.exe without an argument, as the player does, and waits
//     for the first frame of the main window, which the relaunched copy announces on
//     standard error when NB_BENCH_FIRST_FRAME is set. Prints the median time from the
//     start to that frame in milliseconds and the largest peak resident memory of the copy
//     in KiB. The copy is ended after each round. Needs a display and the services the
//     launcher's hosts point at.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "BenchClock.h"

extern char** environ;

namespace {

constexpr const char* kMarker = "NB_BENCH_FIRST_FRAME";

// The process running a given program file, by its /proc entry; 0 when none.
pid_t FindProcess(const std::string& program) {
    pid_t found = 0;
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* e = ::readdir(proc)) {
            const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
            if (pid <= 0) continue;
            char target[4096];
            const std::string link = "/proc/" + std::to_string(pid) + "/exe";
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<size_t>(n)) == program) found = pid;
        }
        ::closedir(proc);
    }
    return found;
}

long PeakResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

void EndProcess(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i) ::usleep(20000);
    if (::kill(pid, 0) == 0) ::kill(pid, SIGKILL);
}

// One round: the time to the marker in milliseconds and the copy's peak memory; false on
// a launcher that shows no frame within half a minute.
bool Round(const std::string& dir, double& ms, long& peakKiB) {
    int out[2];
    if (::pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    ::setenv(kMarker, "1", 1);
    const std::string program = dir + "/NbLauncher.exe";
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    std::string previous(4096, '\0');
    if (!::getcwd(previous.data(), previous.size()) || ::chdir(dir.c_str()) != 0) return false;

    nbbench::BenchClock clock;
    pid_t first = 0;
    const int rc = ::posix_spawn(&first, program.c_str(), &actions, nullptr, argv, environ);
    if (::chdir(previous.c_str()) != 0) return false;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return false;
    }

    std::string seen;
    bool marked = false;
    char buffer[4096];
    while (!marked && clock.Seconds() < 30.0) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<size_t>(n));
        marked = seen.find(kMarker) != std::string::npos;
    }
    ms = clock.Seconds() * 1000.0;
    ::waitpid(first, nullptr, 0);

    const pid_t copy = FindProcess(dir + "/_NbLauncher.bin");
    if (marked && copy > 0) {
        ::usleep(500000);  // the memory that the first frames still take
        peakKiB = PeakResidentKiB(copy);
    }
    EndProcess(copy);
    ::close(out[0]);
    if (!marked)
        std::fprintf(stderr, "bench_startup: no first frame; the launcher wrote:\n%s\n", seen.c_str());
    return marked;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_startup INSTALL_DIR ROUNDS\n");
        return 2;
    }
    std::vector<double> times;
    long peak = 0;
    for (int r = 0; r < std::atoi(argv[2]); ++r) {
        double ms = 0;
        long kib = 0;
        if (!Round(argv[1], ms, kib)) return 1;
        times.push_back(ms);
        if (kib > peak) peak = kib;
    }
    std::printf("%.1f %ld\n", nbbench::BenchClock::Median(times), peak);
    return 0;
}
