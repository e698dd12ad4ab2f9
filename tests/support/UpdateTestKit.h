#pragma once
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/LauncherUi.h"

namespace nb {
class LauncherContext;
}

namespace nb::test {

// A user interface that records what the core asks of it; callable from any thread.
// Installs itself for its lifetime.
class RecordingUi final : public LauncherUi {
public:
    RecordingUi();
    ~RecordingUi() override;

    void ShowMessageText(const std::string& text) override;
    void ShowSystemBox(const std::string& text, const std::string& caption) override;
    void CloseMainWindow() override;
    void RunVerificationCodeDialog() override {}

    std::vector<std::string> Messages() const;
    int CloseCount() const;
    // Waits until the window has been asked to close at least `count` times; false when
    // that has not happened after a minute (a hang guard, not a timing check).
    bool WaitForClose(int count = 1) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_messages;
    int m_nCloses = 0;
};

// Fills message slots with "message <n>", so a recorded text names its number.
void NumberMessages(LauncherContext& context);

// A shell script that stands in for the launcher: it writes its program path and then each
// argument in brackets, one per line, to "restart.txt" beside itself.
extern const char* const kRecordingLauncherScript;
void InstallRecordingLauncher(const std::string& path);

// Runs the built nb-mkpatch with the given arguments (each quoted); its exit status.
int RunMkpatch(const std::vector<std::string>& args, std::string* output = nullptr);

}  // namespace nb::test
