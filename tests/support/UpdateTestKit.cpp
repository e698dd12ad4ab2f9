#include "UpdateTestKit.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "TestPaths.h"
#include "app/LauncherContext.h"

namespace nb::test {
namespace {
constexpr auto kPatience = std::chrono::seconds(60);

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
}  // namespace

const char* const kRecordingLauncherScript =
    "#!/bin/sh\n"
    "d=$(dirname \"$0\")\n"
    "{ printf '%s\\n' \"$0\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > \"$d/restart.tmp.$$\"\n"
    "mv \"$d/restart.tmp.$$\" \"$d/restart.txt\"\n";

RecordingUi::RecordingUi() {
    SetLauncherUi(this);
}
RecordingUi::~RecordingUi() {
    SetLauncherUi(nullptr);
}

void RecordingUi::ShowMessageText(const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(text);
}

void RecordingUi::ShowSystemBox(const std::string& text, const std::string& caption) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(caption + ": " + text);
}

void RecordingUi::CloseMainWindow() {
    std::lock_guard lock(m_mutex);
    ++m_nCloses;
    m_changed.notify_all();
}

std::vector<std::string> RecordingUi::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

int RecordingUi::CloseCount() const {
    std::lock_guard lock(m_mutex);
    return m_nCloses;
}

bool RecordingUi::WaitForClose(int count) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kPatience, [&] { return m_nCloses >= count; });
}

void NumberMessages(LauncherContext& context) {
    for (int n = 0; n < 40; ++n)
        context.m_MessageTable[static_cast<size_t>(n)] = "message " + std::to_string(n);
}

void InstallRecordingLauncher(const std::string& path) {
    WriteFile(path, kRecordingLauncherScript);
    ::chmod(path.c_str(), 0755);
}

int RunMkpatch(const std::vector<std::string>& args, std::string* output) {
    std::string command = ShellQuote(BuildPath("nb-mkpatch"));
    // Appended piece by piece: GCC 12 at -O3 reports a false overlap (-Wrestrict) for
    // "literal" + std::string temporaries.
    for (const std::string& a : args) {
        command += ' ';
        command += ShellQuote(a);
    }
    command += " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    const int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace nb::test
