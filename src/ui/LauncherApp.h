#pragma once
#include <atomic>
#include <memory>
#include <thread>

#include "app/CommandLineInfo.h"

namespace nb {

class LauncherContext;
class WindowedLauncherUi;

// The application object: runs the start-up order, shows the one modal window, and on
// exit stops the update worker before the context goes away.
class LauncherApp {
public:
    LauncherApp();
    LauncherApp(const LauncherApp&) = delete;
    LauncherApp& operator=(const LauncherApp&) = delete;
    ~LauncherApp();

    // The whole start-up; always false (the program ends when the modal window closes).
    bool InitInstance(const CommandLineInfo& cmd);
    // Stops the worker, destroys the context; the process exit status.
    int ExitInstance();

    // Starts the update worker with the stop flag cleared; the update window calls it once.
    void StartUpdateWorker(LauncherContext& ctx);

    // The update worker and its stop flag, as the update window starts them.
    std::thread m_hWorkerThread;
    std::atomic<bool> m_bStopWorker{false};

    static LauncherApp* Instance();
    WindowedLauncherUi& Ui() { return *m_pUi; }

private:
    class Windows;
    void RunUpdateWindow(LauncherContext& ctx);

    LauncherContext* m_pContext = nullptr;
    std::unique_ptr<WindowedLauncherUi> m_pUi;
};

}  // namespace nb
