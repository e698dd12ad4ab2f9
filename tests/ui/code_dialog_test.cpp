// The verification-code dialog against a loopback account service: what it composes (the
// downloaded picture, its buttons and texts), where its code box goes, the refresh, the
// check-then-login sequence with a wrong and then a right code, and both ways to cancel,
// also reached the way the login reaches it, through the windows' LauncherUi.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QTimer>
#include <memory>

#include "LoopbackServer.h"
#include "MainWindowTestSupport.h"
#include "TestHosts.h"
#include "app/Endpoints.h"
#include "login/Login.h"
#include "skin/SkinButton.h"
#include "ui/CDlgEdtCode.h"
#include "ui/CIdentifyingCodeDlg.h"
#include "ui/WindowedLauncherUi.h"
#include "SkinNative.h"

namespace {

using nb::CIdentifyingCodeDlg;
using nb::test::Click;

const QColor kPictureColours[] = {QColor(220, 30, 30), QColor(30, 30, 220), QColor(30, 200, 30)};
const QPoint kPictureCentre(70 + 34, 120 + 14);

std::string Png(const QColor& colour) {
    QImage image(68, 28, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

class CodeDialogTest : public ::testing::Test {
protected:
    CodeDialogTest() {
        nb::endpoints::OverrideHostsForTests(nb::test::kConfigHostForTests, nb::test::kPortalHostForTests,
                                             service.HostPort());
        // Each picture request hands out the next picture colour and session.
        service.Handle("/interface/vcode.php", [this](const nb::test::LoopbackServer::Request&) {
            const int n = pictures++;
            return nb::test::LoopbackServer::Reply{
                200,
                Png(kPictureColours[n % 3]),
                {{"Set-Cookie", "PHPSESSID=s" + std::to_string(n + 1) + "; path=/"}}};
        });
        service.Handle("/interface/check_code.php", [](const nb::test::LoopbackServer::Request& request) {
            const bool right = request.Param("c") == "right";
            return nb::test::LoopbackServer::Reply{
                200,
                right ? "<r><result>1</result></r>" : "<r><result>0</result><error>1002</error></r>",
                {}};
        });
        service.Answer("/interface/login.php",
                       {200,
                        "<r><result>1</result><userid>7</userid><login>L</login><key>K</key><auth>A</auth>"
                        "<addiction>0</addiction><login_date>D</login_date></r>",
                        {}});
        nb::SetGameStartHandoverForTests([this](const std::string& userId, const std::string& joined) {
            gameStarts.push_back(userId + " " + joined);
        });
        auto& ctx = launcher.context;
        ctx.m_bCodeRequired = true;
        ctx.m_strAccount = "test";
        ctx.m_strPassword = std::string(32, 'f');
        ctx.m_nServerId = 12;
        ctx.FetchVerificationImage();  // what the login does before it opens the dialog
    }
    ~CodeDialogTest() override {
        nb::SetGameStartHandoverForTests({});
        nb::endpoints::OverrideHostsForTests(NB_CONFIG_HOST, NB_PORTAL_HOST, NB_ACCOUNT_HOST);
    }

    void Open(nb::LayeredWindow* owner = nullptr) {
        dialog = std::make_unique<CIdentifyingCodeDlg>(owner);
        dialog->OnInitDialog();
        dialog->show();
    }
    QRgb PictureShown() const { return dialog->ComposedImage().pixel(kPictureCentre); }
    void TypeCode(const QString& code) { dialog->CodeBox()->CodeEdit()->setText(code); }
    std::vector<std::string> Targets() {
        std::vector<std::string> targets = service.Targets();
        targets.erase(targets.begin());  // the picture fetched before the dialog
        return targets;
    }

    nb::test::ScopedLauncher launcher;
    nb::test::LoopbackServer service;
    int pictures = 0;
    std::vector<std::string> gameStarts;
    std::unique_ptr<CIdentifyingCodeDlg> dialog;
};

TEST_F(CodeDialogTest, ComposesBackgroundButtonsTextsAndTheDownloadedPicture) {
    Open();
    const QImage& composed = dialog->ComposedImage();
    EXPECT_EQ(composed.size(), QSize(373, 268));
    EXPECT_EQ(PictureShown(), kPictureColours[0].rgb());
    const nb::SkinImage bar = nb::LoadSkinImage(151);
    EXPECT_EQ(nb::test::FrameShownAt(composed, bar, 3, {80, 190}), 0);
    EXPECT_EQ(nb::test::FrameShownAt(composed, bar, 3, {227, 190}), 0);
    EXPECT_EQ(dialog->Button(CIdentifyingCodeDlg::kIdClose)->geometry(), QRect(322, 16, 38, 38));
    EXPECT_EQ(dialog->Button(CIdentifyingCodeDlg::kIdLogin)->geometry(), QRect(80, 190, 76, 26));
    EXPECT_EQ(dialog->RefreshArea()->geometry(), QRect(58, 115, 78, 36));

    // The five texts are messages 33 to 37 at their places.
    const QImage withTexts = composed;
    for (int n = 33; n <= 37; ++n) launcher.context.m_MessageTable[n].clear();
    dialog->Redraw();
    for (const QRect& place : {QRect(50, 65, 120, 16), QRect(100, 196, 30, 16), QRect(247, 196, 30, 16),
                               QRect(62, 155, 30, 13), QRect(235, 155, 30, 13)}) {
        EXPECT_GT(nb::test::DifferingPixels(withTexts, dialog->ComposedImage(), place), 5) << place.x();
    }
}

TEST_F(CodeDialogTest, TheCodeBoxSitsAtItsOffsetFromTheOwner) {
    nb::LayeredWindow owner;
    owner.setGeometry(100, 50, 1000, 692);
    owner.show();
    Open(&owner);
    const QPoint ownerCorner = owner.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(dialog->CodeBox()->mapToGlobal(QPoint(0, 0)), ownerCorner + QPoint(530, 331));
    EXPECT_EQ(dialog->CodeBox()->size(), QSize(120, 31));
    EXPECT_EQ(dialog->CodeBox()->CodeEdit()->geometry(), QRect(0, 0, 100, 28));
    EXPECT_EQ(dialog->CodeBox()->CodeEdit()->palette().color(QPalette::Text), QColor(2, 157, 255));
    // Centred on its owner, the box lands right of the picture.
    EXPECT_EQ(dialog->CodeBox()->pos(), QPoint(217, 119));
    dialog.reset();

    Open();  // no owner: the same place inside the dialog
    EXPECT_EQ(dialog->CodeBox()->pos(), QPoint(217, 119));
}

TEST_F(CodeDialogTest, ClickingThePictureFetchesANewOneAndSendsNothingElse) {
    Open();
    Click(dialog->RefreshArea());
    EXPECT_EQ(PictureShown(), kPictureColours[1].rgb());
    EXPECT_EQ(launcher.context.m_strSessionId, "s2");
    EXPECT_EQ(Targets(), std::vector<std::string>{"/interface/vcode.php"});
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(CodeDialogTest, AWrongCodeGetsANewPictureThenTheRightOneLogsIn) {
    Open();
    TypeCode("wrong");
    Click(dialog->Button(CIdentifyingCodeDlg::kIdLogin));
    EXPECT_EQ(Targets(),
              (std::vector<std::string>{"/interface/check_code.php?c=wrong&p=s1", "/interface/vcode.php"}));
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{"m2"});  // error 1002
    EXPECT_EQ(PictureShown(), kPictureColours[1].rgb());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(gameStarts.empty());

    TypeCode("right");
    nb::test::Key(dialog->CodeBox()->CodeEdit(), Qt::Key_Return);  // Enter acts as the login button
    const std::vector<std::string> targets = Targets();
    ASSERT_EQ(targets.size(), 4u);
    EXPECT_EQ(targets[2], "/interface/check_code.php?c=right&p=s2");
    EXPECT_EQ(targets[3],
              "/interface/login.php?u=test&p=" + std::string(32, 'f') + "&g=rk&t=xml&c=right&p2=s2&s=12");
    EXPECT_EQ(gameStarts, std::vector<std::string>{"7 L|0|D|K|A"});
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(CodeDialogTest, ARejectedLoginAfterTheCheckClosesTheDialog) {
    service.Answer("/interface/login.php", {200, "<r><result>0</result><error>1009</error></r>", {}});
    Open();
    TypeCode("right");
    Click(dialog->Button(CIdentifyingCodeDlg::kIdLogin));
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{"m32"});
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->CodeBox()->isVisible());
    EXPECT_TRUE(launcher.context.m_bCodeRequired);
}

TEST_F(CodeDialogTest, BothCancelButtonsCloseWithoutARequest) {
    for (int id : {CIdentifyingCodeDlg::kIdCancel, CIdentifyingCodeDlg::kIdClose}) {
        Open();
        TypeCode("right");
        Click(dialog->Button(id));
        EXPECT_FALSE(dialog->isVisible()) << id;
        EXPECT_TRUE(Targets().empty()) << id;
    }
    EXPECT_FALSE(dialog->CodeBox()->isVisible());  // the small close button closes the box too
    EXPECT_TRUE(gameStarts.empty());
}

TEST_F(CodeDialogTest, TheLoginReachesTheDialogThroughTheWindowsUi) {
    // The reply that asked for the code stays the answer when the dialog is cancelled.
    nb::test::WriteFile("LoginRes.xml", "<r><result>0</result><error>1101</error></r>");
    nb::WindowedLauncherUi ui;
    std::vector<std::string> shown;
    ui.SetMessageRunner([&shown](const std::string& text) { shown.push_back(text); });
    ui.SetCodeDialogRunner([] { CIdentifyingCodeDlg::RunModal(nullptr); });
    nb::SetLauncherUi(&ui);
    bool sawDialog = false;
    QTimer::singleShot(0, [&sawDialog] {
        auto* open = dynamic_cast<CIdentifyingCodeDlg*>(QApplication::activeModalWidget());
        sawDialog = open != nullptr;
        if (open) Click(open->Button(CIdentifyingCodeDlg::kIdCancel));
    });
    nb::DoLogin("test", "123456");
    nb::SetLauncherUi(&launcher.ui);
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(shown, std::vector<std::string>{"m3"});  // 1101, first notice
    EXPECT_TRUE(gameStarts.empty());
    for (const std::string& target : service.Targets()) EXPECT_EQ(target, "/interface/vcode.php");
}

}  // namespace
