#pragma once
#include <string>

namespace nb {

// What the core and the update worker may ask of the windows. The user-interface layer
// implements it; until it is installed, texts go to standard error. Implementations must
// accept calls from the worker thread: they run the request on the user-interface thread
// and return when it is done.
class LauncherUi {
public:
    virtual ~LauncherUi() = default;

    // The message dialog with one text (code page 936), modal; returns when it is closed.
    virtual void ShowMessageText(const std::string& text) = 0;

    // The plain system message box (the address-error box of the download).
    virtual void ShowSystemBox(const std::string& text, const std::string& caption) = 0;

    // A synchronous close request to the current top-level window; nothing when none is open.
    virtual void CloseMainWindow() = 0;

    // The verification-code dialog, modal, without a parent; returns when it is closed.
    virtual void RunVerificationCodeDialog() = 0;
};

// The UI in effect; never null (a standard-error fallback when none is installed).
LauncherUi& Ui();
// Installs a UI (null restores the fallback). The caller keeps ownership.
void SetLauncherUi(LauncherUi* ui);

}  // namespace nb
