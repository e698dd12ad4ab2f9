#pragma once
#include "SkinNative.h"

namespace nb {

// The verification-code box (1003) of the code dialog: one edit box in the code colour on
// the edit-field bitmap, on a panel that draws nothing. The dialog places it and reads it.
class CDlgEdtCode : public SkinEditPanel {
public:
    static constexpr int kIdCode = 1003;

    explicit CDlgEdtCode(LayeredWindowNative* owner);

    SkinLineEdit* CodeEdit() const { return m_pCode; }

private:
    SkinLineEdit* m_pCode;  // a child of the panel
};

}  // namespace nb
