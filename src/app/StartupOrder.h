#pragma once

namespace nb {

class LauncherContext;
struct CommandLineInfo;

// "缺少文件，請重新安裝": the start-up text for missing files, kept in the Big5 code page
// (read as code page 936 the bytes would be garbage).
extern const char kMissingFilesBig5[];

// The windows the start-up order opens; each call returns when its window has closed.
class StartupWindows {
public:
    virtual ~StartupWindows() = default;
    virtual void ShowMissingFilesMessage() = 0;
    virtual void RunUpdateWindow(LauncherContext& context) = 0;
    virtual void RunMainWindow(LauncherContext& context) = 0;
};

// The application's start-up: local files, paths, client switch, installation record,
// command line and relaunch, zone list, update decision, then the one window it leads to.
void RunStartupOrder(LauncherContext& context, const CommandLineInfo& cmd, StartupWindows& windows);

}  // namespace nb
