#include "QuietUi.h"

namespace nbfuzz {

void QuietUi::ShowMessageText(const std::string& text) {
    ++m_nMessages;
    m_strLastText = text;
}

void QuietUi::ShowSystemBox(const std::string& text, const std::string&) {
    ++m_nMessages;
    m_strLastText = text;
}

void QuietUi::Reset() {
    m_nMessages = 0;
    m_strLastText.clear();
}

QuietUi& QuietUi::Install() {
    static QuietUi ui;
    nb::SetLauncherUi(&ui);
    return ui;
}

}  // namespace nbfuzz
