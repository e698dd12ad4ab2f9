#include "ui/CIdentifyingCodeDlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "app/LauncherContext.h"
#include "login/Login.h"
#include "login/SessionClient.h"
#include "skin/SkinButton.h"
#include "skin/SkinCanvas.h"
#include "ui/CDlgEdtCode.h"
#include "ui/SkinLineEdit.h"

namespace nb {
namespace {

constexpr int kBackground = 149;
constexpr unsigned kButtonFrames = 3;

struct CodeButtonSpec {
    int controlId;
    int picture;
    QRect createdAt;  // an empty size: the frame's size
    QRect placedAt;
};
const CodeButtonSpec kButtons[] = {
    {CIdentifyingCodeDlg::kIdLogin, 151, QRect(80, 190, 0, 0), QRect()},
    {CIdentifyingCodeDlg::kIdCancel, 151, QRect(227, 190, 0, 0), QRect()},
    // The close sign is made for the bigger windows and is drawn shrunk into 38 x 38 here.
    {CIdentifyingCodeDlg::kIdClose, 134, QRect(300, 0, 0, 0), QRect(322, 16, 38, 38)},
};

// The click area of the picture: the template's static control 1005 (39, 71, 52 x 22 dialog
// units of an 8-point dialog font) in pixels. It is an input area only; the picture and the
// texts are what the composition draws.
const QRect kRefreshArea(58, 115, 78, 36);

struct CodeText {
    int message;
    int pixelSize;
    QRect place;  // an empty size: one line from the point
};
const CodeText kTexts[] = {
    {33, 15, QRect(50, 65, 307, 91)},  // the request, inside its rectangle
    {34, 15, QRect(100, 196, 0, 0)},   // on the login button
    {35, 15, QRect(247, 196, 0, 0)},   // on the cancel button
    {36, 12, QRect(62, 155, 0, 0)},    // under the picture
    {37, 12, QRect(235, 155, 0, 0)},   // under the code box
};
constexpr unsigned kTextColour = 0xC8029DFFu;

const QRect kPicturePlace(70, 120, 68, 28);

// The code box sits at a fixed offset from the owner's corner, which puts it right of the
// picture when the dialog is centred on the main window.
const QPoint kCodeBoxFromOwner(530, 331);
const QSize kCodeBoxSize(120, 31);
// Where the box lands inside the dialog when it is centred on a main window of 1000 x 692.
const QPoint kCodeBoxInDialog(530 - (1000 - 373) / 2, 331 - (692 - 268) / 2);

}  // namespace

CIdentifyingCodeDlg::CIdentifyingCodeDlg(QWidget* owner)
    : LayeredWindow(nullptr), m_pOwnerWindow(owner), m_background(LoadSkinImage(kBackground)) {}

CIdentifyingCodeDlg::~CIdentifyingCodeDlg() {
    m_bDestroying = true;
    for (SkinButton* button : {m_pLogin, m_pCancel, m_pClose}) {
        if (button) button->SetOwner(nullptr);
    }
    if (auto* refresh = qobject_cast<SkinButton*>(m_pRefresh)) refresh->SetOwner(nullptr);
}

SkinButton* CIdentifyingCodeDlg::Button(int controlId) const {
    for (SkinButton* button : {m_pLogin, m_pCancel, m_pClose}) {
        if (button && button->ControlId() == controlId) return button;
    }
    return nullptr;
}

bool CIdentifyingCodeDlg::OnInitDialog() {
    for (const CodeButtonSpec& spec : kButtons) {
        auto* button = new SkinButton();
        button->CreateFromPng(kButtonFrames, spec.createdAt.x(), spec.createdAt.y(), spec.picture,
                              spec.controlId, this, false);
        button->SetOwner(this);
        if (!spec.placedAt.isNull()) button->setGeometry(spec.placedAt);
        button->show();
        if (spec.controlId == kIdLogin) m_pLogin = button;
        if (spec.controlId == kIdCancel) m_pCancel = button;
        if (spec.controlId == kIdClose) m_pClose = button;
    }

    // An invisible button of the static's size: it reports its click like the others.
    QImage clear(kRefreshArea.size(), QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    auto* refresh = new SkinButton();
    refresh->CreateFromImage(SkinImage(clear), 1, kRefreshArea.x(), kRefreshArea.y(), kIdRefresh, this,
                             false);
    refresh->SetOwner(this);
    refresh->show();
    m_pRefresh = refresh;

    m_pCodeBox = new CDlgEdtCode(this);
    m_pCodeBox->show();

    // Centred on the owner (the framework's place for a dialog of the main window).
    const QSize size(m_background.Width(), m_background.Height());
    QRect area;
    if (m_pOwnerWindow) {
        area = QRect(m_pOwnerWindow->mapToGlobal(QPoint(0, 0)), m_pOwnerWindow->size());
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    move(area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2));

    Redraw();
    m_pCodeBox->CodeEdit()->setFocus();
    return true;
}

QPoint CIdentifyingCodeDlg::OwnerCorner() const {
    if (m_pOwnerWindow) return m_pOwnerWindow->mapToGlobal(QPoint(0, 0));
    return mapToGlobal(QPoint(0, 0)) + kCodeBoxInDialog - kCodeBoxFromOwner;
}

void CIdentifyingCodeDlg::Redraw() {
    if (m_bDestroying) return;
    const LauncherContext* context = TheContext();
    LayeredRepaint(m_background, [&](SkinCanvas& canvas) {
        for (SkinButton* button : {m_pLogin, m_pCancel, m_pClose}) {
            if (button) button->DrawTo(canvas);
        }
        for (const CodeText& text : kTexts) {
            const std::string message = context ? context->MessageText(text.message) : std::string();
            if (text.place.isEmpty()) {
                canvas.DrawText(message, text.place.x(), text.place.y(), text.pixelSize, kTextColour);
            } else {
                canvas.DrawTextInRect(message, QRectF(text.place), text.pixelSize, kTextColour);
            }
        }
        // Read again on every repaint: a refresh or a rejected code replaces the file.
        const SkinImage picture = LoadSkinImageFromFile(kVerificationImageFile);
        canvas.DrawImageScaled(picture, kPicturePlace.x(), kPicturePlace.y(), kPicturePlace.width(),
                               kPicturePlace.height());
    });
    if (m_pCodeBox) {
        m_pCodeBox->setGeometry(QRect(mapFromGlobal(OwnerCorner() + kCodeBoxFromOwner), kCodeBoxSize));
    }
}

void CIdentifyingCodeDlg::RequestRedraw(SkinButton*) {
    Redraw();
}

void CIdentifyingCodeDlg::OnCommand(int controlId) {
    switch (controlId) {
        case kIdLogin:
            OnCodeLogin();
            break;
        case kIdClose:
            if (m_pCodeBox) m_pCodeBox->hide();
            close();
            break;
        case kIdCancel:
            close();
            break;
        case kIdRefresh:
            OnRefresh();
            break;
        default:
            break;
    }
}

void CIdentifyingCodeDlg::OnRefresh() {
    if (LauncherContext* context = TheContext()) context->FetchVerificationImage();
    Redraw();
}

void CIdentifyingCodeDlg::OnCodeLogin() {
    const std::string code = m_pCodeBox ? m_pCodeBox->CodeEdit()->GbkText() : std::string();
    switch (LoginWithVerificationCode(code, [this] { Redraw(); })) {
        case CodeLoginResult::kCodeRejected:
            break;  // a fresh picture is shown; another try
        case CodeLoginResult::kLoginRejected:
            if (m_pCodeBox) m_pCodeBox->hide();
            close();
            break;
        case CodeLoginResult::kGameStarted:
            close();  // normally the process has ended already
            break;
    }
}

void CIdentifyingCodeDlg::keyPressEvent(QKeyEvent* event) {
    // Enter in the code box logs in, as the login button does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        OnCodeLogin();
        return;
    }
    LayeredWindow::keyPressEvent(event);
}

void CIdentifyingCodeDlg::RunModal(QWidget* owner) {
    CIdentifyingCodeDlg dialog(owner);
    dialog.OnInitDialog();
    dialog.exec();
}

}  // namespace nb
