#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <string>

namespace nb {

// Where a web panel sits and what of its browser is visible. The browser's rectangle reaches
// past the panel's edges so that its outer border and scroll strips are cut off.
struct WebPanelLayout {
    QSize size;         // the panel on the screen
    QPoint offset;      // from the owner's client origin
    QRect controlRect;  // the browser inside the panel
};

// A borderless window that floats over its owner at a fixed offset and shows one web page.
// The page is shown by Qt WebEngine, loaded on first use from a separate module so that
// start-up never pays for it; where that is not possible (built without it, switched off
// with NB_WEB_PANELS=0, the offscreen platform, the module missing) a panel of the same
// size says that the page cannot be shown. The panel only displays: Escape never closes
// it, Enter is handed to the owner as if pressed there, a close request only hides it, and
// a page that asks for a new window gets the default browser instead.
// Lifting an owner's panels must not bury a dialog that is already up over the owner (a
// message the worker asked for while the owner was still being shown): the topmost modal
// window other than the owner goes back on top.
void KeepModalAbovePanels(const QWidget* owner);

class WebPanel : public QWidget {
    Q_OBJECT
public:
    // Builds the widget that shows `url` inside `parent`; the panel places it.
    using ContentFactory = std::function<QWidget*(QWidget* parent, const QString& url)>;

    WebPanel(QWidget* owner, const WebPanelLayout& layout, const std::string& url);
    ~WebPanel() override;

    // Places the panel for an owner whose client area starts at `ownerOrigin` (screen
    // coordinates), at the panel's size, without raising it.
    void FollowOwner(const QPoint& ownerOrigin);

    const WebPanelLayout& Layout() const { return m_layout; }
    const QString& Url() const { return m_url; }
    // The widget showing the page; null until the panel is first shown.
    QWidget* Content() const { return m_pContent; }
    bool ShowsBrowser() const { return m_bBrowser; }
    // Builds the content now instead of just after the panel is first shown.
    void EnsureContent();
    // Builds the content (the page is asked for) as soon as the event loop runs, shown or not;
    // nothing when it is there already. Also done when the panel is first shown.
    void Navigate();
    // The page asked for a new window (a link with target=_blank, window.open): a web address
    // opens in the default browser, anything else nowhere.
    void OpenNewWindowRequest(const QUrl& url);

    // Called before the application object exists: when this run may show pages in a
    // browser (not switched off, not offscreen, the module is there), sets up what the
    // browser needs from the start. Without it panels never load the browser.
    static bool PrepareBrowser();
    // Whether pages are shown by a browser at all in this process.
    static bool BrowserAvailable();
    // Tests build their own content (null restores the normal choice).
    static void SetContentFactoryForTests(ContentFactory factory);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void WatchKeys(QObject* object);
    bool HandleKey(QKeyEvent* event);

    WebPanelLayout m_layout;
    QString m_url;
    QWidget* m_pContent = nullptr;
    bool m_bBrowser = false;
};

}  // namespace nb
