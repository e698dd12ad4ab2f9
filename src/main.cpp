#include <QApplication>

#include "platform/OutputFailures.h"
#include "ui/LauncherApp.h"
#include "ui/WebPanel.h"

int main(int argc, char** argv) {
    // A file that hits the size limit, or a trace line to a standard error nobody reads any
    // more, must fail that write only: the launcher reports it or goes on, never just ends.
    nb::platform::KeepRunningWhenOutputFails();
    nb::CommandLineInfo cmd = nb::CommandLineInfo::Parse(argc, argv);
    nb::WebPanel::PrepareBrowser();  // before the application object, or never
    QApplication qtApp(argc, argv);
    nb::LauncherApp app;
    app.InitInstance(cmd);
    return app.ExitInstance();
}
