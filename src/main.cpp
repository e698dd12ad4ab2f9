#include <string>
#include <vector>

#include "platform/OutputFailures.h"
#include "platform/Process.h"
#include "ui/LauncherApp.h"
#include "ui/WebPanel.h"

int main(int argc, char** argv) {
    // A file that hits the size limit, or a trace line to a standard error nobody reads any
    // more, must fail that write only: the launcher reports it or goes on, never just ends.
    nb::platform::KeepRunningWhenOutputFails();
    // The arguments as the launcher's narrow strings hold them, whatever the platform passed.
    const std::vector<std::string> args = nb::platform::ProgramArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& arg : args) pointers.push_back(arg.c_str());
    const nb::CommandLineInfo cmd =
        nb::CommandLineInfo::Parse(static_cast<int>(pointers.size()), pointers.data());
    nb::WebPanel::PrepareBrowser();  // before the application object, or never
    nb::SkinApplication skin(argc, argv);
    nb::LauncherApp app;
    app.InitInstance(cmd);
    return app.ExitInstance();
}
