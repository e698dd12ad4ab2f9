#include "ui/LauncherDlg.h"

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

LauncherDlg::LauncherDlg(LauncherContext& context)
    : LayeredWindow(nullptr, Kind::MainWindow),
      m_context(context),
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
    for (auto& [id, button] : m_buttons) button->SetOwner(nullptr);
    for (auto& [id, button] : m_buttons) delete button;
    m_buttons.clear();
    m_pLoginInput.reset();
    m_pAnnounce.reset();
    m_pWebPicture.reset();
}

bool LauncherDlg::OnInitDialog() {
    SetIconResource(kIconId);
    SetTitle(Big5ToUtf16(kTitleBig5));
    SetDragAnywhere(true);

    SkinButton* tab0 = nullptr;
    SkinButton* tab1 = nullptr;
    for (const ButtonSpec& spec : kWindowButtons) {
        auto* button = new SkinButton();
        button->CreateFromPng(kButtonFrames, spec.x, spec.y, spec.picture, spec.controlId, this, spec.toggle);
        button->SetOwner(this);
        if (spec.toggle) button->SetToggleFrames(true, 0, 1, 2);
        if (spec.shownAtCreation) button->ShowInput();
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

    MoveTo(Point{0, 0});
    SetInitialSize(kInitialSize);
    RedrawForState();
    if (m_bCloseRequested) return true;

    if (tab1) tab1->SetSelected(true);
    // Show the selected tab from the first frame on, not only after the first hover.
    RedrawForState();
    return true;
}

void LauncherDlg::CreatePanels() {
    m_pWebPicture = std::make_unique<CDlgWebPicture>(this, m_context.m_strLauncherNavPage);
    m_pAnnounce = std::make_unique<CDlgAnnounce>(this, m_context.m_strLauncherPage);
    m_pLoginInput = std::make_unique<CDlgEdit>(this);
    m_pLoginInput->PlaceAt(Rect(kLoginInputPanelOffset, kLoginInputPanelSize));
}

WebPanel* LauncherDlg::WebPicturePanel() const {
    return m_pWebPicture.get();
}

WebPanel* LauncherDlg::AnnouncePanel() const {
    return m_pAnnounce.get();
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
    ShowPanel(m_pWebPicture.get());
    for (int id : {kIdBack, kIdLogin}) {
        if (SkinButton* button = Button(id)) button->HideInput();
    }
    for (int id : {kIdStart, kIdZoneTab0, kIdZoneTab1, kIdRepair}) {
        if (SkinButton* button = Button(id)) button->ShowInput();
    }
    return LayeredRepaint(m_serverPageBackground, [this](SkinCanvas& canvas) {
        canvas.DrawImage(m_zonePanel, kZonePanelPos.x, kZonePanelPos.y);
        DrawButtons(canvas, kServerPageButtons, std::size(kServerPageButtons));
        m_pServerView->Draw(canvas);
        const std::string version = m_context.MessageText(kVersionMessage) +
                                    std::to_string(m_context.m_nServerBuild) + " " +
                                    m_context.m_strLocalVersion;
        canvas.DrawText(version, kVersionPos.x, kVersionPos.y, kVersionTextSize, kVersionColour);
    });
}

bool LauncherDlg::DrawLoginPage() {
    ShowPanel(m_pWebPicture.get());
    for (int id : {kIdStart, kIdRepair}) {
        if (SkinButton* button = Button(id)) button->HideInput();
    }
    for (int id : {kIdLogin, kIdBack}) {
        if (SkinButton* button = Button(id)) button->ShowInput();
    }
    return LayeredRepaint(m_loginPageBackground, [this](SkinCanvas& canvas) {
        canvas.DrawImage(m_loginPagePanel, kLoginPagePanelPos.x, kLoginPagePanelPos.y);
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
    LayeredWindow::CloseWindow();
}

void LauncherDlg::RequestRedraw(SkinButton*) {
    RedrawForState();
}

void LauncherDlg::OnFirstFrame() {
    if (std::getenv("NB_BENCH_FIRST_FRAME")) std::fprintf(stderr, "NB_BENCH_FIRST_FRAME main window painted\n");
    // Both pages are asked for now that the window stands, the announcement too although only
    // the login page shows it; after the first frame, which the browser's start would
    // otherwise hold up.
    for (WebPanel* panel : {WebPicturePanel(), AnnouncePanel()})
        if (panel) panel->Navigate();
}

// ---- commands ----

void LauncherDlg::OnCommand(int controlId) {
    switch (controlId) {
        case kIdMinimise:
            Minimise();
            return;
        case kIdStart:
            OnBtnEnterClick();
            return;
        case kIdClose:
            LayeredWindow::CloseWindow();
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
        case kIdRepair:
            // The update window takes over once this one has closed (see the start-up order).
            m_context.m_nUpdateState.store(kStateRepair, std::memory_order_relaxed);
            CloseWindow();
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
            LayeredWindow::CloseWindow();
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
            m_pLoginInput->PasswordEdit()->ClearText();
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
    m_pWebPicture->HidePanel();
    m_pAnnounce->HidePanel();
    m_pLoginInput->HidePanel();
    RedrawForState();
}

void LauncherDlg::OnBtnHomePageClick() {
    OpenPortalHomePage();
}

void LauncherDlg::ShowPanel(WebPanel* panel) {
    // A panel window of its own would stand alone on the screen while this window is hidden
    // or minimised (a repaint then still asks for the page's panels); the restore shows it.
    if (!panel || !IsShown() || IsMinimised()) return;
    panel->ShowPanel();
}

void LauncherDlg::ShowPanels() {
    ShowPanel(m_pWebPicture.get());
    ShowPanel(m_pAnnounce.get());
    m_pLoginInput->ShowPanel();
    m_pLoginInput->AccountEdit()->FocusEdit();
}

// ---- moving ----

void LauncherDlg::OnMove(int x, int y) {
    const Point origin{x, y};
    m_pWebPicture->FollowOwner(origin);
    m_pAnnounce->FollowOwner(origin);
    // Inside the window: its place does not change when the window moves.
    m_pLoginInput->PlaceAt(Rect(kLoginInputPanelOffset, kLoginInputPanelSize));
}

void LauncherDlg::OnMoved() {
    const Point origin = ScreenOrigin();
    OnMove(origin.x, origin.y);
}

void LauncherDlg::OnShown() {
    OnMoved();
    ShowPanel(m_pWebPicture.get());
    if (m_context.m_nUpdateState == kStateLoginPage) ShowPanel(m_pAnnounce.get());
    // Without a window manager a window mapped later lands on top: lift the panels over the
    // window once it is on the screen.
    RunSoon([this] {
        for (WebPanel* panel : {WebPicturePanel(), AnnouncePanel()}) {
            if (panel->IsPanelShown()) panel->RaisePanel();
        }
        KeepModalAbovePanels();
    });
}

void LauncherDlg::OnHidden() {
    m_pWebPicture->HidePanel();
    m_pAnnounce->HidePanel();
}

void LauncherDlg::OnRestored() {
    if (m_context.m_nUpdateState == kStateLoginPage) {
        ShowPanel(m_pAnnounce.get());
        m_pLoginInput->ShowPanel();
    }
}

// ---- keys ----

void LauncherDlg::EnterOnLoginPage() {
    ActivateNow();
    std::string name;
    std::string password;
    if (!ReadLoginInput(name, password)) {
        // After an empty field the player goes on typing in the name box.
        if (CheckLoginInput(name, password) == LoginInputCheck::kEmpty) {
            m_pLoginInput->ActivatePanel();
            m_pLoginInput->AccountEdit()->FocusEdit();
        }
        return;
    }
    m_context.m_strAccount = name;
    m_context.m_strPassword = password;
    m_pLoginInput->PasswordEdit()->ClearText();
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

bool LauncherDlg::PreTranslateKey(SkinKey key) {
    if (key == SkinKey::Escape) return true;  // the window does not close on Escape
    if (key != SkinKey::Enter) return false;
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

bool LauncherDlg::OnKey(SkinKey key) {
    return PreTranslateKey(key);
}

}  // namespace nb
