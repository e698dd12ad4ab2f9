#include "ui/CDlgUpdate.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>

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
constexpr quint32 kTextColour = 0xFD507EA1u;
constexpr QPoint kVersionLine(305, 478);
constexpr QPoint kProgressLine(305, 498);
constexpr QPoint kProgressFrame(310, 510);
constexpr QPoint kProgressFill(316, 528);
constexpr QPoint kEmblem(800, 512);
constexpr int kEmblemFrames = 3;
constexpr QPoint kDownloadLabel(415, 560);  // message 38
constexpr QPoint kSecondLabel(545, 560);    // message 39

}  // namespace

CDlgUpdate::CDlgUpdate(LauncherContext& context, std::function<void()> startWorker)
    : LayeredWindow(nullptr, Kind::kMainWindow),
      m_context(context),
      m_startWorker(std::move(startWorker)),
      m_background(LoadSkinImage(kBackgroundId)),
      m_progressFill(LoadSkinImage(kProgressFillId)),
      m_progressFrame(LoadSkinImage(kProgressFrameId)),
      m_emblem(LoadSkinImage(kEmblemId)) {
    setWindowTitle(QString::fromStdU16String(Big5ToUtf16(kTitleBig5)));
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        auto* button = new SkinButton();
        button->CreateFromPng(3, kButtons[i].x, kButtons[i].y, kButtons[i].imageId, kButtons[i].controlId,
                              this, false);
        button->SetOwner(this);
        button->show();
        m_pButtons[i] = button;
    }
    m_pWebPicture = new CDlgWebPicture(this, m_context.m_strLauncherNavPage);
    m_pAnnounce = new CDlgAnnounce(this, m_context.m_strLauncherPage);
    Compose();
}

CDlgUpdate::~CDlgUpdate() {
    m_timer.stop();
    // The buttons are deleted after this destructor has run; they must not reach back.
    for (SkinButton* button : m_pButtons)
        if (button) button->SetOwner(nullptr);
}

SkinButton* CDlgUpdate::Button(int controlId) const {
    for (SkinButton* button : m_pButtons)
        if (button && button->ControlId() == controlId) return button;
    return nullptr;
}

void CDlgUpdate::RequestRedraw(SkinButton*) {
    Compose();
}

void CDlgUpdate::OnCommand(int controlId) {
    switch (controlId) {
        case kCloseId:
        case kSecondId:
            close();
            break;
        case kDownloadPageId:
            OpenInDefaultBrowser(m_context.m_strDownloadPage);  // nothing when there is none
            close();
            break;
        case kBannerId:
            OpenPortalHomePage();
            break;
        default:
            break;
    }
}

void CDlgUpdate::showEvent(QShowEvent* event) {
    if (!m_bStarted) {
        m_bStarted = true;
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
        PlacePanels();
        m_fFraction = 0.0f;
        Compose();
        if (m_startWorker) m_startWorker();
        m_timer.start(kTimerPeriodMs, this);
    }
    LayeredWindow::showEvent(event);
    // Shown first, and again when restored after a minimise, which hid them.
    if (!isMinimized()) {
        m_pWebPicture->show();
        m_pAnnounce->show();
    }
    // Without a window manager a window mapped later lands on top: lift the panels over this
    // window once it is on the screen.
    QTimer::singleShot(0, this, [this] {
        m_pWebPicture->raise();
        m_pAnnounce->raise();
        KeepModalAbovePanels(this);
    });
}

void CDlgUpdate::hideEvent(QHideEvent* event) {
    LayeredWindow::hideEvent(event);
    m_pWebPicture->hide();
    m_pAnnounce->hide();
}

void CDlgUpdate::moveEvent(QMoveEvent* event) {
    LayeredWindow::moveEvent(event);
    PlacePanels();
}

void CDlgUpdate::PlacePanels() {
    const QPoint origin = geometry().topLeft();
    m_pWebPicture->FollowOwner(origin);
    m_pAnnounce->FollowOwner(origin);
}

void CDlgUpdate::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer.timerId()) {
        Compose();
        return;
    }
    LayeredWindow::timerEvent(event);
}

void CDlgUpdate::keyPressEvent(QKeyEvent* event) {
    // The window has no default button and nothing to do with Enter: left unanswered, the
    // Enter a web panel passes up goes back to its page.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    LayeredWindow::keyPressEvent(event);
}

void CDlgUpdate::Compose() {
    // The timer keeps running while the window is minimised: the panel must stay hidden then.
    if (isVisible() && !isMinimized()) m_pWebPicture->show();
    const UpdateProgress progress =
        ComputeUpdateProgress(ReadUpdateProgress(m_context), m_fFraction, m_context.m_MessageTable);
    m_fFraction = progress.fraction;
    m_strProgressText = progress.text;
    LayeredRepaint(m_background, [this](SkinCanvas& canvas) {
        for (SkinButton* button : m_pButtons) button->DrawTo(canvas);
        canvas.DrawText(UpdateVersionLine(m_context.MessageText(16), m_context.m_nLocalBuild,
                                          m_context.m_strServerVersion),
                        kVersionLine.x(), kVersionLine.y(), kTextPixels, kTextColour);
        canvas.DrawText(m_strProgressText, kProgressLine.x(), kProgressLine.y(), kTextPixels, kTextColour);
        canvas.DrawImage(m_progressFrame, kProgressFrame.x(), kProgressFrame.y());
        const int fill = ProgressBarWidth(m_fFraction);
        if (fill > 0)
            canvas.DrawImageScaled(m_progressFill, kProgressFill.x(), kProgressFill.y(), fill,
                                   m_progressFill.Height());
        canvas.DrawFrame(m_emblem, kEmblemFrames, 0, kEmblem.x(), kEmblem.y());
        canvas.DrawText(m_context.MessageText(38), kDownloadLabel.x(), kDownloadLabel.y(), kTextPixels,
                        kTextColour);
        canvas.DrawText(m_context.MessageText(39), kSecondLabel.x(), kSecondLabel.y(), kTextPixels,
                        kTextColour);
    });
}

}  // namespace nb
