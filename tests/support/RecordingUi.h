#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/LauncherUi.h"

namespace nb {
class LauncherContext;
}

namespace nb::test {

// A user interface that records, in order, what the core asks of the windows: message texts
// as they are, the system box as "box:<text>/<caption>". Callable from any thread; installs
// itself for its lifetime.
class RecordingUi final : public LauncherUi {
public:
    RecordingUi();
    ~RecordingUi() override;
    RecordingUi(const RecordingUi&) = delete;
    RecordingUi& operator=(const RecordingUi&) = delete;

    void ShowMessageText(const std::string& text) override;
    void ShowSystemBox(const std::string& text, const std::string& caption) override;
    void CloseMainWindow() override;
    void RunVerificationCodeDialog() override;

    std::vector<std::string> Shown() const;
    void ClearShown();
    int CloseCount() const;
    int CodeDialogRuns() const;
    // Waits until the window has been asked to close at least `count` times; false when
    // that has not happened after a minute (a hang guard, not a timing check).
    bool WaitForClose(int count = 1) const;

    // Run on the caller's thread after a text is recorded, and as the code dialog's body;
    // set them before the core can call.
    std::function<void(const std::string&)> onShown;
    std::function<void()> onCodeDialog;

private:
    void Record(std::string text);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_shown;
    int m_nCloses = 0;
    int m_nCodeDialogs = 0;
};

// Message n of the strings file's forty reads "m<n>", so a recorded text names its number.
void NumberMessages(LauncherContext& context);

}  // namespace nb::test
