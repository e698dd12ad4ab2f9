#pragma once
#include <map>
#include <memory>
#include <string>

#include "skin/LayeredWindow.h"
#include "skin/SkinButtonOwner.h"
#include "skin/SkinImage.h"
#include "ui/WebPanel.h"

namespace nb {

class CDlgAnnounce;
class CDlgEdit;
class CDlgWebPicture;
class LauncherContext;
class ServerView;
class SkinButton;

// The main launcher window: a borderless window composed from the skin with two pages,
// chosen by the context's update state: the server page (0), where the player picks a big
// zone and a server, and the login page (1), where the player types name and password. Three
// panels sit over it at fixed offsets and follow it: the web picture panel, the announcement
// panel and the login input panel. Any other state closes the window at once.
class LauncherDlg : public LayeredWindow, public SkinButtonOwner {
public:
    // What the login checks found in the typed name and password.
    enum class LoginInputCheck { kOk, kEmpty, kTooLong };
    static constexpr size_t kMaxLoginInputBytes = 20;

    explicit LauncherDlg(LauncherContext& context);
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
    bool PreTranslateKey(SkinKey key);

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
    CDlgEdit* LoginInputPanel() const { return m_pLoginInput.get(); }
    WebPanel* WebPicturePanel() const;
    WebPanel* AnnouncePanel() const;

protected:
    void OnMoved() override;
    bool OnKey(SkinKey key) override;
    void OnRestored() override;
    void OnFirstFrame() override;
    void OnShown() override;
    void OnHidden() override;

private:
    void CreatePanels();
    // A web panel is shown only once the window is: shown earlier it would stand alone on
    // the screen.
    void ShowPanel(WebPanel* panel);
    void ShowPanels();
    void CloseWindow();
    // The user name (lower case) and password as typed; false after showing message 2 or 3.
    bool ReadLoginInput(std::string& name, std::string& password);
    void EnterOnLoginPage();
    void EnterOnServerPage();
    void DrawButtons(SkinCanvas& canvas, const int* ids, size_t count);

    LauncherContext& m_context;
    SkinImage m_serverPageBackground;
    SkinImage m_loginPageBackground;
    SkinImage m_loginPagePanel;
    SkinImage m_zonePanel;

    std::map<int, SkinButton*> m_buttons;
    std::unique_ptr<ServerView> m_pServerView;

    std::unique_ptr<CDlgWebPicture> m_pWebPicture;
    std::unique_ptr<CDlgAnnounce> m_pAnnounce;
    std::unique_ptr<CDlgEdit> m_pLoginInput;

    bool m_bCloseRequested = false;
    bool m_bDestroying = false;
};

}  // namespace nb
