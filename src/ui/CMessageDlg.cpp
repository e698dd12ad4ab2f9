#include "ui/CMessageDlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "skin/SkinButton.h"
#include "skin/SkinCanvas.h"
#include "skin/SkinText.h"

namespace nb {
namespace {

constexpr int kBackgroundId = 150;
constexpr int kOkImageId = 151;
constexpr int kOkX = 110;
constexpr int kOkY = 122;
// "确定"
constexpr const char kOkLabel[] = "\xC8\xB7\xB6\xA8";
constexpr int kOkLabelX = 129;
constexpr int kOkLabelY = 128;

}  // namespace

CMessageDlg::CMessageDlg(QWidget* owner) : LayeredWindow(owner), m_background(LoadSkinImage(kBackgroundId)) {
    m_pOkButton = new SkinButton();
    m_pOkButton->CreateFromPng(3, kOkX, kOkY, kOkImageId, kOkButtonId, this, false);
    m_pOkButton->SetOwner(this);
    m_pOkButton->show();
    Compose();
}

CMessageDlg::~CMessageDlg() {
    // The button outlives this part of the destruction (QWidget deletes children later);
    // it must not call back into a half-destroyed owner.
    if (m_pOkButton) m_pOkButton->SetOwner(nullptr);
}

void CMessageDlg::SetText(const std::string& gbk) {
    SetText(SkinTextFromGbk(gbk));
}

void CMessageDlg::SetText(const QString& text) {
    m_strText = SkinTextCut(text);
    Compose();
}

QPoint CMessageDlg::CellOrigin(int i) {
    return {kGridLeft + (i % kGridColumns) * kCellWidth, kGridTop + (i / kGridColumns) * kRowHeight};
}

void CMessageDlg::RequestRedraw(SkinButton*) {
    Compose();
}

void CMessageDlg::OnCommand(int controlId) {
    if (controlId == kOkButtonId) close();
}

void CMessageDlg::Compose() {
    LayeredRepaint(m_background, [this](SkinCanvas& canvas) {
        m_pOkButton->DrawTo(canvas);
        // One cell per UTF-16 unit, no word wrap: a line break takes a cell like any other
        // character, and rows past the fifth run over the button.
        for (int i = 0; i < m_strText.size(); ++i) {
            const QPoint origin = CellOrigin(i);
            canvas.DrawText(QString(m_strText.at(i)), origin.x(), origin.y(), kTextPixels, kTextColour);
        }
        canvas.DrawText(kOkLabel, kOkLabelX, kOkLabelY, kTextPixels, kTextColour);
    });
}

void CMessageDlg::showEvent(QShowEvent* event) {
    // Centred over the owner, or on the screen when there is none.
    QRect area;
    if (QWidget* owner = parentWidget(); owner && owner->isVisible()) {
        area = owner->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
    LayeredWindow::showEvent(event);
}

void CMessageDlg::keyPressEvent(QKeyEvent* event) {
    // Enter acts as the OK button, as in any dialog whose only button is OK.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        close();
        return;
    }
    LayeredWindow::keyPressEvent(event);  // Escape ends the dialog
}

void RunMessageDialog(const std::string& gbkText) {
    RunMessageDialog(SkinTextFromGbk(gbkText));
}

void RunMessageDialog(const QString& text) {
    CMessageDlg dialog;
    dialog.SetText(text);
    dialog.exec();
}

}  // namespace nb
