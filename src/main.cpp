#include <QApplication>

#include "ui/LauncherApp.h"
#include "ui/WebPanel.h"

int main(int argc, char** argv) {
    nb::CommandLineInfo cmd = nb::CommandLineInfo::Parse(argc, argv);
    nb::WebPanel::PrepareBrowser();  // before the application object, or never
    QApplication qtApp(argc, argv);
    nb::LauncherApp app;
    app.InitInstance(cmd);
    return app.ExitInstance();
}
