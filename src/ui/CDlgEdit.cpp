#include "ui/CDlgEdit.h"

#include "ui/SkinLineEdit.h"

namespace nb {
namespace {
const QColor kTextColour(255, 255, 255);
const QRect kAccountPlace(18, 1, 194, 23);
const QRect kPasswordPlace(18, 40, 194, 23);
}  // namespace

CDlgEdit::CDlgEdit(QWidget* parent)
    : QWidget(parent),
      m_pAccount(new SkinLineEdit(kTextColour, this)),
      m_pPassword(new SkinLineEdit(kTextColour, this)) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    m_pAccount->setObjectName(QStringLiteral("account"));
    m_pPassword->setObjectName(QStringLiteral("password"));
    m_pPassword->setEchoMode(QLineEdit::Password);
    m_pAccount->setGeometry(kAccountPlace);
    m_pPassword->setGeometry(kPasswordPlace);
    setTabOrder(m_pAccount, m_pPassword);
    hide();
}

}  // namespace nb
