#include "ui/CDlgEdtCode.h"

namespace nb {
namespace {
constexpr SkinColour kTextColour = 0xFF029DFFu;
constexpr Rect kCodePlace(0, 0, 100, 28);
}  // namespace

CDlgEdtCode::CDlgEdtCode(LayeredWindowNative* owner)
    : SkinEditPanel(owner), m_pCode(new SkinLineEdit(kTextColour, this)) {
    m_pCode->SetName("code");
    m_pCode->PlaceAt(kCodePlace);
}

}  // namespace nb
