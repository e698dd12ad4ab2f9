#include <QApplication>

#include "ui/LauncherApp.h"

int main(int argc, char** argv) {
    nb::CommandLineInfo cmd = nb::CommandLineInfo::Parse(argc, argv);
    QApplication qtApp(argc, argv);
    nb::LauncherApp app;
    app.InitInstance(cmd);
    return app.ExitInstance();
}
