#include "ui/CIdentifyingCodeDlg.h"

#include "app/LauncherContext.h"
#include "login/Login.h"
#include "login/SessionClient.h"
#include "skin/SkinButton.h"
#include "skin/SkinCanvas.h"
#include "ui/CDlgEdtCode.h"

namespace nb {
namespace {

constexpr int kBackground = 149;
constexpr unsigned kButtonFrames = 3;

struct CodeButtonSpec {
    int controlId;
    int picture;
    Point createdAt;  // one frame in size
    Rect placedAt;    // empty: where it was created
};
const CodeButtonSpec kButtons[] = {
    {CIdentifyingCodeDlg::kIdLogin, 151, Point{80, 190}, Rect()},
    {CIdentifyingCodeDlg::kIdCancel, 151, Point{227, 190}, Rect()},
    // The close sign is made for the bigger windows and is drawn shrunk into 38 x 38 here.
    {CIdentifyingCodeDlg::kIdClose, 134, Point{300, 0}, Rect(322, 16, 38, 38)},
};

// The click area of the picture: the template's static control 1005 (39, 71, 52 x 22 dialog
// units of an 8-point dialog font) in pixels. It is an input area only; the picture and the
// texts are what the composition draws.
constexpr Rect kRefreshArea(58, 115, 78, 36);

struct CodeText {
    int message;
    int pixelSize;
    Rect place;  // an empty size: one line from the point
};
const CodeText kTexts[] = {
    {33, 15, Rect(50, 65, 307, 91)},  // the request, inside its rectangle
    {34, 15, Rect(100, 196, 0, 0)},   // on the login button
    {35, 15, Rect(247, 196, 0, 0)},   // on the cancel button
    {36, 12, Rect(62, 155, 0, 0)},    // under the picture
    {37, 12, Rect(235, 155, 0, 0)},   // under the code box
};
constexpr SkinColour kTextColour = 0xC8029DFFu;

constexpr Rect kPicturePlace(70, 120, 68, 28);

// The code box sits at a fixed offset from the owner's corner, which puts it right of the
// picture when the dialog is centred on the main window.
constexpr Point kCodeBoxFromOwner{530, 331};
constexpr Size kCodeBoxSize{120, 31};
// Where the box lands inside the dialog when it is centred on a main window of 1000 x 692.
constexpr Point kCodeBoxInDialog{530 - (1000 - 373) / 2, 331 - (692 - 268) / 2};

}  // namespace

CIdentifyingCodeDlg::CIdentifyingCodeDlg(LayeredWindow* owner)
    : LayeredWindow(nullptr), m_pOwnerWindow(owner), m_background(LoadSkinImage(kBackground)) {}

CIdentifyingCodeDlg::~CIdentifyingCodeDlg() {
    m_bDestroying = true;
    for (auto* button : {&m_pLogin, &m_pCancel, &m_pClose, &m_pRefresh}) {
        if (*button) (*button)->SetOwner(nullptr);
    }
    for (auto* button : {&m_pLogin, &m_pCancel, &m_pClose, &m_pRefresh}) button->reset();
    m_pCodeBox.reset();
}

SkinButton* CIdentifyingCodeDlg::Button(int controlId) const {
    for (const auto* button : {&m_pLogin, &m_pCancel, &m_pClose}) {
        if (*button && (*button)->ControlId() == controlId) return button->get();
    }
    return nullptr;
}

bool CIdentifyingCodeDlg::OnInitDialog() {
    for (const CodeButtonSpec& spec : kButtons) {
        auto button = std::make_unique<SkinButton>();
        button->CreateFromPng(kButtonFrames, spec.createdAt.x, spec.createdAt.y, spec.picture, spec.controlId,
                              this, false);
        button->SetOwner(this);
        if (!spec.placedAt.IsEmpty()) button->PlaceAt(spec.placedAt);
        button->ShowInput();
        if (spec.controlId == kIdLogin) m_pLogin = std::move(button);
        else if (spec.controlId == kIdCancel) m_pCancel = std::move(button);
        else if (spec.controlId == kIdClose) m_pClose = std::move(button);
    }

    // An invisible button of the static's size: it reports its click like the others.
    m_pRefresh = std::make_unique<SkinButton>();
    m_pRefresh->CreateFromImage(SkinImage::Transparent(kRefreshArea.width, kRefreshArea.height), 1, kRefreshArea.x,
                                kRefreshArea.y, kIdRefresh, this, false);
    m_pRefresh->SetOwner(this);
    m_pRefresh->ShowInput();

    m_pCodeBox = std::make_unique<CDlgEdtCode>(this);
    m_pCodeBox->ShowPanel();

    // Centred on the owner (the framework's place for a dialog of the main window).
    const Size size{m_background.Width(), m_background.Height()};
    const Rect area = m_pOwnerWindow ? Rect(m_pOwnerWindow->ScreenOrigin(), m_pOwnerWindow->WindowSize())
                                     : ScreenArea();
    MoveTo(area.Origin() + Point{(area.width - size.width) / 2, (area.height - size.height) / 2});

    Redraw();
    m_pCodeBox->CodeEdit()->FocusEdit();
    return true;
}

Point CIdentifyingCodeDlg::OwnerCorner() const {
    if (m_pOwnerWindow) return m_pOwnerWindow->ScreenOrigin();
    return ScreenOrigin() + kCodeBoxInDialog - kCodeBoxFromOwner;
}

void CIdentifyingCodeDlg::Redraw() {
    if (m_bDestroying) return;
    const LauncherContext* context = TheContext();
    LayeredRepaint(m_background, [&](SkinCanvas& canvas) {
        for (const auto* button : {&m_pLogin, &m_pCancel, &m_pClose}) {
            if (*button) (*button)->DrawTo(canvas);
        }
        for (const CodeText& text : kTexts) {
            const std::string message = context ? context->MessageText(text.message) : std::string();
            if (text.place.IsEmpty()) {
                canvas.DrawText(message, text.place.x, text.place.y, text.pixelSize, kTextColour);
            } else {
                canvas.DrawTextInRect(message, text.place, text.pixelSize, kTextColour);
            }
        }
        // Read again on every repaint: a refresh or a rejected code replaces the file.
        const SkinImage picture = LoadSkinImageFromFile(kVerificationImageFile);
        canvas.DrawImageScaled(picture, kPicturePlace.x, kPicturePlace.y, kPicturePlace.width,
                               kPicturePlace.height);
    });
    if (m_pCodeBox) {
        m_pCodeBox->PlaceAt(Rect(OwnerCorner() + kCodeBoxFromOwner - ScreenOrigin(), kCodeBoxSize));
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
            if (m_pCodeBox) m_pCodeBox->HidePanel();
            CloseWindow();
            break;
        case kIdCancel:
            CloseWindow();
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
            if (m_pCodeBox) m_pCodeBox->HidePanel();
            CloseWindow();
            break;
        case CodeLoginResult::kGameStarted:
            CloseWindow();  // normally the process has ended already
            break;
    }
}

bool CIdentifyingCodeDlg::OnKey(SkinKey key) {
    // Enter in the code box logs in, as the login button does.
    if (key != SkinKey::Enter) return false;
    OnCodeLogin();
    return true;
}

void CIdentifyingCodeDlg::RunModal(LayeredWindow* owner) {
    CIdentifyingCodeDlg dialog(owner);
    dialog.OnInitDialog();
    dialog.LayeredWindow::RunModal();
}

}  // namespace nb
