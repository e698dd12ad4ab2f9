#include "app/LauncherUi.h"

#include <atomic>
#include <cstdio>

#include "app/TextEncoding.h"

namespace nb {
namespace {

class StderrUi final : public LauncherUi {
public:
    void ShowMessageText(const std::string& text) override {
        std::fprintf(stderr, "[message] %s\n", GbkToUtf8(text).c_str());
    }
    void ShowSystemBox(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "[%s] %s\n", GbkToUtf8(caption).c_str(), GbkToUtf8(text).c_str());
    }
    void CloseMainWindow() override {}
    void RunVerificationCodeDialog() override {}
};

StderrUi g_fallback;
std::atomic<LauncherUi*> g_ui{nullptr};

}  // namespace

LauncherUi& Ui() {
    LauncherUi* ui = g_ui.load(std::memory_order_acquire);
    return ui ? *ui : g_fallback;
}

void SetLauncherUi(LauncherUi* ui) { g_ui.store(ui, std::memory_order_release); }

}  // namespace nb
