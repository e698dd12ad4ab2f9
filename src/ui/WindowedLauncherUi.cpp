#include "ui/WindowedLauncherUi.h"

#include <cstdio>
#include <memory>

#include "app/TextEncoding.h"
#include "skin/LayeredWindow.h"

namespace nb {

WindowedLauncherUi::WindowedLauncherUi() {
    m_messageRunner = [](const std::string& text) {
        std::fprintf(stderr, "[message] %s\n", GbkToUtf8(text).c_str());
    };
    m_boxRunner = [](const std::string& text, const std::string& caption) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    };
    m_codeDialogRunner = [] {};
}

WindowedLauncherUi::~WindowedLauncherUi() { Shutdown(); }

void WindowedLauncherUi::SetMainWindow(LayeredWindow* window) {
    m_mainWindow = window;
    m_mainWindowLifetime = window ? window->Lifetime() : std::weak_ptr<const bool>();
}

LayeredWindow* WindowedLauncherUi::MainWindow() const {
    return m_mainWindowLifetime.expired() ? nullptr : m_mainWindow;
}

void WindowedLauncherUi::Shutdown() {
    std::lock_guard lock(m_mutex);
    m_shutDown = true;
    ++m_generation;
    m_done.notify_all();
}

bool WindowedLauncherUi::IsShutDown() const {
    std::lock_guard lock(m_mutex);
    return m_shutDown;
}

void WindowedLauncherUi::RunOnUiThread(std::function<void()> fn) {
    if (OnUiThread()) {
        if (!IsShutDown()) fn();
        return;
    }
    struct Call {
        bool finished = false;
    };
    auto call = std::make_shared<Call>();
    unsigned long generation;
    {
        std::lock_guard lock(m_mutex);
        if (m_shutDown) return;
        generation = m_generation;
    }
    // The request holds the shared state, not the caller's stack, so a caller released by
    // Shutdown may return before the request is dropped.
    PostToUiThread([this, call, fn = std::move(fn)] {
        if (!IsShutDown()) fn();
        std::lock_guard lock(m_mutex);
        call->finished = true;
        m_done.notify_all();
    });
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return call->finished || m_generation != generation; });
}

void WindowedLauncherUi::ShowMessageText(const std::string& text) {
    RunOnUiThread([this, text] { m_messageRunner(text); });
}

void WindowedLauncherUi::ShowSystemBox(const std::string& text, const std::string& caption) {
    RunOnUiThread([this, text, caption] { m_boxRunner(text, caption); });
}

void WindowedLauncherUi::CloseMainWindow() {
    RunOnUiThread([this] {
        if (LayeredWindow* window = MainWindow()) window->CloseWindow();
    });
}

void WindowedLauncherUi::RunVerificationCodeDialog() {
    RunOnUiThread([this] { m_codeDialogRunner(); });
}

}  // namespace nb
