#pragma once
#include <memory>

#include "skin/LayeredWindow.h"
#include "skin/SkinButtonOwner.h"
#include "skin/SkinImage.h"

namespace nb {

class CDlgEdtCode;
class SkinButton;

// The verification-code dialog: the service's picture, a code box, a login button (2013)
// that checks the code and only then logs in with it, and two ways to cancel (2014, 2015).
// A click on the picture's area (1005) fetches a new picture. Run modally by the login when
// the service has asked for a code.
class CIdentifyingCodeDlg : public LayeredWindow, public SkinButtonOwner {
public:
    static constexpr int kIdLogin = 2013;
    static constexpr int kIdClose = 2014;
    static constexpr int kIdCancel = 2015;
    static constexpr int kIdRefresh = 1005;

    // `owner` is the window the dialog belongs to (the main window): the dialog is centred on
    // it and the code box is placed from its corner. Without one the screen is used.
    explicit CIdentifyingCodeDlg(LayeredWindow* owner = nullptr);
    ~CIdentifyingCodeDlg() override;

    bool OnInitDialog();
    // Recomposes the dialog with a fresh read of the picture file and places the code box.
    void Redraw();

    void RequestRedraw(SkinButton* button) override;
    void OnCommand(int controlId) override;
    void OnCodeLogin();
    void OnRefresh();

    // The dialog for the login, modal, owned by `owner`; returns when it has closed.
    static void RunModal(LayeredWindow* owner);

    CDlgEdtCode* CodeBox() const { return m_pCodeBox.get(); }
    SkinButton* Button(int controlId) const;
    SkinButton* RefreshArea() const { return m_pRefresh.get(); }

protected:
    bool OnKey(SkinKey key) override;

private:
    Point OwnerCorner() const;

    LayeredWindow* m_pOwnerWindow;
    SkinImage m_background;
    std::unique_ptr<SkinButton> m_pLogin;
    std::unique_ptr<SkinButton> m_pCancel;
    std::unique_ptr<SkinButton> m_pClose;
    std::unique_ptr<SkinButton> m_pRefresh;
    std::unique_ptr<CDlgEdtCode> m_pCodeBox;
    bool m_bDestroying = false;
};

}  // namespace nb
