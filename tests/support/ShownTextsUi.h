#pragma once
#include <string>
#include <vector>

#include "app/LauncherUi.h"

namespace nb::test {

// Records, in order, the texts the core shows: message texts as they are, the system box as
// "box:<text>/<caption>". For single-threaded tests; the caller installs it with SetLauncherUi.
class ShownTextsUi final : public LauncherUi {
public:
    void ShowMessageText(const std::string& text) override { shown.push_back(text); }
    void ShowSystemBox(const std::string& text, const std::string& caption) override {
        shown.push_back("box:" + text + "/" + caption);
    }
    void CloseMainWindow() override {}
    void RunVerificationCodeDialog() override {}

    std::vector<std::string> shown;
};

}  // namespace nb::test
