#pragma once
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "SkinNative.h"
#include "app/LauncherUi.h"

namespace nb {

class LayeredWindow;

// The windows' side of LauncherUi. Requests may come from the update worker: they are
// run on the user-interface thread while the caller waits. Shutdown() releases every
// waiting caller without running its request, so the exit can join the worker while the
// worker is waiting for a message dialog that will never be shown.
class WindowedLauncherUi final : public UiThreadInvoker, public LauncherUi {
public:
    using MessageRunner = std::function<void(const std::string& gbkText)>;
    using BoxRunner = std::function<void(const std::string& text, const std::string& caption)>;
    using DialogRunner = std::function<void()>;

    WindowedLauncherUi();
    ~WindowedLauncherUi() override;

    // The window that a close request reaches (the application's main window); none once
    // that window is gone.
    void SetMainWindow(LayeredWindow* window);
    LayeredWindow* MainWindow() const;

    // How each request is shown; the windows install the launcher's own dialogs.
    void SetMessageRunner(MessageRunner runner) { m_messageRunner = std::move(runner); }
    void SetBoxRunner(BoxRunner runner) { m_boxRunner = std::move(runner); }
    void SetCodeDialogRunner(DialogRunner runner) { m_codeDialogRunner = std::move(runner); }

    // No further request runs; every waiting caller returns at once.
    void Shutdown();
    bool IsShutDown() const;

    void ShowMessageText(const std::string& text) override;
    void ShowSystemBox(const std::string& text, const std::string& caption) override;
    void CloseMainWindow() override;
    void RunVerificationCodeDialog() override;

private:
    // Runs fn on the user-interface thread and waits for it, unless shut down first.
    void RunOnUiThread(std::function<void()> fn);

    // Only touched on the user-interface thread.
    LayeredWindow* m_mainWindow = nullptr;
    std::weak_ptr<const bool> m_mainWindowLifetime;
    MessageRunner m_messageRunner;
    BoxRunner m_boxRunner;
    DialogRunner m_codeDialogRunner;

    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_shutDown = false;
    unsigned long m_generation = 0;  // bumped by Shutdown to release waiters
};

}  // namespace nb
