#include "ui/LauncherApp.h"

#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "app/StartupOrder.h"
#include "app/TextEncoding.h"
#include "app/TraceLog.h"
#include "ui/CDlgUpdate.h"
#include "ui/CMessageDlg.h"
#include "ui/MainWindowEntry.h"
#include "skin/SkinSystem.h"
#include "ui/WindowedLauncherUi.h"
#include "update/UpdateWorker.h"

namespace nb {
namespace {
LauncherApp* g_app = nullptr;

// The plain system message box, one OK button, no owner.
void ShowPlainBox(const std::string& text, const std::string& caption) {
    RunSystemBox(GbkToUtf16(text), GbkToUtf16(caption));
}
}  // namespace

class LauncherApp::Windows final : public StartupWindows {
public:
    explicit Windows(LauncherApp& app) : m_app(app) {}
    void ShowMissingFilesMessage() override {
        RunMessageDialog(Big5ToUtf16(kMissingFilesBig5));
    }
    void RunUpdateWindow(LauncherContext& ctx) override { m_app.RunUpdateWindow(ctx); }
    void RunMainWindow(LauncherContext& ctx) override { nb::RunMainWindow(ctx); }

private:
    LauncherApp& m_app;
};

LauncherApp* LauncherApp::Instance() {
    return g_app;
}

LauncherApp::LauncherApp() = default;

LauncherApp::~LauncherApp() {
    if (m_pContext) ExitInstance();
}

bool LauncherApp::InitInstance(const CommandLineInfo& cmd) {
    g_app = this;
    // The windows' side of the core's requests: every numbered message in the skinned
    // message dialog, the address-error box as the plain system box.
    m_pUi = std::make_unique<WindowedLauncherUi>();
    m_pUi->SetMessageRunner([](const std::string& text) { RunMessageDialog(text); });
    m_pUi->SetBoxRunner(&ShowPlainBox);
    SetLauncherUi(m_pUi.get());
    m_pContext = new LauncherContext();
    SetTheContext(m_pContext);
    Windows windows(*this);
    RunStartupOrder(*m_pContext, cmd, windows);
    return false;
}

void LauncherApp::RunUpdateWindow(LauncherContext& ctx) {
    CDlgUpdate window(ctx, [this, &ctx] { StartUpdateWorker(ctx); });
    m_pUi->SetMainWindow(&window);
    window.RunModal();
    // From here on a close request of the worker reaches nothing.
    m_pUi->SetMainWindow(nullptr);
}

void LauncherApp::StartUpdateWorker(LauncherContext& ctx) {
    if (m_hWorkerThread.joinable()) return;  // one worker per run
    m_bStopWorker = false;
    m_hWorkerThread = std::thread([this, &ctx] { UpdateWorker(ctx, m_bStopWorker); });
}

int LauncherApp::ExitInstance() {
    m_bStopWorker = true;
    // The worker may be waiting for the UI thread to show a message; release it first.
    if (m_pUi) m_pUi->Shutdown();
    if (m_hWorkerThread.joinable()) m_hWorkerThread.join();
    if (m_pContext) {
        SetTheContext(nullptr);
        delete m_pContext;
        m_pContext = nullptr;
    }
    SetLauncherUi(nullptr);
    m_pUi.reset();
    return 0;
}

}  // namespace nb
