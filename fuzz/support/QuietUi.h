#pragma once
#include <string>

#include "app/LauncherUi.h"

namespace nbfuzz {

// Windows of the launcher as the fuzz targets see them: every request is counted, nothing
// is shown or printed (millions of runs would flood the output otherwise).
class QuietUi final : public nb::LauncherUi {
public:
    void ShowMessageText(const std::string& text) override;
    void ShowSystemBox(const std::string& text, const std::string& caption) override;
    void CloseMainWindow() override {}
    void RunVerificationCodeDialog() override {}

    int Messages() const { return m_nMessages; }
    const std::string& LastText() const { return m_strLastText; }
    void Reset();

    // Installs one shared instance as the launcher's UI and returns it.
    static QuietUi& Install();

private:
    int m_nMessages = 0;
    std::string m_strLastText;
};

}  // namespace nbfuzz
