#include "ui/CMessageDlg.h"

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

CMessageDlg::CMessageDlg(LayeredWindow* owner)
    : LayeredWindow(owner), m_background(LoadSkinImage(kBackgroundId)), m_pOkButton(std::make_unique<SkinButton>()) {
    m_pOkButton->CreateFromPng(3, kOkX, kOkY, kOkImageId, kOkButtonId, this, false);
    m_pOkButton->SetOwner(this);
    m_pOkButton->ShowInput();
    Compose();
}

CMessageDlg::~CMessageDlg() {
    // The button goes first; it must not call back into a half-destroyed owner on the way.
    m_pOkButton->SetOwner(nullptr);
    m_pOkButton.reset();
}

void CMessageDlg::SetText(const std::string& gbk) {
    SetText(SkinTextFromGbk(gbk));
}

void CMessageDlg::SetText(const std::u16string& text) {
    m_strText = SkinTextCut(text);
    Compose();
}

Point CMessageDlg::CellOrigin(int i) {
    return {kGridLeft + (i % kGridColumns) * kCellWidth, kGridTop + (i / kGridColumns) * kRowHeight};
}

void CMessageDlg::RequestRedraw(SkinButton*) {
    Compose();
}

void CMessageDlg::OnCommand(int controlId) {
    if (controlId == kOkButtonId) CloseWindow();
}

void CMessageDlg::Compose() {
    LayeredRepaint(m_background, [this](SkinCanvas& canvas) {
        m_pOkButton->DrawTo(canvas);
        // One cell per UTF-16 unit, no word wrap: a line break takes a cell like any other
        // character, and rows past the fifth run over the button.
        for (size_t i = 0; i < m_strText.size(); ++i) {
            const Point origin = CellOrigin(static_cast<int>(i));
            canvas.DrawText(std::u16string(1, m_strText[i]), origin.x, origin.y, kTextPixels, kTextColour);
        }
        canvas.DrawText(kOkLabel, kOkLabelX, kOkLabelY, kTextPixels, kTextColour);
    });
}

void CMessageDlg::OnShown() {
    // Centred over the owner, or on the screen when there is none.
    Rect area;
    if (const LayeredWindowNative* owner = OwnerWindow(); owner && owner->IsShown()) {
        area = Rect(owner->ScreenOrigin(), owner->WindowSize());
    } else {
        area = ScreenArea();
    }
    const Size size = WindowSize();
    if (!area.IsEmpty()) MoveTo(area.Centre() - Point{size.width / 2, size.height / 2});
}

bool CMessageDlg::OnKey(SkinKey key) {
    // Enter acts as the OK button, as in any dialog whose only button is OK; Escape goes on
    // and ends the dialog.
    if (key != SkinKey::Enter) return false;
    CloseWindow();
    return true;
}

void RunMessageDialog(const std::string& gbkText) {
    RunMessageDialog(SkinTextFromGbk(gbkText));
}

void RunMessageDialog(const std::u16string& text) {
    CMessageDlg dialog;
    dialog.SetText(text);
    dialog.RunModal();
}

}  // namespace nb
