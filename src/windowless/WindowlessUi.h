#pragma once
#include <condition_variable>
#include <mutex>
#include <string>

#include "app/LauncherUi.h"

namespace nb {

// The launcher's requests of its windows where none exist: texts go to the debug output
// and standard error, and a close request ends the wait of the one "window" that is open.
class WindowlessUi final : public LauncherUi {
public:
    void ShowMessageText(const std::string& text) override;
    void ShowSystemBox(const std::string& text, const std::string& caption) override;
    void CloseMainWindow() override;
    void RunVerificationCodeDialog() override {}

    // A window that has no windowless counterpart yet is only named.
    void ReportWindow(const std::string& name);

    // Opens the window and returns when a close request has come.
    void OpenWindowUntilClosed();

private:
    std::mutex m_mutex;
    std::condition_variable m_closed;
    bool m_open = false;
};

}  // namespace nb
