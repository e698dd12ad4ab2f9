#include "RecordingUi.h"

#include <chrono>

#include "TestPaths.h"
#include "app/LauncherContext.h"

namespace nb::test {

RecordingUi::RecordingUi() {
    SetLauncherUi(this);
}
RecordingUi::~RecordingUi() {
    SetLauncherUi(nullptr);
}

void RecordingUi::Record(std::string text) {
    {
        std::lock_guard lock(m_mutex);
        m_shown.push_back(text);
    }
    if (onShown) onShown(text);
}

void RecordingUi::ShowMessageText(const std::string& text) {
    Record(text);
}

void RecordingUi::ShowSystemBox(const std::string& text, const std::string& caption) {
    Record("box:" + text + "/" + caption);
}

void RecordingUi::CloseMainWindow() {
    std::lock_guard lock(m_mutex);
    ++m_nCloses;
    m_changed.notify_all();
}

void RecordingUi::RunVerificationCodeDialog() {
    {
        std::lock_guard lock(m_mutex);
        ++m_nCodeDialogs;
    }
    if (onCodeDialog) onCodeDialog();
}

std::vector<std::string> RecordingUi::Shown() const {
    std::lock_guard lock(m_mutex);
    return m_shown;
}

void RecordingUi::ClearShown() {
    std::lock_guard lock(m_mutex);
    m_shown.clear();
}

int RecordingUi::CloseCount() const {
    std::lock_guard lock(m_mutex);
    return m_nCloses;
}

int RecordingUi::CodeDialogRuns() const {
    std::lock_guard lock(m_mutex);
    return m_nCodeDialogs;
}

bool RecordingUi::WaitForClose(int count) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(60), [&] { return m_nCloses >= count; });
}

void NumberMessages(LauncherContext& context) {
    for (size_t n = 0; n < 40; ++n) context.m_MessageTable[n] = NumberedText("m", static_cast<long long>(n));
}

}  // namespace nb::test
