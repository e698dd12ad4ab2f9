#include "ui/CDlgEdit.h"

namespace nb {
namespace {
constexpr SkinColour kTextColour = 0xFFFFFFFFu;
constexpr Rect kAccountPlace(18, 1, 194, 23);
constexpr Rect kPasswordPlace(18, 40, 194, 23);
}  // namespace

CDlgEdit::CDlgEdit(LayeredWindowNative* owner)
    : SkinEditPanel(owner),
      m_pAccount(new SkinLineEdit(kTextColour, this)),
      m_pPassword(new SkinLineEdit(kTextColour, this)) {
    m_pAccount->SetName("account");
    m_pPassword->SetName("password");
    m_pPassword->SetPasswordMode();
    m_pAccount->PlaceAt(kAccountPlace);
    m_pPassword->PlaceAt(kPasswordPlace);
    SetTabOrder(m_pAccount, m_pPassword);
    HidePanel();
}

}  // namespace nb
