#include "ui/LauncherApp.h"

#include <QMessageBox>

#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "app/TextEncoding.h"
#include "app/TraceLog.h"
#include "ui/CDlgUpdate.h"
#include "ui/CMessageDlg.h"
#include "ui/MainWindowEntry.h"
#include "ui/QtLauncherUi.h"
#include "update/UpdateWorker.h"

namespace nb {
namespace {
LauncherApp* g_app = nullptr;

// "缺少文件，請重新安裝": the start-up text for missing files, kept in the Big5 code page.
constexpr const char kMissingFilesBig5[] =
    "\xAF\xCA\xA4\xD6\xA4\xE5\xA5\xF3\xA1\x41\xBD\xD0\xAD\xAB\xB7\x73\xA6\x77\xB8\xCB";
// The plain system message box, one OK button, no owner.
void RunSystemBox(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdU16String(GbkToUtf16(caption)),
                    QString::fromStdU16String(GbkToUtf16(text)), QMessageBox::Ok);
    box.exec();
}
}  // namespace

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
    m_pUi = std::make_unique<QtLauncherUi>();
    m_pUi->SetMessageRunner([](const std::string& text) { RunMessageDialog(text); });
    m_pUi->SetBoxRunner(&RunSystemBox);
    SetLauncherUi(m_pUi.get());
    m_pContext = new LauncherContext();
    SetTheContext(m_pContext);
    LauncherContext& ctx = *m_pContext;

    if (!ctx.LoadLocalFiles()) {
        // Read as code page 936 the Big5 bytes would be garbage: decode them as what they are.
        RunMessageDialog(QString::fromStdU16String(Big5ToUtf16(kMissingFilesBig5)));
        return false;
    }
    if (!ctx.InitPathsAndEndpoints()) {
        ctx.ShowNumberedMessage(26);
        return false;
    }
    if (ctx.CheckClientSwitch()) return false;  // the previous client runs instead
    ctx.RegisterInstallPath();
    switch (ctx.ProcessCommandLine(cmd)) {
        case 2:
            ctx.ShowNumberedMessage(27);
            return false;
        case 1:
            return false;  // the copy runs on
        default:
            break;
    }
    TraceLog("-----LCS_OK-----\n");
    if (!ctx.LoadZoneList()) {
        ctx.ShowNumberedMessage(31);
        return false;
    }
    ctx.DecideUpdate();
    switch (ctx.m_nUpdateState.load(std::memory_order_relaxed)) {
        case kStateDownloadPatch:
            RunUpdateWindow(ctx);
            break;
        case kStateServerPage:
            RunMainWindow(ctx);
            break;
        default:
            break;
    }
    return false;
}

void LauncherApp::RunUpdateWindow(LauncherContext& ctx) {
    CDlgUpdate window(ctx, [this, &ctx] { StartUpdateWorker(ctx); });
    m_pUi->SetMainWindow(&window);
    window.exec();
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
