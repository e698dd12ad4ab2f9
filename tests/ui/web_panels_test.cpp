// The web panels: places and sizes, the browser's rectangle, the page they are given, the
// keys they keep from the page, the panel shown where no browser is available, and the
// outside pages handed to the default browser.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QKeyEvent>
#include <QUrl>
#include <memory>

#include "WindowTestSupport.h"
#include "skin/LayeredWindow.h"
#include "skin/SkinSystem.h"
#include "skin/qt/QtSkin.h"
#include "app/Endpoints.h"
#include "ui/CDlgAnnounce.h"
#include "ui/CDlgWebPicture.h"
#include "ui/ExternalPages.h"
#include "skin/qt/WebPageUnavailable.h"

namespace {

using nb::CDlgAnnounce;
using nb::CDlgWebPicture;
using nb::WebPanel;

// An owner window that records the keys it is given and accepts Enter only when told to.
class Owner : public nb::LayeredWindow {
public:
    bool acceptEnter = true;
    std::vector<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        keys.push_back(event->key());
        if (acceptEnter) {
            event->accept();
        } else {
            event->ignore();
        }
    }
};

// Installs a content factory that records the address and builds a plain focusable widget.
class RecordingFactory {
public:
    RecordingFactory() {
        WebPanel::SetContentFactoryForTests([this](QWidget* parent, const QString& url) {
            urls.push_back(url);
            auto* page = new QWidget(parent);
            page->setFocusPolicy(Qt::StrongFocus);
            pages.push_back(page);
            return page;
        });
    }
    ~RecordingFactory() { WebPanel::SetContentFactoryForTests(nullptr); }
    std::vector<QString> urls;
    std::vector<QWidget*> pages;
};

TEST(WebPanels, FollowTheOwnerAtTheirOffsetsAndSizes) {
    Owner owner;
    CDlgAnnounce announce(&owner, "http://127.0.0.1:1/launcher.html");
    CDlgWebPicture picture(&owner, "http://127.0.0.1:1/launchernav.html");
    EXPECT_TRUE(announce.isWindow());
    EXPECT_EQ(announce.parentWidget(), &owner);  // goes with its owner

    announce.FollowOwner(nb::FromQt(QPoint(100, 50)));
    picture.FollowOwner(nb::FromQt(QPoint(100, 50)));
    EXPECT_EQ(announce.pos(), QPoint(412, 175));
    EXPECT_EQ(announce.size(), QSize(422, 353));
    EXPECT_EQ(picture.pos(), QPoint(828, 135));
    EXPECT_EQ(picture.size(), QSize(160, 389));

    announce.FollowOwner(nb::FromQt(QPoint(0, 0)));
    EXPECT_EQ(announce.pos(), QPoint(312, 125));
}

TEST(WebPanels, ShowTheirPageThroughABrowserRectanglePastTheEdges) {
    RecordingFactory factory;
    Owner owner;
    CDlgAnnounce announce(&owner, "http://127.0.0.1:1/launcher.html");
    CDlgWebPicture picture(&owner, "http://127.0.0.1:1/launchernav.html");
    EXPECT_EQ(announce.Content(), nullptr);  // nothing of the browser before the first show
    announce.show();
    picture.show();
    ASSERT_TRUE(nb::test::ProcessEventsUntil([&] { return announce.Content() && picture.Content(); }));
    EXPECT_EQ(factory.urls, (std::vector<QString>{"http://127.0.0.1:1/launcher.html",
                                                  "http://127.0.0.1:1/launchernav.html"}));
    EXPECT_EQ(announce.Content()->geometry(), QRect(-3, -3, 447, 373));
    EXPECT_EQ(picture.Content()->geometry(), QRect(-2, -2, 186, 414));
    announce.EnsureContent();  // navigated once only
    EXPECT_EQ(factory.urls.size(), 2u);
}

TEST(WebPanels, EscapeIsSwallowedAndEnterGoesToTheOwner) {
    RecordingFactory factory;
    Owner owner;
    owner.show();
    CDlgAnnounce announce(&owner, "http://127.0.0.1:1/launcher.html");
    announce.show();
    announce.EnsureContent();
    QWidget* page = announce.Content();
    // The browser makes its input widgets late; keys reaching them are watched as well.
    auto* input = new QWidget(page);

    EXPECT_TRUE(nb::test::SendKey(input, Qt::Key_Escape));
    EXPECT_TRUE(announce.isVisible());
    EXPECT_TRUE(owner.isVisible());
    EXPECT_TRUE(owner.keys.empty());

    EXPECT_TRUE(nb::test::SendKey(input, Qt::Key_Return));
    EXPECT_TRUE(nb::test::SendKey(page, Qt::Key_Enter));
    EXPECT_EQ(owner.keys, (std::vector<int>{Qt::Key_Return, Qt::Key_Enter}));

    // What the owner leaves alone goes on to the page.
    owner.acceptEnter = false;
    EXPECT_FALSE(nb::test::SendKey(page, Qt::Key_Return));
    EXPECT_EQ(owner.keys.size(), 3u);

    // Other keys are the page's own.
    nb::test::SendKey(input, Qt::Key_A);
    EXPECT_EQ(owner.keys.size(), 3u);
}

TEST(WebPanels, CloseOnlyHidesThePanel) {
    Owner owner;
    auto* picture = new CDlgWebPicture(&owner, "");
    QPointer<CDlgWebPicture> alive(picture);
    picture->show();
    picture->close();
    EXPECT_FALSE(picture->isVisible());
    ASSERT_TRUE(alive);
    picture->show();
    EXPECT_TRUE(picture->isVisible());
}

TEST(WebPanels, WithoutABrowserThePanelSaysThePageCannotBeShown) {
    // The offscreen platform of these tests has no browser.
    EXPECT_FALSE(WebPanel::BrowserAvailable());
    Owner owner;
    CDlgAnnounce announce(&owner, "http://127.0.0.1:1/launcher.html");
    announce.show();
    announce.EnsureContent();
    auto* unavailable = qobject_cast<nb::WebPageUnavailable*>(announce.Content());
    ASSERT_NE(unavailable, nullptr);
    EXPECT_FALSE(announce.ShowsBrowser());
    EXPECT_EQ(unavailable->Url(), "http://127.0.0.1:1/launcher.html");
    EXPECT_EQ(unavailable->geometry(), QRect(-3, -3, 447, 373));

    // The whole panel is covered: filled where there is no text, the text where it says so.
    const QImage shot = announce.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(422, 353));
    EXPECT_EQ(shot.pixel(0, 0), nb::WebPageUnavailable::kFill);
    EXPECT_EQ(shot.pixel(421, 352), nb::WebPageUnavailable::kFill);
    int inked = 0;
    for (int y = 8; y < 40; ++y)
        for (int x = 8; x < 200; ++x) inked += shot.pixel(x, y) != nb::WebPageUnavailable::kFill;
    EXPECT_GT(inked, 20);
}

// Receives what QDesktopServices would have given the default browser.
class BrowserRecorder : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

TEST(WebPanels, ANewWindowOfAPageOpensWebAddressesOnlyInTheDefaultBrowser) {
    BrowserRecorder recorder;
    const char* schemes[] = {"http", "https", "file", "ftp", "nbgame"};
    for (const char* scheme : schemes) QDesktopServices::setUrlHandler(scheme, &recorder, "Open");
    Owner owner;
    CDlgAnnounce announce(&owner, "http://127.0.0.1:1/launcher.html");
    announce.OpenNewWindowRequest(QUrl("http://127.0.0.1:1/news.html?id=7"));
    announce.OpenNewWindowRequest(QUrl("HTTPS://127.0.0.1:1/shop"));
    announce.OpenNewWindowRequest(QUrl("file:///etc/passwd"));
    announce.OpenNewWindowRequest(QUrl("ftp://127.0.0.1/x"));
    announce.OpenNewWindowRequest(QUrl("nbgame://start"));
    announce.OpenNewWindowRequest(QUrl("javascript:alert(1)"));
    announce.OpenNewWindowRequest(QUrl("about:blank"));
    announce.OpenNewWindowRequest(QUrl());
    for (const char* scheme : schemes) QDesktopServices::unsetUrlHandler(scheme);
    EXPECT_EQ(recorder.opened, (std::vector<QUrl>{QUrl("http://127.0.0.1:1/news.html?id=7"),
                                                  QUrl("https://127.0.0.1:1/shop")}));
}

// The Windows browser control hands over the address as the page wrote it, not parsed.
TEST(WebPanels, OnlyAWebAddressAsWrittenLeavesForTheDefaultBrowser) {
    EXPECT_TRUE(nb::IsWebAddress(u"HTTP://127.0.0.1/a"));
    EXPECT_TRUE(nb::IsWebAddress(u"hTTps://x"));
    for (const std::u16string url : {u"", u"http://", u"https:", u"http:x", u"httpx://a", u" http://a",
                                     u"file:///C:/Windows/x.exe", u"mailto:a@b", u"\\\\host\\share"}) {
        EXPECT_FALSE(nb::IsWebAddress(url)) << std::string(url.begin(), url.end());
    }
}

TEST(ExternalPages, PortalHomeAndDownloadPageGoToTheDefaultBrowser) {
    BrowserRecorder recorder;
    QDesktopServices::setUrlHandler("http", &recorder, "Open");
    const std::string config = nb::endpoints::ConfigHost(), portal = nb::endpoints::PortalHost(),
                      account = nb::endpoints::AccountHost();
    nb::endpoints::OverrideHostsForTests("127.0.0.1:1", "127.0.0.1:2", "127.0.0.1:3");

    EXPECT_EQ(nb::PortalHomeUrl(), "http://127.0.0.1:2/");
    nb::OpenPortalHomePage();
    nb::OpenInDefaultBrowser("http://127.0.0.1:2/download");
    nb::OpenInDefaultBrowser("");
    QDesktopServices::unsetUrlHandler("http");
    nb::endpoints::OverrideHostsForTests(config, portal, account);
    EXPECT_EQ(recorder.opened,
              (std::vector<QUrl>{QUrl("http://127.0.0.1:2/"), QUrl("http://127.0.0.1:2/download")}));
}

}  // namespace

#include "web_panels_test.moc"
