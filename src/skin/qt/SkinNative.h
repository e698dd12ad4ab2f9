#pragma once
// The Qt backend of the skin toolkit: the window system objects the windows are built from.
// The Win32 backend declares the same classes with the same members (win32/SkinNative.h);
// CMake puts one of the two folders on the include path. The windows use only the members
// listed under "toolkit" and override only the hooks; everything Qt stays in here.
#include <QBasicTimer>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "skin/SkinImage.h"
#include "skin/SkinTypes.h"

namespace nb {

// A frameless top-level dialog with a translucent background that shows one composed
// picture, per-pixel alpha included; its input shape follows the background's visible pixels.
class LayeredWindowNative : public QDialog {
    Q_OBJECT
public:
    LayeredWindowNative(LayeredWindowNative* owner, SkinWindowKind kind);
    ~LayeredWindowNative() override;

    // ---- toolkit ----
    void SetTitle(const std::u16string& title);
    void SetIconResource(int id);
    void ShowWindow();
    void HideWindow();
    // Closes the window; a modal run of it ends.
    void CloseWindow();
    // Shows the window modally and returns when it has closed.
    void RunModal();
    bool IsShown() const;
    bool IsMinimised() const;
    void Minimise();
    void RaiseWindow();
    void ActivateNow();
    // The client area's top-left corner on the screen, and the window's size.
    Point ScreenOrigin() const;
    Size WindowSize() const;
    void MoveTo(Point topLeft);
    void SetInitialSize(Size size);
    // A left press that no button takes moves the window.
    void SetDragAnywhere(bool drag) { m_bDragAnywhere = drag; }
    // The screen's work area.
    static Rect ScreenArea();
    // The modal window on top, if it is not this one, goes back above this window's panels.
    void KeepModalAbovePanels() const;
    // The window this one belongs to; null for a window of its own.
    LayeredWindowNative* OwnerWindow() const;

    // For tests: a copy of the picture the window shows; null before the first repaint.
    QImage ComposedImage() const { return m_composed.copy(); }

protected:
    // Runs `work` on this window's thread once the events now waiting have been handled
    // (after a show has reached the screen); nothing if the window is gone by then.
    void RunSoon(std::function<void()> work);
    // Shows `composed` (of the background's size); the input shape follows `background`.
    void PresentComposed(const SkinImage& composed, const SkinImage& background);

    // ---- hooks ----
    virtual void OnShown() {}
    virtual void OnHidden() {}
    virtual void OnMoved() {}
    virtual void OnRestored() {}
    virtual void OnFirstFrame() {}
    // True when the window took the key. Escape left alone ends a dialog; Enter left alone
    // goes back to whoever passed it on.
    virtual bool OnKey(SkinKey) { return false; }

    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateShape(const SkinImage& background);

    SkinImage m_composedPixels;
    QImage m_composed;
    const void* m_shapeKey = nullptr;  // the background the input shape was made from
    SkinImage m_shapeBackground;       // keeps that key's pixels alive
    bool m_bDragAnywhere = false;
    bool m_bDragging = false;
    QPoint m_dragOffset;
    bool m_bFirstFrameReported = false;
};

// An invisible child window of exactly one frame's size that takes the mouse and the keys
// for a skinned button; it paints nothing.
class SkinButtonNative : public QWidget {
    Q_OBJECT
public:
    SkinButtonNative();
    ~SkinButtonNative() override;

    // ---- toolkit ----
    // Becomes a child of `window` (if not already), below the window's other buttons.
    void AttachTo(LayeredWindowNative* window);
    void PlaceAt(const Rect& place);
    Rect Place() const;
    void ShowInput();
    void HideInput();
    bool IsInputShown() const;

protected:
    // ---- hooks ----
    virtual void OnPointerMove(Point local) = 0;
    virtual void OnPointerLeave() = 0;
    virtual void OnLeftDown() = 0;
    virtual void OnLeftUp(Point local) = 0;
    // True when the button took the key.
    virtual bool OnKeyDown(SkinKey key, bool plain, bool repeat) = 0;
    virtual bool OnKeyUp(SkinKey key, bool repeat) = 0;
    virtual void OnFocusLost() = 0;

    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

class SkinEditPanel;

// An edit box of the input panels: no frame, the edit-field bitmap (162) as its background,
// the text in the panel's colour, the window font. What the player typed is read as code
// page 936 bytes.
class SkinLineEdit : public QLineEdit {
    Q_OBJECT
public:
    SkinLineEdit(SkinColour textColour, SkinEditPanel* panel);

    // ---- toolkit ----
    void PlaceAt(const Rect& place);
    void SetPasswordMode();
    void SetName(const char* name);
    // The text as the launcher's strings hold it (code page 936); characters the code page
    // lacks become '?'.
    std::string GbkText() const;
    void ClearText();
    void FocusEdit();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_background;
};

// The panel that holds edit boxes over a skinned window: a child that draws nothing, so the
// window's composition shows around the boxes, and a press on its empty parts goes on to
// the window.
class SkinEditPanel : public QWidget {
    Q_OBJECT
public:
    explicit SkinEditPanel(LayeredWindowNative* owner);

    // ---- toolkit ----
    // Places the panel at `place` of the owner's client area.
    void PlaceAt(const Rect& place);
    void ShowPanel();
    void HidePanel();
    bool IsPanelShown() const;
    void ActivatePanel();
    void SetTabOrder(SkinLineEdit* first, SkinLineEdit* second);
};

// A repeating timer on the user-interface thread.
class SkinTimer : public QObject {
    Q_OBJECT
public:
    SkinTimer();
    ~SkinTimer() override;
    void Start(int periodMs, std::function<void()> tick);
    void Stop();
    bool IsRunning() const;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QBasicTimer m_timer;
    std::function<void()> m_tick;
};

// Hands work from any thread to the user-interface thread.
class UiThreadInvoker : public QObject {
    Q_OBJECT
protected:
    bool OnUiThread() const;
    // Queues `work` for the user-interface thread's event loop.
    void PostToUiThread(std::function<void()> work);
};

// A borderless window that floats over its owner at a fixed offset and shows one web page.
// The page is shown by Qt WebEngine, loaded on first use from a separate module so that
// start-up never pays for it; where that is not possible (built without it, switched off
// with NB_WEB_PANELS=0, the offscreen platform, the module missing) a panel of the same
// size says that the page cannot be shown. The panel only displays: Escape never closes
// it, Enter is handed to the owner as if pressed there, a close request only hides it, and
// a page that asks for a new window gets the default browser instead.
class WebPanel : public QWidget {
    Q_OBJECT
public:
    // Builds the widget that shows `url` inside `parent`; the panel places it.
    using ContentFactory = std::function<QWidget*(QWidget* parent, const QString& url)>;

    WebPanel(LayeredWindowNative* owner, const WebPanelLayout& layout, const std::string& url);
    ~WebPanel() override;

    // ---- toolkit ----
    // Places the panel for an owner whose client area starts at `ownerOrigin` (screen
    // coordinates), at the panel's size, without raising it.
    void FollowOwner(Point ownerOrigin);
    void ShowPanel();
    void HidePanel();
    void RaisePanel();
    bool IsPanelShown() const;
    // Builds the content (the page is asked for) as soon as the event loop runs, shown or not;
    // nothing when it is there already. Also done when the panel is first shown.
    void Navigate();

    const WebPanelLayout& Layout() const { return m_layout; }
    const QString& Url() const { return m_url; }
    // The widget showing the page; null until the panel is first shown.
    QWidget* Content() const { return m_pContent; }
    bool ShowsBrowser() const { return m_bBrowser; }
    // Builds the content now instead of just after the panel is first shown.
    void EnsureContent();
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

// The application object of a run: made first in main, before any window.
class SkinApplication {
public:
    SkinApplication(int& argc, char** argv);
    ~SkinApplication();
    SkinApplication(const SkinApplication&) = delete;
    SkinApplication& operator=(const SkinApplication&) = delete;

private:
    std::unique_ptr<QObject> m_app;
};

}  // namespace nb
