#include <atomic>
#include <thread>
#include <vector>

#include "app/CommandLineInfo.h"
#include "app/LauncherContext.h"
#include "app/StartupOrder.h"
#include "platform/Process.h"
#include "update/UpdateWorker.h"
#include "windowless/WindowlessUi.h"

namespace {

// The start-up order and the patch cycle without windows: the update "window" is open
// while the worker runs and closes on the worker's request, as the real one does.
class WindowlessWindows final : public nb::StartupWindows {
public:
    explicit WindowlessWindows(nb::WindowlessUi& ui) : m_ui(ui) {}

    void ShowMissingFilesMessage() override { m_ui.ShowMessageText(nb::kMissingFilesBig5); }

    void RunUpdateWindow(nb::LauncherContext& context) override {
        std::atomic<bool> stop{false};
        std::thread worker([&context, &stop] { nb::UpdateWorker(context, stop); });
        m_ui.OpenWindowUntilClosed();
        stop = true;
        worker.join();
    }

    void RunMainWindow(nb::LauncherContext&) override { m_ui.ReportWindow("server page"); }

private:
    nb::WindowlessUi& m_ui;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = nb::platform::ProgramArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& arg : args) pointers.push_back(arg.c_str());
    const nb::CommandLineInfo cmd = nb::CommandLineInfo::Parse(static_cast<int>(pointers.size()), pointers.data());

    nb::WindowlessUi ui;
    nb::SetLauncherUi(&ui);
    {
        nb::LauncherContext context;
        nb::SetTheContext(&context);
        WindowlessWindows windows(ui);
        nb::RunStartupOrder(context, cmd, windows);
        nb::SetTheContext(nullptr);
    }
    nb::SetLauncherUi(nullptr);
    return 0;
}
