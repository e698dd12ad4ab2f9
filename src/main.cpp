#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#include "ui/LauncherApp.h"

int main(int argc, char** argv) {
    nb::CommandLineInfo cmd = nb::CommandLineInfo::Parse(argc, argv);
    // The web panels' browser is loaded later, as a module; it needs shared GL contexts
    // from the start, and its sandbox refuses to run as root.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QApplication qtApp(argc, argv);
    nb::LauncherApp app;
    app.InitInstance(cmd);
    return app.ExitInstance();
}
