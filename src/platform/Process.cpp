#include "platform/Process.h"

#include "platform/ExecutablePath.h"
#include "platform/SystemPaths.h"

namespace nb::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string LauncherFolder() {
    std::string exe;
    if (!GetExecutablePath(exe)) return {};
    auto separator = LastPathSeparator(exe);
    return separator == std::string::npos ? std::string() : exe.substr(0, separator + 1);
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
    using detail::IsExecutableFile;
    if (program.empty()) return {};
    if (detail::IsAbsolutePath(program)) return IsExecutableFile(program) ? program : std::string();
    std::string own = LauncherFolder();
    if (!own.empty() && IsExecutableFile(own + program)) return own + program;
    if (IsExecutableFile(program)) return program;
    if (detail::HasFolderPart(program)) return {};
    return FindOnSearchPath(program);
}

std::string FindOnSearchPath(const std::string& program) {
    const std::string pathList = detail::SearchPathList();
    std::string_view path = pathList;
    const char listSeparator = detail::SearchPathListSeparator();
    while (!path.empty()) {
        auto end = path.find(listSeparator);
        std::string dir(path.substr(0, end));
        path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
        if (dir.empty()) dir.push_back('.');
        std::string candidate = std::move(dir);
        candidate += kPathSeparator;
        candidate += program;
        if (detail::IsExecutableFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace nb::platform
