#include <QApplication>
#include <csignal>

#include "ui/LauncherApp.h"
#include "ui/WebPanel.h"

int main(int argc, char** argv) {
    // A file that hits the size limit must fail the write that reaches it, so the launcher
    // reports it and keeps what was written, instead of ending without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    nb::CommandLineInfo cmd = nb::CommandLineInfo::Parse(argc, argv);
    nb::WebPanel::PrepareBrowser();  // before the application object, or never
    QApplication qtApp(argc, argv);
    nb::LauncherApp app;
    app.InitInstance(cmd);
    return app.ExitInstance();
}
