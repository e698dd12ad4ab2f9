#pragma once
#include <QPointer>
#include <QWidget>

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
    Q_OBJECT
public:
    static constexpr int kIdLogin = 2013;
    static constexpr int kIdClose = 2014;
    static constexpr int kIdCancel = 2015;
    static constexpr int kIdRefresh = 1005;

    // `owner` is the window the dialog belongs to (the main window): the dialog is centred on
    // it and the code box is placed from its corner. Without one the screen is used.
    explicit CIdentifyingCodeDlg(QWidget* owner = nullptr);
    ~CIdentifyingCodeDlg() override;

    bool OnInitDialog();
    // Recomposes the dialog with a fresh read of the picture file and places the code box.
    void Redraw();

    void RequestRedraw(SkinButton* button) override;
    void OnCommand(int controlId) override;
    void OnCodeLogin();
    void OnRefresh();

    // The dialog for the login, modal, owned by `owner`; returns when it has closed.
    static void RunModal(QWidget* owner);

    CDlgEdtCode* CodeBox() const { return m_pCodeBox; }
    SkinButton* Button(int controlId) const;
    QWidget* RefreshArea() const { return m_pRefresh; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPoint OwnerCorner() const;

    QPointer<QWidget> m_pOwnerWindow;
    SkinImage m_background;
    SkinButton* m_pLogin = nullptr;
    SkinButton* m_pCancel = nullptr;
    SkinButton* m_pClose = nullptr;
    CDlgEdtCode* m_pCodeBox = nullptr;
    QWidget* m_pRefresh = nullptr;
    bool m_bDestroying = false;
};

}  // namespace nb
