#include "windowless/WindowlessUi.h"

#include <cstdio>

#include "platform/DebugOutput.h"

namespace nb {
namespace {

void Report(const std::string& line) {
    platform::DebugOutput(line.c_str());
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace

void WindowlessUi::ShowMessageText(const std::string& text) { Report("[message] " + text + "\n"); }

void WindowlessUi::ShowSystemBox(const std::string& text, const std::string& caption) {
    Report("[" + caption + "] " + text + "\n");
}

void WindowlessUi::ReportWindow(const std::string& name) { Report("[window] " + name + "\n"); }

void WindowlessUi::CloseMainWindow() {
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_closed.notify_all();
}

void WindowlessUi::OpenWindowUntilClosed() {
    std::unique_lock lock(m_mutex);
    m_open = true;
    m_closed.wait(lock, [this] { return !m_open; });
}

}  // namespace nb
