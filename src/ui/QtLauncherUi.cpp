#include "ui/QtLauncherUi.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <cstdio>
#include <memory>

#include "app/TextEncoding.h"

namespace nb {

QtLauncherUi::QtLauncherUi() {
    m_messageRunner = [](const std::string& text) {
        std::fprintf(stderr, "[message] %s\n", GbkToUtf8(text).c_str());
    };
    m_boxRunner = [](const std::string& text, const std::string& caption) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    };
    m_codeDialogRunner = [] {};
}

QtLauncherUi::~QtLauncherUi() { Shutdown(); }

void QtLauncherUi::SetMainWindow(QWidget* window) { m_mainWindow = window; }

void QtLauncherUi::Shutdown() {
    std::lock_guard lock(m_mutex);
    m_shutDown = true;
    ++m_generation;
    m_done.notify_all();
}

bool QtLauncherUi::IsShutDown() const {
    std::lock_guard lock(m_mutex);
    return m_shutDown;
}

void QtLauncherUi::RunOnUiThread(std::function<void()> fn) {
    if (QThread::currentThread() == thread()) {
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
    QMetaObject::invokeMethod(
        this,
        [this, call, fn = std::move(fn)] {
            if (!IsShutDown()) fn();
            std::lock_guard lock(m_mutex);
            call->finished = true;
            m_done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return call->finished || m_generation != generation; });
}

void QtLauncherUi::ShowMessageText(const std::string& text) {
    RunOnUiThread([this, text] { m_messageRunner(text); });
}

void QtLauncherUi::ShowSystemBox(const std::string& text, const std::string& caption) {
    RunOnUiThread([this, text, caption] { m_boxRunner(text, caption); });
}

void QtLauncherUi::CloseMainWindow() {
    RunOnUiThread([this] {
        if (QWidget* window = m_mainWindow.data()) window->close();
    });
}

void QtLauncherUi::RunVerificationCodeDialog() {
    RunOnUiThread([this] { m_codeDialogRunner(); });
}

}  // namespace nb
