#include "ui/CDlgUpdate.h"

#include <chrono>

#include "app/LauncherContext.h"
#include "app/TextEncoding.h"
#include "skin/SkinButton.h"
#include "skin/SkinCanvas.h"
#include "ui/CDlgAnnounce.h"
#include "ui/CDlgWebPicture.h"
#include "ui/ExternalPages.h"
#include "ui/UpdateProgress.h"

namespace nb {
namespace {

// "NorbelrokOnline 1", the window title, kept in the Big5 code page.
constexpr const char kTitleBig5[] = "NorbelrokOnline 1";

constexpr int kBackgroundId = 129;
constexpr int kProgressFillId = 156;
constexpr int kProgressFrameId = 184;
constexpr int kEmblemId = 185;

struct ButtonSpec {
    int controlId;
    int imageId;
    int x;
    int y;
};
// In the order they are drawn.
constexpr ButtonSpec kButtons[] = {
    {CDlgUpdate::kCloseId, 134, 820, 28},
    {CDlgUpdate::kSecondId, 152, 540, 552},
    {CDlgUpdate::kDownloadPageId, 153, 410, 552},
    {CDlgUpdate::kBannerId, 186, 388, 0},
};

constexpr int kTextPixels = 14;
constexpr SkinColour kTextColour = 0xFD507EA1u;
constexpr Point kVersionLine{305, 478};
constexpr Point kProgressLine{305, 498};
// The download's speed and time left: on the version line's row, right of where its text
// ends, over the progress frame's right half.
constexpr Point kSpeedLine{560, 478};
constexpr int kMessageTimeLeft = 46;
constexpr Point kProgressFrame{310, 510};
constexpr Point kProgressFill{316, 528};
constexpr Point kEmblem{800, 512};
constexpr int kEmblemFrames = 3;
constexpr Point kDownloadLabel{415, 560};  // message 38
constexpr Point kSecondLabel{545, 560};    // message 39

}  // namespace

CDlgUpdate::CDlgUpdate(LauncherContext& context, std::function<void()> startWorker)
    : LayeredWindow(nullptr, Kind::MainWindow),
      m_context(context),
      m_startWorker(std::move(startWorker)),
      m_background(LoadSkinImage(kBackgroundId)),
      m_progressFill(LoadSkinImage(kProgressFillId)),
      m_progressFrame(LoadSkinImage(kProgressFrameId)),
      m_emblem(LoadSkinImage(kEmblemId)) {
    SetTitle(Big5ToUtf16(kTitleBig5));
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        auto button = std::make_unique<SkinButton>();
        button->CreateFromPng(3, kButtons[i].x, kButtons[i].y, kButtons[i].imageId, kButtons[i].controlId,
                              this, false);
        button->SetOwner(this);
        button->ShowInput();
        m_pButtons[i] = std::move(button);
    }
    m_pWebPicture = std::make_unique<CDlgWebPicture>(this, m_context.m_strLauncherNavPage);
    m_pAnnounce = std::make_unique<CDlgAnnounce>(this, m_context.m_strLauncherPage);
    Compose();
}

CDlgUpdate::~CDlgUpdate() {
    m_timer.Stop();
    // A button going away must not reach back into this half-destroyed window.
    for (auto& button : m_pButtons)
        if (button) button->SetOwner(nullptr);
    for (auto& button : m_pButtons) button.reset();
}

SkinButton* CDlgUpdate::Button(int controlId) const {
    for (const auto& button : m_pButtons)
        if (button && button->ControlId() == controlId) return button.get();
    return nullptr;
}

void CDlgUpdate::RequestRedraw(SkinButton*) {
    Compose();
}

void CDlgUpdate::OnCommand(int controlId) {
    switch (controlId) {
        case kCloseId:
        case kSecondId:
            CloseWindow();
            break;
        case kDownloadPageId:
            OpenInDefaultBrowser(m_context.m_strDownloadPage);  // nothing when there is none
            CloseWindow();
            break;
        case kBannerId:
            OpenPortalHomePage();
            break;
        default:
            break;
    }
}

void CDlgUpdate::OnShown() {
    if (!m_bStarted) {
        m_bStarted = true;
        const Rect screen = ScreenArea();
        const Size size = WindowSize();
        if (!screen.IsEmpty()) MoveTo(screen.Centre() - Point{size.width / 2, size.height / 2});
        PlacePanels();
        m_fFraction = 0.0f;
        Compose();
        if (m_startWorker) m_startWorker();
        m_timer.Start(kTimerPeriodMs, [this] { Compose(); });
    }
    // Shown first, and again when restored after a minimise, which hid them.
    if (!IsMinimised()) {
        m_pWebPicture->ShowPanel();
        m_pAnnounce->ShowPanel();
    }
    // Without a window manager a window mapped later lands on top: lift the panels over this
    // window once it is on the screen, below a dialog that is already up.
    RunSoon([this] {
        m_pWebPicture->RaisePanel();
        m_pAnnounce->RaisePanel();
        KeepModalAbovePanels();
    });
}

void CDlgUpdate::OnHidden() {
    m_pWebPicture->HidePanel();
    m_pAnnounce->HidePanel();
}

void CDlgUpdate::OnMoved() {
    PlacePanels();
}

void CDlgUpdate::PlacePanels() {
    const Point origin = ScreenOrigin();
    m_pWebPicture->FollowOwner(origin);
    m_pAnnounce->FollowOwner(origin);
}

void CDlgUpdate::Compose() {
    // The timer keeps running while the window is minimised: the panel must stay hidden then.
    if (IsShown() && !IsMinimised()) m_pWebPicture->ShowPanel();
    const UpdateProgressReading reading = ReadUpdateProgress(m_context);
    const UpdateProgress progress = ComputeUpdateProgress(reading, m_fFraction, m_context.m_MessageTable);
    m_fFraction = progress.fraction;
    m_strProgressText = progress.text;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    m_rate.Sample(std::chrono::duration<double>(now).count(), reading);
    m_strSpeedText = DownloadSpeedText(m_rate.BytesPerSecond(), reading.downTotal, reading.downDone,
                                       m_context.MessageText(kMessageTimeLeft));
    LayeredRepaint(m_background, [this](SkinCanvas& canvas) {
        for (const auto& button : m_pButtons) button->DrawTo(canvas);
        canvas.DrawText(UpdateVersionLine(m_context.MessageText(16), m_context.m_nLocalBuild,
                                          m_context.m_strServerVersion),
                        kVersionLine.x, kVersionLine.y, kTextPixels, kTextColour);
        canvas.DrawText(m_strProgressText, kProgressLine.x, kProgressLine.y, kTextPixels, kTextColour);
        if (!m_strSpeedText.empty())
            canvas.DrawText(m_strSpeedText, kSpeedLine.x, kSpeedLine.y, kTextPixels, kTextColour);
        canvas.DrawImage(m_progressFrame, kProgressFrame.x, kProgressFrame.y);
        const int fill = ProgressBarWidth(m_fFraction);
        if (fill > 0)
            canvas.DrawImageScaled(m_progressFill, kProgressFill.x, kProgressFill.y, fill,
                                   m_progressFill.Height());
        canvas.DrawFrame(m_emblem, kEmblemFrames, 0, kEmblem.x, kEmblem.y);
        canvas.DrawText(m_context.MessageText(38), kDownloadLabel.x, kDownloadLabel.y, kTextPixels,
                        kTextColour);
        canvas.DrawText(m_context.MessageText(39), kSecondLabel.x, kSecondLabel.y, kTextPixels,
                        kTextColour);
    });
}

}  // namespace nb
