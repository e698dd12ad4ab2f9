#pragma once
#include <QWidget>

namespace nb {

class SkinLineEdit;

// The verification-code box (1003) of the code dialog: one edit box in the code colour on
// the edit-field bitmap, on a panel that draws nothing. The dialog places it and reads it.
class CDlgEdtCode : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIdCode = 1003;

    explicit CDlgEdtCode(QWidget* parent);

    SkinLineEdit* CodeEdit() const { return m_pCode; }

private:
    SkinLineEdit* m_pCode;
};

}  // namespace nb
