#pragma once
#include <QIcon>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <map>
#include <memory>
#include <string>

#include "skin/LayeredWindow.h"
#include "skin/SkinButtonOwner.h"
#include "skin/SkinImage.h"
#include "ui/WebPanel.h"

namespace nb {

class CDlgEdit;
class LauncherContext;
class ServerView;
class SkinButton;

// The main launcher window: a borderless window composed from the skin with two pages,
// chosen by the context's update state: the server page (0), where the player picks a big
// zone and a server, and the login page (1), where the player types name and password. Three
// panels sit over it at fixed offsets and follow it: the web picture panel, the announcement
// panel and the login input panel. Any other state closes the window at once.
class LauncherDlg : public LayeredWindow, public SkinButtonOwner {
    Q_OBJECT
public:
    // What the login checks found in the typed name and password.
    enum class LoginInputCheck { kOk, kEmpty, kTooLong };
    static constexpr size_t kMaxLoginInputBytes = 20;

    explicit LauncherDlg(LauncherContext& context, QWidget* parent = nullptr);
    ~LauncherDlg() override;

    // Builds the window: title, icon, buttons, server view, panels, place and size, the page
    // of the current state. Returns true; the window may already have closed itself (a state
    // other than 0 or 1), see IsCloseRequested.
    bool OnInitDialog();
    bool IsCloseRequested() const { return m_bCloseRequested; }

    // The two page compositions. Callable while the window is hidden: the composed picture is
    // then available in ComposedImage().
    bool DrawServerPage();
    bool DrawLoginPage();
    // The one redraw entry: the page of the current state, or the window closes.
    void RedrawForState();

    void RequestRedraw(SkinButton* button) override;
    void OnCommand(int controlId) override;

    void OnBtnEnterClick();
    void OnBtnLoginClick();
    void OnBtnBackClick();
    void OnBtnHomePageClick();
    // Keeps the panels at their offsets from the window's client origin (x, y) on the screen.
    void OnMove(int x, int y);
    // The window's key pre-translation: Escape and the Enter of both pages are taken here
    // (true); everything else goes on (false). The web panels pass their Enter here too.
    bool PreTranslateKey(int key);

    // name (lower-cased by the caller) and password, code page 936.
    static LoginInputCheck CheckLoginInput(const std::string& name, const std::string& password);
    // The start of the command line of a start with a command token: the game client's full
    // path, " dev:", the server name, a blank, the server address and a blank.
    static std::string TokenStartBase(const std::string& installPath, const std::string& serverName,
                                      const std::string& serverAddress);
    // A "WEB" token's two parts after that start: the text between the prefix and the last
    // blank, one blank, then the last blank with what follows it.
    static std::string AppendWebToken(const std::string& base, const std::string& token);

    ServerView& View() { return *m_pServerView; }
    SkinButton* Button(int controlId) const;
    CDlgEdit* LoginInputPanel() const { return m_pLoginInput; }
    WebPanel* WebPicturePanel() const { return m_pWebPicture.data(); }
    WebPanel* AnnouncePanel() const { return m_pAnnounce.data(); }

protected:
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void CreatePanels();
    // A panel of its own on the screen is shown only once the window is: shown earlier it
    // would stand alone on the screen.
    void ShowPanel(QWidget* panel);
    void ShowPanels();
    void CloseWindow();
    // The user name (lower case) and password as typed; false after showing message 2 or 3.
    bool ReadLoginInput(std::string& name, std::string& password);
    void EnterOnLoginPage();
    void EnterOnServerPage();
    void DrawButtons(SkinCanvas& canvas, const int* ids, size_t count);

    LauncherContext& m_context;
    QIcon m_icon;
    SkinImage m_serverPageBackground;
    SkinImage m_loginPageBackground;
    SkinImage m_loginPagePanel;
    SkinImage m_zonePanel;

    std::map<int, SkinButton*> m_buttons;
    std::unique_ptr<ServerView> m_pServerView;

    QPointer<WebPanel> m_pWebPicture;
    QPointer<WebPanel> m_pAnnounce;
    CDlgEdit* m_pLoginInput = nullptr;

    bool m_bCloseRequested = false;
    bool m_bDestroying = false;
    bool m_bDragging = false;
    QPoint m_dragOffset;
    bool m_bFirstFrameReported = false;
};

}  // namespace nb
