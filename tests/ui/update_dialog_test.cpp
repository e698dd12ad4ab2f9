// The update window: the progress texts and bar computed from the worker's values, the
// composed picture (buttons, bar, emblem), its commands, its panels, its timer, and a worker
// that talks to it through the bridge while it runs modally.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QKeyEvent>
#include <QUrl>
#include <atomic>
#include <thread>

#include "WindowTestSupport.h"
#include "app/Endpoints.h"
#include "app/LauncherContext.h"
#include "ui/CDlgAnnounce.h"
#include "ui/CDlgUpdate.h"
#include "ui/CDlgWebPicture.h"
#include "ui/CMessageDlg.h"
#include "ui/WindowedLauncherUi.h"
#include "ui/UpdateProgress.h"
#include "ui/WebPanel.h"

namespace {

using nb::CDlgUpdate;
using nb::ComputeUpdateProgress;
using nb::ProgressBarWidth;
using nb::UpdateProgressReading;
using nb::test::FrameShownAt;

nb::MessageTable Messages() {
    nb::MessageTable messages;
    messages[16] = "Build";
    messages[28] = "Size ";
    messages[29] = " got ";
    messages[30] = "Installing ";
    messages[38] = "Page";
    messages[39] = "Close";
    return messages;
}

UpdateProgressReading Reading(int state, float downTotal, float downDone, float unzipTotal, float unzipDone) {
    return UpdateProgressReading{state, downTotal, downDone, unzipTotal, unzipDone};
}

TEST(UpdateProgress, DownloadShowsKilobytesExpectedAndHeld) {
    const nb::MessageTable m = Messages();
    auto p = ComputeUpdateProgress(Reading(3, 0, 0, 0, 0), 0.5f, m);  // before the first reply
    EXPECT_EQ(p.text, "Size 0K, got 0K");
    EXPECT_EQ(p.fraction, 0.0f);
    EXPECT_EQ(ProgressBarWidth(p.fraction), 0);

    p = ComputeUpdateProgress(Reading(3, 5242880, 1048576, 0, 0), 0, m);
    EXPECT_EQ(p.text, "Size 5120K, got 1024K");
    EXPECT_EQ(ProgressBarWidth(p.fraction), 80);

    // Kilobytes are truncated, not rounded.
    p = ComputeUpdateProgress(Reading(3, 2047, 1023, 0, 0), 0, m);
    EXPECT_EQ(p.text, "Size 1K, got 0K");
}

TEST(UpdateProgress, ExtractionShowsTheRoundedPercentage) {
    const nb::MessageTable m = Messages();
    auto p = ComputeUpdateProgress(Reading(2, 5242880, 5242880, 7, 3), 1.0f, m);
    EXPECT_EQ(p.text, "Installing 43 %");
    EXPECT_EQ(ProgressBarWidth(p.fraction), 172);
    p = ComputeUpdateProgress(Reading(2, 0, 0, 7, 7), 0, m);
    EXPECT_EQ(p.text, "Installing 100 %");
    EXPECT_EQ(ProgressBarWidth(p.fraction), 402);
    p = ComputeUpdateProgress(Reading(2, 0, 0, 0, 0), 0.3f, m);  // nothing counted yet
    EXPECT_EQ(p.text, "Installing 0 %");
    EXPECT_EQ(p.fraction, 0.0f);
}

TEST(UpdateProgress, RepairShowsFilesCheckedThenBytesFetched) {
    nb::MessageTable m = Messages();
    m[42] = "Checked ";
    m[43] = "fetched ";
    auto p = ComputeUpdateProgress(Reading(4, 0, 0, 2000, 500), 0, m);
    EXPECT_EQ(p.text, "Checked 500/2000  fetched 0K");
    EXPECT_EQ(ProgressBarWidth(p.fraction), 100);
    // Once members are being fetched, the bar follows the bytes.
    p = ComputeUpdateProgress(Reading(4, 4194304, 1048576, 2000, 2000), 0, m);
    EXPECT_EQ(p.text, "Checked 2000/2000  fetched 1024K");
    EXPECT_EQ(ProgressBarWidth(p.fraction), 100);
}

TEST(UpdateProgress, OtherStatesShowNoTextAndKeepTheBar) {
    const nb::MessageTable m = Messages();
    for (int state : {0, 1, 5, -1}) {
        auto p = ComputeUpdateProgress(Reading(state, 100, 50, 7, 3), 0.6f, m);
        EXPECT_EQ(p.text, "") << state;
        EXPECT_FLOAT_EQ(p.fraction, 0.6f) << state;
    }
}

TEST(UpdateProgress, BarStaysWithinItsFrameForOddValues) {
    const nb::MessageTable m = Messages();
    // More bytes than announced (no length announced, or a resumed file).
    EXPECT_EQ(ProgressBarWidth(ComputeUpdateProgress(Reading(3, 52000, 90000, 0, 0), 0, m).fraction), 402);
    // Bytes held while the total is still 0: the fraction is undefined and counts as 0.
    EXPECT_EQ(ComputeUpdateProgress(Reading(3, 0, 4096, 0, 0), 0, m).fraction, 0.0f);
    EXPECT_EQ(ComputeUpdateProgress(Reading(3, 100, -5, 0, 0), 0, m).fraction, 0.0f);
    EXPECT_EQ(ProgressBarWidth(-0.5f), 0);
    EXPECT_EQ(ProgressBarWidth(7.0f), 402);
    // Totals past what an int holds saturate instead of overflowing.
    EXPECT_EQ(ComputeUpdateProgress(Reading(3, 1e12f, 0, 0, 0), 0, m).text, "Size 2097151K, got 0K");
}

TEST(UpdateProgress, SpeedAppearsOnceItIsSettledAndMovesGently) {
    nb::DownloadRateEstimate rate;
    // A resumed file: the 52000 bytes it held are no speed; a first short interval without a
    // byte does not drag the estimate down; then 100000 bytes a second.
    rate.Sample(0.0, Reading(3, 2000000, 52000, 0, 0));
    rate.Sample(0.1, Reading(3, 2000000, 52000, 0, 0));
    for (int tick = 1; tick <= 10; ++tick) {
        rate.Sample(tick * 0.5, Reading(3, 2000000, 52000.0f + 50000.0f * tick, 0, 0));
        if (tick < 6) {
            EXPECT_EQ(rate.BytesPerSecond(), 0.0) << tick;
        }
    }
    EXPECT_EQ(rate.BytesPerSecond(), 100000.0);
    // Half a second without a byte (a retry's pause) lowers it by a tenth of the way, not to 0.
    rate.Sample(5.5, Reading(3, 2000000, 552000, 0, 0));
    EXPECT_NEAR(rate.BytesPerSecond(), 90483.7, 0.1);
    // The file taken again from its start, or the download over: nothing until it settles again.
    rate.Sample(6.0, Reading(3, 2000000, 10000, 0, 0));
    EXPECT_EQ(rate.BytesPerSecond(), 0.0);
    rate.Sample(6.5, Reading(2, 2000000, 2000000, 7, 1));
    EXPECT_EQ(rate.BytesPerSecond(), 0.0);
}

TEST(UpdateProgress, SpeedTextIsForHumans) {
    EXPECT_EQ(nb::DownloadSpeedText(0.0, 1000000, 0, "left"), "");
    EXPECT_EQ(nb::DownloadSpeedText(100000.0, 1000000, 300000, "left"), "98 KB/s  left 0:07");
    EXPECT_EQ(nb::DownloadSpeedText(2.5 * 1048576, 1048576000.0f, 0, "left"), "2.5 MB/s  left 6:40");
    EXPECT_EQ(nb::DownloadSpeedText(1024.0, 3723.0f * 1024, 0, "left"), "1 KB/s  left 1:02:03");
    // Seconds are rounded up: a file is never promised earlier than it can arrive.
    EXPECT_EQ(nb::DownloadSpeedText(1000.0, 1001, 0, "left"), "1 KB/s  left 0:02");
    // No total, or nothing left: the speed alone.
    EXPECT_EQ(nb::DownloadSpeedText(2048.0, 0, 0, "left"), "2 KB/s");
}

TEST(UpdateProgress, VersionLineNamesTheInstalledBuildAndThePublishedVersion) {
    EXPECT_EQ(nb::UpdateVersionLine("Build", 41, "1.0.45"), "Build: 41 1.0.45");
    EXPECT_EQ(nb::UpdateVersionLine("", -3, ""), ": -3 ");
}

// ---- the window ----

class BrowserRecorder : public QObject {
    Q_OBJECT
public:
    BrowserRecorder() { QDesktopServices::setUrlHandler("http", this, "Open"); }
    ~BrowserRecorder() override { QDesktopServices::unsetUrlHandler("http"); }
    std::vector<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

class UpdateDialogTest : public ::testing::Test {
protected:
    UpdateDialogTest() {
        context.m_MessageTable = Messages();
        context.m_nLocalBuild = 41;
        context.m_strServerVersion = "1.0.45";
        context.m_strLauncherPage = "http://127.0.0.1:1/launcher.html";
        context.m_strLauncherNavPage = "http://127.0.0.1:1/launchernav.html";
        context.m_nUpdateState = nb::kStateDownloadPatch;
    }
    void SetDownload(float total, float done) {
        context.m_fDownTotal = total;
        context.m_fDownDone = done;
    }
    nb::LauncherContext context;
};

// Rows of the progress fill; the frame around it draws elsewhere.
const QRect kFillRows(316, 528, 402, 10);

// The first column of the fill area where two pictures of the window stop differing.
int FillEnd(const QImage& withBar, const QImage& without) {
    int last = kFillRows.left() - 1;
    for (int x = kFillRows.left(); x <= kFillRows.right(); ++x)
        if (nb::test::Differs(withBar, without, QRect(x, kFillRows.top(), 1, kFillRows.height()))) last = x;
    return last + 1;
}

TEST_F(UpdateDialogTest, ComposesTheBackgroundButtonsAndEmblem) {
    CDlgUpdate dialog(context);
    const QImage image = dialog.ComposedImage();
    ASSERT_EQ(image.size(), QSize(1000, 692));
    EXPECT_EQ(dialog.windowTitle(), "NorbelrokOnline 1");

    struct Expected {
        int id, image;
        QRect place;
        QRect label;
    };
    const Expected buttons[] = {
        {2031, 134, QRect(820, 28, 61, 61), {}},
        {2032, 152, QRect(540, 552, 76, 26), QRect(3, 6, 40, 20)},
        {2033, 153, QRect(410, 552, 76, 26), QRect(3, 6, 40, 20)},
        {2038, 186, QRect(388, 0, 251, 110), {}},
    };
    for (const Expected& b : buttons) {
        ASSERT_NE(dialog.Button(b.id), nullptr) << b.id;
        EXPECT_EQ(dialog.Button(b.id)->geometry(), b.place) << b.id;
        EXPECT_EQ(FrameShownAt(image, b.place, nb::LoadSkinImage(b.image), 3, b.label), 0) << b.id;
    }
    EXPECT_EQ(FrameShownAt(image, QRect(800, 512, 108, 108), nb::LoadSkinImage(185), 3), 0);

    nb::SkinButton* close = dialog.Button(2031);
    nb::test::Hover(close);
    EXPECT_EQ(FrameShownAt(dialog.ComposedImage(), QRect(820, 28, 61, 61), nb::LoadSkinImage(134), 3), 1);
    nb::test::PressOn(close);
    EXPECT_EQ(FrameShownAt(dialog.ComposedImage(), QRect(820, 28, 61, 61), nb::LoadSkinImage(134), 3), 2);
}

TEST_F(UpdateDialogTest, BarAndTextsFollowTheStateOfThePatchCycle) {
    context.m_nUpdateState = nb::kStateServerPage;
    const QImage empty = CDlgUpdate(context).ComposedImage();

    context.m_nUpdateState = nb::kStateDownloadPatch;
    SetDownload(5242880, 1048576);
    CDlgUpdate downloading(context);
    EXPECT_EQ(downloading.ProgressText(), "Size 5120K, got 1024K");
    EXPECT_EQ(FillEnd(downloading.ComposedImage(), empty), 316 + 80);
    EXPECT_TRUE(nb::test::Differs(downloading.ComposedImage(), empty, QRect(305, 500, 150, 12)));

    context.m_nUpdateState = nb::kStateApplyPatch;
    context.m_fUnzipTotal = 7;
    context.m_fUnzipDone = 3;
    CDlgUpdate extracting(context);
    EXPECT_EQ(extracting.ProgressText(), "Installing 43 %");
    EXPECT_EQ(FillEnd(extracting.ComposedImage(), empty), 316 + 172);
}

TEST_F(UpdateDialogTest, TimerRecomposesFromTheWorkersValuesAndTheBarStaysWhenDone) {
    int started = 0;
    CDlgUpdate dialog(context, [&] { ++started; });
    EXPECT_FALSE(dialog.TimerRunning());
    EXPECT_EQ(started, 0);
    dialog.show();
    EXPECT_TRUE(dialog.TimerRunning());
    EXPECT_EQ(started, 1);

    SetDownload(4096, 2048);
    ASSERT_TRUE(nb::test::ProcessEventsUntil([&] { return dialog.ProgressText() == "Size 4K, got 2K"; }));
    context.m_nUpdateState = nb::kStateServerPage;  // applied: the text goes, the bar stays
    ASSERT_TRUE(nb::test::ProcessEventsUntil([&] { return dialog.ProgressText().empty(); }));
    EXPECT_FLOAT_EQ(dialog.Fraction(), 0.5f);

    dialog.hide();
    dialog.show();
    EXPECT_EQ(started, 1);  // one worker per window
}

TEST_F(UpdateDialogTest, PanelsFollowTheWindow) {
    CDlgUpdate dialog(context);
    dialog.show();
    EXPECT_TRUE(dialog.Announce()->isVisible());
    dialog.move(100, 50);
    EXPECT_EQ(dialog.Announce()->geometry(), QRect(412, 175, 422, 353));
    EXPECT_EQ(dialog.WebPicture()->geometry(), QRect(828, 135, 160, 389));
    EXPECT_EQ(dialog.Announce()->Url(), "http://127.0.0.1:1/launcher.html");
    EXPECT_EQ(dialog.WebPicture()->Url(), "http://127.0.0.1:1/launchernav.html");
    ASSERT_TRUE(nb::test::ProcessEventsUntil([&] { return dialog.WebPicture()->isVisible(); }));
    dialog.close();
    EXPECT_FALSE(dialog.Announce()->isVisible());
    EXPECT_FALSE(dialog.WebPicture()->isVisible());
}

// A page that records the keys it is given.
class KeyRecordingPage : public QWidget {
public:
    explicit KeyRecordingPage(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }
    std::vector<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        keys.push_back(event->key());
        event->accept();
    }
};

TEST_F(UpdateDialogTest, EnterInAPageReachesThePageAndLeavesTheWindowOpen) {
    KeyRecordingPage* page = nullptr;
    nb::WebPanel::SetContentFactoryForTests([&](QWidget* parent, const QString&) {
        page = new KeyRecordingPage(parent);
        return page;
    });
    CDlgUpdate dialog(context);
    dialog.show();
    dialog.Announce()->EnsureContent();
    nb::WebPanel::SetContentFactoryForTests(nullptr);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(nb::test::SendKey(page, Qt::Key_Return));
    EXPECT_TRUE(nb::test::SendKey(page, Qt::Key_Enter));
    nb::test::SendKey(page, Qt::Key_Escape);  // still the panel's to swallow
    EXPECT_EQ(page->keys, (std::vector<int>{Qt::Key_Return, Qt::Key_Enter}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.Announce()->isVisible());
}

TEST_F(UpdateDialogTest, MinimisedThePanelsStayHiddenThroughRepaintsUntilTheRestore) {
    CDlgUpdate dialog(context);
    dialog.show();
    ASSERT_TRUE(dialog.WebPicture()->isVisible());
    dialog.showMinimized();
    EXPECT_FALSE(dialog.Announce()->isVisible());
    EXPECT_FALSE(dialog.WebPicture()->isVisible());
    dialog.RequestRedraw(nullptr);  // what the timer does twice a second
    EXPECT_FALSE(dialog.WebPicture()->isVisible());

    dialog.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(dialog.Announce()->isVisible());
    EXPECT_TRUE(dialog.WebPicture()->isVisible());
}

TEST_F(UpdateDialogTest, ButtonsCloseOrOpenTheirPages) {
    BrowserRecorder browser;
    const std::string portal = nb::endpoints::PortalHost();
    for (int id : {2031, 2032}) {
        CDlgUpdate dialog(context);
        EXPECT_TRUE(nb::test::ExecWith(dialog, [&] { nb::test::Click(dialog.Button(id)); })) << id;
    }
    {
        // No download page: the window closes without opening anything.
        CDlgUpdate dialog(context);
        EXPECT_TRUE(nb::test::ExecWith(dialog, [&] { nb::test::Click(dialog.Button(2033)); }));
        EXPECT_TRUE(browser.opened.empty());
    }
    {
        context.m_strDownloadPage = "http://127.0.0.1:1/download";
        CDlgUpdate dialog(context);
        EXPECT_TRUE(nb::test::ExecWith(dialog, [&] { nb::test::Click(dialog.Button(2033)); }));
        EXPECT_EQ(browser.opened, std::vector<QUrl>{QUrl("http://127.0.0.1:1/download")});
    }
    {
        CDlgUpdate dialog(context);
        dialog.show();
        nb::test::Click(dialog.Button(2038));
        EXPECT_TRUE(dialog.isVisible());  // the window stays
        EXPECT_EQ(browser.opened.back(), QUrl(QString::fromStdString("http://" + portal + "/")));
    }
}

TEST_F(UpdateDialogTest, WorkerMessageIsShownWhileTheWindowKeepsRepaintingThenTheWorkerClosesIt) {
    nb::WindowedLauncherUi ui;
    std::vector<std::string> shown;
    CDlgUpdate* window = nullptr;
    // The message dialog runs modally inside the window's modal run; the window must go on
    // showing the worker's progress meanwhile.
    ui.SetMessageRunner([&](const std::string& text) {
        shown.push_back(text);
        nb::CMessageDlg message;
        message.SetText(text);
        nb::test::ExecWith(message, [&] {
            nb::test::ProcessEventsUntil([&] { return window->ProgressText() == "Size 8K, got 4K"; });
            nb::test::Click(message.OkButton());
        });
    });
    std::thread worker;
    std::atomic<bool> workerDone{false};
    {
        CDlgUpdate dialog(context, [&] {
            worker = std::thread([&] {
                SetDownload(8192, 4096);
                ui.ShowMessageText("failed");
                ui.CloseMainWindow();
                workerDone = true;
            });
        });
        window = &dialog;
        ui.SetMainWindow(&dialog);
        EXPECT_TRUE(nb::test::ExecWith(dialog, [] {}));
        EXPECT_EQ(dialog.ProgressText(), "Size 8K, got 4K");
    }
    worker.join();
    EXPECT_TRUE(workerDone);
    EXPECT_EQ(shown, std::vector<std::string>{"failed"});
    ui.CloseMainWindow();  // the window is gone: nothing happens
}

}  // namespace

#include "update_dialog_test.moc"
