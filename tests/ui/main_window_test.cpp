// The main window: its construction and both page compositions, the page switch, the login
// checks and the login they lead to (over a loopback account service), the keys, the drag,
// and the start with a command token, which starts a real stand-in game client.
#include <gtest/gtest.h>

#include <QWindow>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "LoopbackServer.h"
#include "MainWindowTestSupport.h"
#include "TestHosts.h"
#include "app/Endpoints.h"
#include "app/TextEncoding.h"
#include "login/Login.h"
#include "skin/SkinButton.h"
#include "ui/CDlgEdit.h"
#include "ui/LauncherDlg.h"
#include "ui/MainWindowLayout.h"
#include "ui/ServerView.h"
#include "SkinNative.h"
#include "ui/WebPanel.h"

namespace {

using nb::LauncherDlg;
using nb::SkinButton;
using nb::test::Click;
using nb::test::Key;
using nb::test::Server;
namespace layout = nb::mainwin;

const std::string kZone1 = "\xCD\xF8\xCD\xA8\xC7\xF8";  // "网通区"

const char kSuccessReply[] =
    "<reply><result>1</result><userid>42</userid><login_date>d1</login_date><coopid>c</coopid>"
    "<login>abc</login><key>k</key><auth>a</auth><addiction>0</addiction></reply>";

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        auto& ctx = launcher.context;
        ctx.m_vecZone[1] = {Server(11, "N1", 0, 2, kZone1), Server(12, "N2", 0, 0, kZone1)};
        ctx.m_vecRecommend = {ctx.m_vecZone[1][0]};
        ctx.m_nServerBuild = 1043;
        ctx.m_strLocalVersion = "1.0.43";
        nb::endpoints::OverrideHostsForTests(nb::test::kConfigHostForTests, nb::test::kPortalHostForTests,
                                             service.HostPort());
        service.Answer("/interface/login.php", {200, kSuccessReply, {}});
        nb::SetGameStartHandoverForTests([this](const std::string& userId, const std::string& joined) {
            gameStarts.push_back(userId + " " + joined);
        });
    }
    ~MainWindowTest() override {
        nb::SetGameStartHandoverForTests({});
        nb::endpoints::OverrideHostsForTests(NB_CONFIG_HOST, NB_PORTAL_HOST, NB_ACCOUNT_HOST);
    }

    void Open() {
        window = std::make_unique<LauncherDlg>(launcher.context);
        window->OnInitDialog();
        window->show();
    }
    SkinButton* Button(int id) { return window->Button(id); }
    nb::SkinLineEdit* Account() { return window->LoginInputPanel()->AccountEdit(); }
    nb::SkinLineEdit* Password() { return window->LoginInputPanel()->PasswordEdit(); }
    // Server N2 chosen, start pressed: the login page.
    void ToLoginPage() {
        Click(window->View().ServerButtons().at(1));
        Click(Button(layout::kIdStart));
        ASSERT_EQ(launcher.context.m_nUpdateState, 1);
    }
    std::vector<std::string> LoginTargets() {
        std::vector<std::string> logins;
        for (const std::string& target : service.Targets())
            if (target.rfind("/interface/login.php", 0) == 0) logins.push_back(target);
        return logins;
    }
    int FrameAt(int picture, QPoint at) {
        return nb::test::FrameShownAt(window->ComposedImage(), nb::LoadSkinImage(picture), 3, at);
    }

    nb::test::ScopedLauncher launcher;
    nb::test::LoopbackServer service;
    std::unique_ptr<LauncherDlg> window;
    std::vector<std::string> gameStarts;
};

TEST_F(MainWindowTest, OpensAtTheCornerWithTheServerPageComposed) {
    Open();
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    EXPECT_EQ(window->size(), QSize(1000, 692));  // the background's size, not 950 x 680
    EXPECT_EQ(window->windowTitle(), QStringLiteral("NorbelrokOnline"));
    EXPECT_FALSE(window->windowIcon().isNull());

    const std::pair<int, QPoint> places[] = {
        {layout::kIdMinimise, {790, 34}}, {layout::kIdClose, {820, 28}},     {layout::kIdStart, {800, 512}},
        {layout::kIdLogin, {800, 512}},   {layout::kIdBack, {167, 510}},     {layout::kIdZoneTab1, {301, 119}},
        {layout::kIdZoneTab0, {301, 247}}, {layout::kIdHomePage, {388, 0}},
    };
    for (const auto& [id, place] : places) {
        SkinButton* b = Button(id);
        ASSERT_NE(b, nullptr) << id;
        EXPECT_EQ(b->pos(), place) << id;
    }
    for (int id : {2001, 2002, 2003, 2011, 2012, 2013}) EXPECT_TRUE(Button(id)->isVisible()) << id;
    for (int id : {2004, 2005}) EXPECT_FALSE(Button(id)->isVisible()) << id;
    EXPECT_FALSE(window->LoginInputPanel()->isVisible());

    EXPECT_EQ(FrameAt(132, {790, 34}), 0);
    EXPECT_EQ(FrameAt(134, {820, 28}), 0);
    EXPECT_EQ(FrameAt(133, {800, 512}), 0);
    EXPECT_EQ(FrameAt(186, {388, 0}), 0);
    EXPECT_EQ(FrameAt(136, {167, 510}), -1);  // the back button is not on this page

    // Hovering a button composes its hover frame.
    nb::test::Hover(Button(layout::kIdStart), {50, 50});
    EXPECT_EQ(FrameAt(133, {800, 512}), 1);
    nb::test::Leave(Button(layout::kIdStart));
}

TEST_F(MainWindowTest, TheVersionLineShowsMessage16TheBuildAndTheVersion) {
    launcher.context.m_MessageTable[16].clear();
    launcher.context.m_nServerBuild = 0;
    launcher.context.m_strLocalVersion.clear();
    Open();
    const QImage bare = window->ComposedImage();
    launcher.context.m_MessageTable[16] = "\xB0\xE6\xB1\xBE: ";  // "版本: "
    launcher.context.m_nServerBuild = 1043;
    launcher.context.m_strLocalVersion = "1.0.43";
    window->RedrawForState();
    EXPECT_GT(nb::test::DifferingPixels(bare, window->ComposedImage(), QRect(785, 645, 100, 16)), 50);
    EXPECT_EQ(nb::test::DifferingPixels(bare, window->ComposedImage(), QRect(600, 645, 180, 16)), 0);
}

TEST_F(MainWindowTest, TheServerPageComposesWithoutShowingTheWindow) {
    window = std::make_unique<LauncherDlg>(launcher.context);
    window->OnInitDialog();
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(window->DrawServerPage());
    EXPECT_EQ(window->ComposedImage().size(), QSize(1000, 692));
}

TEST_F(MainWindowTest, AStateWithoutAPageClosesTheWindowAtOnce) {
    launcher.context.m_nUpdateState = 3;
    window = std::make_unique<LauncherDlg>(launcher.context);
    EXPECT_TRUE(window->OnInitDialog());
    EXPECT_TRUE(window->IsCloseRequested());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, CreationClearsTheCodeRequest) {
    launcher.context.m_bCodeRequired = true;
    Open();
    EXPECT_FALSE(launcher.context.m_bCodeRequired);
}

TEST_F(MainWindowTest, StartWithoutAServerShowsMessage17ByButtonAndByEnter) {
    Open();
    Click(Button(layout::kIdStart));
    Key(window.get(), Qt::Key_Return);
    EXPECT_EQ(launcher.ui.Shown(), (std::vector<std::string>{"m17", "m17"}));
    EXPECT_EQ(launcher.context.m_nUpdateState, 0);
}

TEST_F(MainWindowTest, StartAndBackSwitchPagesButtonsAndPanel) {
    Open();
    ToLoginPage();
    EXPECT_FALSE(Button(layout::kIdStart)->isVisible());
    EXPECT_TRUE(Button(layout::kIdLogin)->isVisible());
    EXPECT_TRUE(Button(layout::kIdBack)->isVisible());
    EXPECT_EQ(Button(layout::kIdLogin)->pos(), QPoint(800, 512));
    EXPECT_EQ(Button(layout::kIdBack)->pos(), QPoint(167, 510));
    EXPECT_EQ(FrameAt(135, {800, 512}), 0);
    EXPECT_EQ(FrameAt(136, {167, 510}), 0);
    EXPECT_EQ(nb::test::FrameShownAt(window->ComposedImage(), nb::LoadSkinImage(173), 1, {370, 475}), 0);
    EXPECT_EQ(
        nb::test::ReadFile("log1.txt").find("==========OnBtnEnterClick==========1=\n") != std::string::npos,
        true);

    // The boxes sit over the drawn login panel; the password shows placeholders.
    ASSERT_TRUE(window->LoginInputPanel()->isVisible());
    EXPECT_EQ(Account()->mapTo(window.get(), QPoint(0, 0)), QPoint(430, 486));
    EXPECT_EQ(Password()->mapTo(window.get(), QPoint(0, 0)), QPoint(430, 525));
    EXPECT_EQ(Account()->size(), QSize(194, 23));
    EXPECT_EQ(Password()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(window->focusWidget(), Account());

    Click(Button(layout::kIdBack));
    EXPECT_EQ(launcher.context.m_nUpdateState, 0);
    EXPECT_FALSE(window->LoginInputPanel()->isVisible());
    EXPECT_TRUE(Button(layout::kIdStart)->isVisible());
    EXPECT_FALSE(Button(layout::kIdLogin)->isVisible());
    EXPECT_EQ(FrameAt(133, {800, 512}), 0);
    // The choice is still there; Enter goes to the login page as well.
    Key(window.get(), Qt::Key_Enter);
    EXPECT_EQ(launcher.context.m_nUpdateState, 1);
    EXPECT_TRUE(window->LoginInputPanel()->isVisible());
}

TEST_F(MainWindowTest, EmptyFieldsGiveMessage2AndSendNothing) {
    Open();
    ToLoginPage();
    Click(Button(layout::kIdLogin));
    Account()->setText("someone");
    Key(Password(), Qt::Key_Return);
    Account()->clear();
    Password()->setText("x");
    Click(Button(layout::kIdLogin));
    EXPECT_EQ(launcher.ui.Shown(), (std::vector<std::string>{"m2", "m2", "m2"}));
    EXPECT_TRUE(LoginTargets().empty());
    EXPECT_EQ(window->focusWidget(), Account());
}

TEST_F(MainWindowTest, MoreThan20BytesGiveMessage3AndClearThePassword) {
    Open();
    ToLoginPage();
    Account()->setText(QString(21, QChar('a')));
    Password()->setText("secret");
    Click(Button(layout::kIdLogin));
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{"m3"});
    EXPECT_TRUE(Password()->text().isEmpty());

    // Eleven double-byte characters are 22 bytes; by Enter this time.
    Account()->setText(
        QString::fromUtf8("\xE5\x8D\x81\xE4\xB8\xAA\xE6\xB1\x89\xE5\xAD\x97\xE4\xB8\x80\xE4\xBA\x8C"
                          "\xE4\xB8\x89\xE5\x9B\x9B\xE4\xBA\x94\xE5\x85\xAD\xE4\xB8\x83"));
    Password()->setText("secret");
    Key(Password(), Qt::Key_Return);
    EXPECT_EQ(launcher.ui.Shown(), (std::vector<std::string>{"m3", "m3"}));
    EXPECT_TRUE(Password()->text().isEmpty());

    Account()->setText("player");
    Password()->setText(QString(21, QChar('p')));
    Key(Password(), Qt::Key_Return);
    EXPECT_EQ(launcher.ui.Shown().size(), 3u);
    EXPECT_TRUE(LoginTargets().empty());
}

TEST_F(MainWindowTest, TwentyBytesLogInWithTheLowerCasedNameAndTheChosenServer) {
    Open();
    ToLoginPage();
    Account()->setText("ABCDEFGHIJKLMNOPQRST");
    Password()->setText(QString(20, QChar('p')));
    Click(Button(layout::kIdLogin));
    ASSERT_EQ(LoginTargets().size(), 1u);
    const std::string target = LoginTargets()[0];
    EXPECT_EQ(target.rfind("/interface/login.php?u=abcdefghijklmnopqrst&p=", 0), 0u) << target;
    EXPECT_NE(target.find("&g=rk&t=xml&s=12"), std::string::npos) << target;
    EXPECT_EQ(gameStarts, std::vector<std::string>{"42 abc|0|d1|k|a"});
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{});

    // Ten double-byte characters are 20 bytes: accepted, sent as GBK.
    Account()->setText(
        QString::fromUtf8("\xE5\x8D\x81\xE4\xB8\xAA\xE6\xB1\x89\xE5\xAD\x97\xE4\xB8\x80\xE4\xBA\x8C"
                          "\xE4\xB8\x89\xE5\x9B\x9B\xE4\xBA\x94\xE5\x85\xAD"));
    Click(Button(layout::kIdLogin));
    EXPECT_EQ(LoginTargets().size(), 2u);
    EXPECT_EQ(launcher.context.m_strAccount,
              "\xCA\xAE\xB8\xF6\xBA\xBA\xD7\xD6\xD2\xBB\xB6\xFE\xC8\xFD\xCB\xC4\xCE\xE5\xC1\xF9");
}

TEST_F(MainWindowTest, EnterOnTheLoginPageStoresTheInputClearsThePasswordAndLogsIn) {
    service.Answer("/interface/login.php", {200, "<r><result>0</result><error>1006</error></r>", {}});
    Open();
    ToLoginPage();
    Account()->setText("Player");
    Password()->setText("123456");
    Key(Password(), Qt::Key_Enter);
    EXPECT_EQ(LoginTargets().size(), 1u);
    EXPECT_EQ(launcher.context.m_strAccount, "player");
    EXPECT_EQ(launcher.context.m_strPassword.size(), 32u);  // the login put the digest there
    EXPECT_TRUE(Password()->text().isEmpty());
    EXPECT_EQ(Account()->text(), QStringLiteral("Player"));
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{"m3"});  // error 1006
    EXPECT_TRUE(gameStarts.empty());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, EscapeNeverClosesTheWindow) {
    Open();
    Key(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    ToLoginPage();
    Key(Account(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->IsCloseRequested());
}

TEST_F(MainWindowTest, APressAnywhereDragsTheWindowAndThePanelFollows) {
    Open();
    ToLoginPage();
    const QPoint start = window->pos();
    nb::test::SendMouse(window.get(), QEvent::MouseButtonPress, {100, 600}, Qt::LeftButton, Qt::LeftButton);
    nb::test::SendMouse(window.get(), QEvent::MouseMove, {150, 640}, Qt::NoButton, Qt::LeftButton);
    nb::test::SendMouse(window.get(), QEvent::MouseButtonRelease, {150, 640}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(window->pos(), start + QPoint(50, 40));
    EXPECT_EQ(window->LoginInputPanel()->mapToGlobal(QPoint(0, 0)), window->pos() + QPoint(412, 485));

    // A press between the two boxes is a press on the window below them.
    QWidget* panel = window->LoginInputPanel();
    const QPoint before = window->pos();
    nb::test::SendMouse(panel, QEvent::MouseButtonPress, {5, 30}, Qt::LeftButton, Qt::LeftButton);
    nb::test::SendMouse(window.get(), QEvent::MouseMove, {412 + 5 + 10, 485 + 30 + 20}, Qt::NoButton,
                        Qt::LeftButton);
    nb::test::SendMouse(window.get(), QEvent::MouseButtonRelease, {412 + 5 + 10, 485 + 30 + 20},
                        Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(window->pos(), before + QPoint(10, 20));
    // A move without a press moves nothing.
    nb::test::SendMouse(window.get(), QEvent::MouseMove, {300, 300}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(window->pos(), before + QPoint(10, 20));
}

TEST_F(MainWindowTest, TheWebPanelsFollowTheWindowAndThePages) {
    Open();
    nb::WebPanel* picture = window->WebPicturePanel();
    nb::WebPanel* announce = window->AnnouncePanel();
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(announce, nullptr);
    EXPECT_TRUE(picture->isVisible());
    EXPECT_FALSE(announce->isVisible());  // it would cover the server view

    window->move(100, 50);
    EXPECT_EQ(announce->geometry(), QRect(412, 175, 422, 353));
    EXPECT_EQ(picture->geometry(), QRect(828, 135, 160, 389));

    ToLoginPage();
    EXPECT_TRUE(announce->isVisible());
    // Enter inside a page acts as Enter on the window: here the login checks.
    announce->EnsureContent();
    Key(announce->Content(), Qt::Key_Return);
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{"m2"});

    Click(Button(layout::kIdBack));
    EXPECT_FALSE(announce->isVisible());
    EXPECT_TRUE(picture->isVisible());
    window->hide();
    EXPECT_FALSE(picture->isVisible());
}

TEST_F(MainWindowTest, RestoringTheLoginPageShowsItsPanelAgain) {
    Open();
    ToLoginPage();
    window->LoginInputPanel()->hide();
    QWindowStateChangeEvent restored(Qt::WindowMinimized);
    window->setWindowState(Qt::WindowNoState);
    QApplication::sendEvent(window.get(), &restored);
    EXPECT_TRUE(window->LoginInputPanel()->isVisible());
}

// A press and release at a point of the window, delivered to whichever child the window
// finds there, as the window system's click would be.
void ClickWindowAt(QWidget* window, QPoint at) {
    QWindow* handle = window->windowHandle();
    ASSERT_NE(handle, nullptr);
    const QPointF global = handle->mapToGlobal(at);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QApplication::sendEvent(handle, &press);
    QApplication::sendEvent(handle, &release);
}

TEST_F(MainWindowTest, TheMinimiseOrbsRightEdgeUnderTheCloseButtonMinimises) {
    Open();
    ASSERT_TRUE(window->WebPicturePanel()->isVisible());
    ClickWindowAt(window.get(), {826, 50});
    EXPECT_TRUE(window->isMinimized());
    EXPECT_FALSE(window->IsCloseRequested());
    EXPECT_FALSE(window->WebPicturePanel()->isVisible());
    // Repaints while minimised must not bring a panel back on its own.
    Click(window->View().ServerButtons().at(1));
    window->RedrawForState();
    EXPECT_FALSE(window->WebPicturePanel()->isVisible());

    window->setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(window->WebPicturePanel()->isVisible());
    // Right of the orb the close button has the click.
    ClickWindowAt(window.get(), {850, 58});
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, BothPanelsAskForTheirPagesOnceTheWindowStands) {
    std::vector<QString> urls;
    nb::WebPanel::SetContentFactoryForTests([&](QWidget* parent, const QString& url) {
        urls.push_back(url);
        return new QWidget(parent);
    });
    launcher.context.m_strLauncherPage = "http://127.0.0.1:1/launcher.html";
    launcher.context.m_strLauncherNavPage = "http://127.0.0.1:1/launchernav.html";
    Open();
    for (int i = 0; i < 1000 && urls.size() < 2; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
    const bool navigated = urls.size() >= 2;
    nb::WebPanel::SetContentFactoryForTests(nullptr);
    ASSERT_TRUE(navigated);
    std::sort(urls.begin(), urls.end());
    EXPECT_EQ(urls, (std::vector<QString>{"http://127.0.0.1:1/launcher.html",
                                          "http://127.0.0.1:1/launchernav.html"}));
    // The server page keeps the announcement hidden all the same.
    EXPECT_FALSE(window->AnnouncePanel()->isVisible());
    ToLoginPage();
    EXPECT_EQ(urls.size(), 2u);  // shown later, not asked again
}

TEST_F(MainWindowTest, WebTokensSplitAtTheLastBlank) {
    const std::string base = LauncherDlg::TokenStartBase("/g/", "S1", "u");
    EXPECT_EQ(base, "/g/Vd.exe dev:S1 u ");
    EXPECT_EQ(LauncherDlg::AppendWebToken(base, "WEB first last"), base + "first  last");
    EXPECT_EQ(LauncherDlg::AppendWebToken(base, "WEB a b c"), base + "a b  c");
    EXPECT_EQ(LauncherDlg::AppendWebToken(base, "WEB"), base + " WEB");    // no blank: the whole token
    EXPECT_EQ(LauncherDlg::AppendWebToken(base, "WEBx y"), base + "  y");  // blank before position 4
    EXPECT_EQ(LauncherDlg::AppendWebToken(base, "WEB x "), base + "x  ");
    // A folder with a blank is quoted so that the program path stays one piece.
    EXPECT_EQ(LauncherDlg::TokenStartBase("/my g/", "S1", "u"), "\"/my g/Vd.exe\" dev:S1 u ");
}

class TokenStartTest : public MainWindowTest {
protected:
    TokenStartTest() {
        launcher.context.m_strInstallPath = launcher.folder.Path();
        const std::string client = launcher.folder.File("Vd.exe");
        nb::test::WriteFile(client,
                            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.tmp\"\n"
                            "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args.txt\"\n");
        std::filesystem::permissions(client, std::filesystem::perms::owner_all);
    }
    std::string WaitForArgs() {
        const std::string file = launcher.folder.File("args.txt");
        EXPECT_TRUE(nb::test::WaitForFile(file));
        return nb::test::ReadFile(file);
    }
};

TEST_F(TokenStartTest, AWebTokenStartsTheGameFromTheStartButtonAndCloses) {
    launcher.context.m_strCmdArg = "WEB first last";
    Open();
    Click(window->View().ServerButtons().at(0));
    Click(Button(layout::kIdStart));
    EXPECT_EQ(WaitForArgs(), "dev:N1\n10.0.0.11:7000\nfirst\nlast\n");
    EXPECT_TRUE(window->IsCloseRequested() || !window->isVisible());
    EXPECT_EQ(launcher.context.m_nUpdateState, 0);
    EXPECT_TRUE(gameStarts.empty());
    const std::string log = nb::test::ReadFile("log1.txt");
    const std::string k = launcher.folder.Path() + "Vd.exe dev:N1 10.0.0.11:7000 ";
    EXPECT_NE(log.find("strToken = WEB first last \n"), std::string::npos) << log;
    EXPECT_NE(log.find("strStartVd = " + k + " \n"), std::string::npos) << log;
    EXPECT_NE(log.find("___strStartVd = " + k + "first  last"), std::string::npos) << log;
}

TEST_F(TokenStartTest, AnotherTokenStartsNothingAndStaysOnTheServerPage) {
    launcher.context.m_strCmdArg = "APP first last";
    Open();
    Click(window->View().ServerButtons().at(0));
    Click(Button(layout::kIdStart));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(launcher.context.m_nUpdateState, 0);
    EXPECT_FALSE(window->LoginInputPanel()->isVisible());
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{});
    // The start line is written before a game would be started, in the click itself.
    EXPECT_EQ(nb::test::ReadFile("log1.txt").find("___strStartVd"), std::string::npos);
    EXPECT_TRUE(gameStarts.empty());
}

}  // namespace
