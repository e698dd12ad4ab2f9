#include "platform/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/ExecutablePath.h"

extern char** environ;

namespace nb::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string LauncherFolder() {
    std::string exe;
    if (!GetExecutablePath(exe)) return {};
    auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n) return args;

    // The program path: quotes group, backslashes are plain characters.
    std::string program;
    bool quoted = false;
    for (; i < n; ++i) {
        char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && IsBlank(c)) {
            break;
        } else {
            program.push_back(c);
        }
    }
    args.push_back(std::move(program));

    for (;;) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i >= n) break;
        std::string arg;
        quoted = false;
        while (i < n) {
            char c = line[i];
            if (c == '\\') {
                size_t count = 0;
                while (i < n && line[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg.push_back('"');
                        ++i;
                    }
                    // An even count leaves the quote to the next round, where it groups.
                } else {
                    arg.append(count, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg.push_back('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && IsBlank(c)) break;
            arg.push_back(c);
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string QuoteArgument(std::string_view arg, bool alwaysQuote) {
    if (!alwaysQuote && !arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(arg);
    }
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there they are doubled, and one more
        // makes the quote itself literal.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, '\\');
    out.push_back('"');
    return out;
}

std::string ResolveProgram(const std::string& program) {
    if (program.empty()) return {};
    if (program.front() == '/') return IsExecutableFile(program) ? program : std::string();
    std::string own = LauncherFolder();
    if (!own.empty() && IsExecutableFile(own + program)) return own + program;
    if (IsExecutableFile(program)) return program;
    if (program.find('/') != std::string::npos) return {};
    const char* pathEnv = std::getenv("PATH");
    std::string_view path = pathEnv ? pathEnv : "/usr/local/bin:/usr/bin:/bin";
    while (!path.empty()) {
        auto colon = path.find(':');
        std::string dir(path.substr(0, colon));
        path = colon == std::string_view::npos ? std::string_view() : path.substr(colon + 1);
        if (dir.empty()) dir.push_back('.');
        std::string candidate = std::move(dir);
        candidate += '/';
        candidate += program;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return {};
}

bool StartProcess(const std::string& commandLine) {
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty()) return false;
    std::string program = ResolveProgram(args[0]);
    if (program.empty()) return false;

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
