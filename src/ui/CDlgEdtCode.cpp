#include "ui/CDlgEdtCode.h"

#include "ui/SkinLineEdit.h"

namespace nb {
namespace {
const QColor kTextColour(2, 157, 255);
const QRect kCodePlace(0, 0, 100, 28);
}  // namespace

CDlgEdtCode::CDlgEdtCode(QWidget* parent) : QWidget(parent), m_pCode(new SkinLineEdit(kTextColour, this)) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    m_pCode->setObjectName(QStringLiteral("code"));
    m_pCode->setGeometry(kCodePlace);
}

}  // namespace nb
