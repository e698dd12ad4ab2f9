#include "ui/LauncherDlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/LauncherContext.h"
#include "app/TextEncoding.h"
#include "app/TraceLog.h"
#include "login/Login.h"
#include "platform/Process.h"
#include "skin/SkinButton.h"
#include "skin/SkinCanvas.h"
#include "ui/CDlgAnnounce.h"
#include "ui/CDlgEdit.h"
#include "ui/CDlgWebPicture.h"
#include "ui/ExternalPages.h"
#include "ui/MainWindowLayout.h"
#include "ui/ServerView.h"
#include "ui/SkinLineEdit.h"

namespace nb {

using namespace mainwin;

namespace {
// The window title, kept in the Big5 code page like the other fixed titles.
constexpr const char kTitleBig5[] = "NorbelrokOnline";
constexpr const char kGameClient[] = "Vd.exe";
constexpr const char kWebTokenPrefix[] = "WEB";

constexpr int kNoServerMessage = 17;
constexpr int kEmptyInputMessage = 2;
constexpr int kTooLongInputMessage = 3;
}  // namespace

LauncherDlg::LauncherDlg(LauncherContext& context, QWidget* parent)
    : LayeredWindow(parent, Kind::kMainWindow),
      m_context(context),
      m_icon(LoadSkinIcon(kIconId)),
      m_serverPageBackground(LoadSkinImage(kServerPageBackground)),
      m_loginPageBackground(LoadSkinImage(kLoginPageBackground)),
      m_loginPagePanel(LoadSkinImage(kLoginPagePanel)),
      m_zonePanel(LoadSkinImage(kZonePanel)) {
    // Each new main window starts with a plain login; only the service's answer asks for a code.
    m_context.m_bCodeRequired = false;
    m_pServerView = std::make_unique<ServerView>(this, this, m_context, [this] { RedrawForState(); });
}

LauncherDlg::~LauncherDlg() {
    // Deleting a button under the mouse makes it report a leave, which would ask this
    // half-destroyed window for a repaint.
    m_bDestroying = true;
    m_pServerView.reset();
    for (auto& [id, button] : m_buttons) {
        button->SetOwner(nullptr);
        delete button;
    }
    m_buttons.clear();
}

bool LauncherDlg::OnInitDialog() {
    setWindowIcon(m_icon);
    setWindowTitle(QString::fromStdU16String(Big5ToUtf16(kTitleBig5)));

    SkinButton* tab0 = nullptr;
    SkinButton* tab1 = nullptr;
    for (const ButtonSpec& spec : kWindowButtons) {
        auto* button = new SkinButton();
        button->CreateFromPng(kButtonFrames, spec.x, spec.y, spec.picture, spec.controlId, this, spec.toggle);
        button->SetOwner(this);
        if (spec.toggle) button->SetToggleFrames(true, 0, 1, 2);
        if (spec.shownAtCreation) button->show();
        m_buttons[spec.controlId] = button;
        if (spec.controlId == kIdZoneTab0) tab0 = button;
        if (spec.controlId == kIdZoneTab1) tab1 = button;
        // The server view is built once both tabs exist, before the home page button.
        if (tab0 && tab1 && spec.controlId == kIdZoneTab0) {
            m_pServerView->SetZoneTabs(tab0, tab1);
            m_pServerView->CreateServerView(m_pServerView->SelectedBigZone());
        }
    }

    CreatePanels();

    move(0, 0);
    resize(kInitialSize);
    RedrawForState();
    if (m_bCloseRequested) return true;

    if (tab1) tab1->SetSelected(true);
    // Show the selected tab from the first frame on, not only after the first hover.
    RedrawForState();
    return true;
}

void LauncherDlg::CreatePanels() {
    m_pWebPicture = new CDlgWebPicture(this, m_context.m_strLauncherNavPage);
    m_pAnnounce = new CDlgAnnounce(this, m_context.m_strLauncherPage);
    m_pLoginInput = new CDlgEdit(this);
    m_pLoginInput->setGeometry(QRect(kLoginInputPanelOffset, kLoginInputPanelSize));
}

SkinButton* LauncherDlg::Button(int controlId) const {
    const auto it = m_buttons.find(controlId);
    return it == m_buttons.end() ? nullptr : it->second;
}

// ---- composition ----

void LauncherDlg::DrawButtons(SkinCanvas& canvas, const int* ids, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (SkinButton* button = Button(ids[i])) button->DrawTo(canvas);
    }
}

bool LauncherDlg::DrawServerPage() {
    ShowPanel(m_pWebPicture);
    for (int id : {kIdBack, kIdLogin}) {
        if (SkinButton* button = Button(id)) button->hide();
    }
    for (int id : {kIdStart, kIdZoneTab0, kIdZoneTab1}) {
        if (SkinButton* button = Button(id)) button->show();
    }
    return LayeredRepaint(m_serverPageBackground, [this](SkinCanvas& canvas) {
        canvas.DrawImage(m_zonePanel, kZonePanelPos.x(), kZonePanelPos.y());
        DrawButtons(canvas, kServerPageButtons, std::size(kServerPageButtons));
        m_pServerView->Draw(canvas);
        const std::string version = m_context.MessageText(kVersionMessage) +
                                    std::to_string(m_context.m_nServerBuild) + " " +
                                    m_context.m_strLocalVersion;
        canvas.DrawText(version, kVersionPos.x(), kVersionPos.y(), kVersionTextSize, kVersionColour);
    });
}

bool LauncherDlg::DrawLoginPage() {
    ShowPanel(m_pWebPicture);
    if (SkinButton* start = Button(kIdStart)) start->hide();
    for (int id : {kIdLogin, kIdBack}) {
        if (SkinButton* button = Button(id)) button->show();
    }
    return LayeredRepaint(m_loginPageBackground, [this](SkinCanvas& canvas) {
        canvas.DrawImage(m_loginPagePanel, kLoginPagePanelPos.x(), kLoginPagePanelPos.y());
        DrawButtons(canvas, kLoginPageButtons, std::size(kLoginPageButtons));
    });
}

void LauncherDlg::RedrawForState() {
    if (m_bDestroying) return;
    switch (m_context.m_nUpdateState.load(std::memory_order_relaxed)) {
        case kStateServerPage:
            DrawServerPage();
            break;
        case kStateLoginPage:
            DrawLoginPage();
            break;
        default:
            CloseWindow();
            break;
    }
}

void LauncherDlg::CloseWindow() {
    m_bCloseRequested = true;
    close();
}

void LauncherDlg::RequestRedraw(SkinButton*) {
    RedrawForState();
}

void LauncherDlg::paintEvent(QPaintEvent* event) {
    LayeredWindow::paintEvent(event);
    if (!m_bFirstFrameReported) {
        m_bFirstFrameReported = true;
        if (std::getenv("NB_BENCH_FIRST_FRAME"))
            std::fprintf(stderr, "NB_BENCH_FIRST_FRAME main window painted\n");
        // Both pages are asked for now that the window stands, the announcement too although
        // only the login page shows it; after the first frame, which the browser's start
        // would otherwise hold up.
        for (WebPanel* panel : {m_pWebPicture.data(), m_pAnnounce.data()})
            if (panel) panel->Navigate();
    }
}

// ---- commands ----

void LauncherDlg::OnCommand(int controlId) {
    switch (controlId) {
        case kIdMinimise:
            showMinimized();
            return;
        case kIdStart:
            OnBtnEnterClick();
            return;
        case kIdClose:
            close();
            return;
        case kIdLogin:
            OnBtnLoginClick();
            return;
        case kIdBack:
            OnBtnBackClick();
            return;
        case kIdHomePage:
            OnBtnHomePageClick();
            return;
        default:
            m_pServerView->OnCommand(controlId);
            return;
    }
}

std::string LauncherDlg::TokenStartBase(const std::string& installPath, const std::string& serverName,
                                        const std::string& serverAddress) {
    std::string program = installPath + kGameClient;
    // Windows finds an unquoted program path with blanks by trying its prefixes; the command
    // line splitter here does not, so such a path is quoted to reach the same program.
    if (program.find_first_of(" \t") != std::string::npos) program = "\"" + program + "\"";
    return program + " dev:" + serverName + " " + serverAddress + " ";
}

std::string LauncherDlg::AppendWebToken(const std::string& base, const std::string& token) {
    const std::string::size_type found = token.rfind(' ');
    const long long size = static_cast<long long>(token.size());
    const long long lastBlank = found == std::string::npos ? -1 : static_cast<long long>(found);
    std::string command = base;
    // Characters 4 up to the last blank: none when the blank comes earlier or is missing.
    if (lastBlank > 4) command += token.substr(4, static_cast<size_t>(lastBlank - 4));
    command += ' ';
    // The last (length - last blank) characters: the whole token when it has no blank.
    const long long tail = std::min(size - lastBlank, size);
    command += token.substr(static_cast<size_t>(size - tail));
    return command;
}

void LauncherDlg::OnBtnEnterClick() {
    if (m_context.m_strServerAddress.empty()) {
        m_context.m_strServerAddress.clear();
        m_context.ShowNumberedMessage(kNoServerMessage);
        return;
    }
    const std::string& token = m_context.m_strCmdArg;
    TraceLog("strToken = %s \n", token.c_str());
    if (!token.empty()) {
        const std::string base = TokenStartBase(m_context.m_strInstallPath, m_context.m_strServerName,
                                                m_context.m_strServerAddress);
        TraceLog("strStartVd = %s \n", base.c_str());
        // Any other token starts nothing, and the page stays.
        if (token.compare(0, 3, kWebTokenPrefix) == 0) {
            const std::string command = AppendWebToken(base, token);
            TraceLog("___strStartVd = %s", command.c_str());
            platform::StartProcess(command);
            close();
        }
        return;
    }
    ShowPanels();
    m_context.m_nUpdateState = kStateLoginPage;
    TraceLog("==========OnBtnEnterClick==========%d=\n", m_context.m_nUpdateState.load());
    RedrawForState();
}

LauncherDlg::LoginInputCheck LauncherDlg::CheckLoginInput(const std::string& name,
                                                          const std::string& password) {
    if (name.empty() || password.empty()) return LoginInputCheck::kEmpty;
    if (GbkLength(name) > kMaxLoginInputBytes || GbkLength(password) > kMaxLoginInputBytes) {
        return LoginInputCheck::kTooLong;
    }
    return LoginInputCheck::kOk;
}

bool LauncherDlg::ReadLoginInput(std::string& name, std::string& password) {
    name = GbkToLower(m_pLoginInput->AccountEdit()->GbkText());
    password = m_pLoginInput->PasswordEdit()->GbkText();
    switch (CheckLoginInput(name, password)) {
        case LoginInputCheck::kEmpty:
            m_context.ShowNumberedMessage(kEmptyInputMessage);
            return false;
        case LoginInputCheck::kTooLong:
            m_context.ShowNumberedMessage(kTooLongInputMessage);
            m_pLoginInput->PasswordEdit()->clear();
            return false;
        case LoginInputCheck::kOk:
            break;
    }
    return true;
}

void LauncherDlg::OnBtnLoginClick() {
    std::string name;
    std::string password;
    if (!ReadLoginInput(name, password)) return;
    DoLogin(name, password);
}

void LauncherDlg::OnBtnBackClick() {
    m_context.m_nUpdateState = kStateServerPage;
    // The panels hide and stay alive: the login page shows them again.
    for (QWidget* panel : std::initializer_list<QWidget*>{m_pWebPicture, m_pAnnounce, m_pLoginInput}) {
        if (panel) panel->hide();
    }
    RedrawForState();
}

void LauncherDlg::OnBtnHomePageClick() {
    OpenPortalHomePage();
}

void LauncherDlg::ShowPanel(QWidget* panel) {
    if (!panel) return;
    // A panel window of its own would stand alone on the screen while this window is hidden
    // or minimised (a repaint then still asks for the page's panels); the restore shows it.
    if (panel->isWindow() && (!isVisible() || isMinimized())) return;
    panel->show();
}

void LauncherDlg::ShowPanels() {
    ShowPanel(m_pWebPicture);
    ShowPanel(m_pAnnounce);
    if (m_pLoginInput) {
        m_pLoginInput->show();
        m_pLoginInput->AccountEdit()->setFocus();
    }
}

// ---- moving ----

void LauncherDlg::OnMove(int x, int y) {
    const QPoint origin(x, y);
    if (m_pWebPicture) m_pWebPicture->FollowOwner(origin);
    if (m_pAnnounce) m_pAnnounce->FollowOwner(origin);
    // Inside the window: its place does not change when the window moves.
    if (m_pLoginInput) m_pLoginInput->setGeometry(QRect(kLoginInputPanelOffset, kLoginInputPanelSize));
}

void LauncherDlg::moveEvent(QMoveEvent* event) {
    LayeredWindow::moveEvent(event);
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    OnMove(origin.x(), origin.y());
}

void LauncherDlg::mousePressEvent(QMouseEvent* event) {
    LayeredWindow::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) return;
    event->accept();
    // A press anywhere that no button took moves the window: the window manager's own move
    // where it offers one, else the window follows the mouse itself.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    m_bDragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void LauncherDlg::mouseMoveEvent(QMouseEvent* event) {
    if (m_bDragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    LayeredWindow::mouseMoveEvent(event);
}

void LauncherDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_bDragging = false;
    LayeredWindow::mouseReleaseEvent(event);
}

void LauncherDlg::showEvent(QShowEvent* event) {
    LayeredWindow::showEvent(event);
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    OnMove(origin.x(), origin.y());
    ShowPanel(m_pWebPicture);
    if (m_context.m_nUpdateState == kStateLoginPage) ShowPanel(m_pAnnounce);
    // Without a window manager a window mapped later lands on top: lift the panels over the
    // window once it is on the screen.
    QTimer::singleShot(0, this, [this] {
        for (QWidget* panel : std::initializer_list<QWidget*>{m_pWebPicture, m_pAnnounce}) {
            if (panel && panel->isVisible()) panel->raise();
        }
        KeepModalAbovePanels(this);
    });
}

void LauncherDlg::hideEvent(QHideEvent* event) {
    LayeredWindow::hideEvent(event);
    for (QWidget* panel : std::initializer_list<QWidget*>{m_pWebPicture, m_pAnnounce}) {
        if (panel) panel->hide();
    }
}

void LauncherDlg::changeEvent(QEvent* event) {
    LayeredWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    const bool restored =
        (change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized);
    if (restored && m_context.m_nUpdateState == kStateLoginPage) {
        ShowPanel(m_pAnnounce);
        ShowPanel(m_pLoginInput);
    }
}

// ---- keys ----

void LauncherDlg::EnterOnLoginPage() {
    activateWindow();
    std::string name;
    std::string password;
    if (!ReadLoginInput(name, password)) {
        // After an empty field the player goes on typing in the name box.
        if (CheckLoginInput(name, password) == LoginInputCheck::kEmpty) {
            m_pLoginInput->activateWindow();
            m_pLoginInput->AccountEdit()->setFocus();
        }
        return;
    }
    m_context.m_strAccount = name;
    m_context.m_strPassword = password;
    m_pLoginInput->PasswordEdit()->clear();
    DoLogin(name, password);
}

void LauncherDlg::EnterOnServerPage() {
    if (m_context.m_strServerAddress.empty()) {
        m_context.m_strServerAddress.clear();
        m_context.ShowNumberedMessage(kNoServerMessage);
        return;
    }
    m_context.m_nUpdateState = kStateLoginPage;
    ShowPanels();
    TraceLog("==========PreTranslateMessage==========%d=\n", m_context.m_nUpdateState.load());
    RedrawForState();
}

bool LauncherDlg::PreTranslateKey(int key) {
    if (key == Qt::Key_Escape) return true;  // the window does not close on Escape
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    switch (m_context.m_nUpdateState.load(std::memory_order_relaxed)) {
        case kStateLoginPage:
            EnterOnLoginPage();
            return true;
        case kStateServerPage:
            EnterOnServerPage();
            return true;
        default:
            return false;
    }
}

void LauncherDlg::keyPressEvent(QKeyEvent* event) {
    if (PreTranslateKey(event->key())) {
        event->accept();
        return;
    }
    LayeredWindow::keyPressEvent(event);
}

}  // namespace nb
