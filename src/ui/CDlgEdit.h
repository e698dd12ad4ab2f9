#pragma once
#include "SkinNative.h"

namespace nb {

// The main window's account panel: the account name box (1001) and the password box (1002,
// shown as placeholder characters), white text on the edit-field bitmap. The panel itself
// draws nothing, so the window's composed picture shows around the boxes. It has no logic:
// the window reads and clears the boxes.
class CDlgEdit : public SkinEditPanel {
public:
    static constexpr int kIdAccount = 1001;
    static constexpr int kIdPassword = 1002;

    explicit CDlgEdit(LayeredWindowNative* owner);

    SkinLineEdit* AccountEdit() const { return m_pAccount; }
    SkinLineEdit* PasswordEdit() const { return m_pPassword; }

private:
    SkinLineEdit* m_pAccount;  // children of the panel
    SkinLineEdit* m_pPassword;
};

}  // namespace nb
