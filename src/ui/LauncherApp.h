#pragma once
#include <atomic>
#include <thread>

#include "app/CommandLineInfo.h"

namespace nb {

class LauncherContext;

// The application object: runs the start-up order, shows the one modal window, and on
// exit stops the update worker before the context goes away.
class LauncherApp {
public:
    LauncherApp() = default;
    LauncherApp(const LauncherApp&) = delete;
    LauncherApp& operator=(const LauncherApp&) = delete;
    ~LauncherApp();

    // The whole start-up; always false (the program ends when the modal window closes).
    bool InitInstance(const CommandLineInfo& cmd);
    // Stops the worker, destroys the context; the process exit status.
    int ExitInstance();

    // The update worker and its stop flag, as the update window starts them.
    std::thread m_hWorkerThread;
    std::atomic<bool> m_bStopWorker{false};

    static LauncherApp* Instance();

private:
    LauncherContext* m_pContext = nullptr;
};

}  // namespace nb
