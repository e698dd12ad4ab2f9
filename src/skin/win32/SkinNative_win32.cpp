#include "SkinNative.h"
#include "skin/win32/Win32Skin.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include <map>
#include <vector>

#include "app/TextEncoding.h"
#include "skin/SkinSystem.h"
#include "skin/SkinText.h"
#include "skin/win32/WebBrowserSite.h"

namespace nb {

using namespace win32;

namespace {

constexpr UINT kWmRunSoon = WM_APP + 1;
constexpr UINT kWmInvoke = WM_APP + 2;
constexpr COLORREF kColourKey = RGB(255, 0, 255);  // the edit pop-ups' see-through colour
constexpr wchar_t kWindowClass[] = L"NbSkinWindow";
constexpr wchar_t kButtonClass[] = L"NbSkinButton";
constexpr wchar_t kPanelClass[] = L"NbSkinEditPanel";
constexpr wchar_t kWebClass[] = L"NbSkinWebPanel";
constexpr wchar_t kInvokerClass[] = L"NbSkinInvoker";

// Every skinned window of the process, for the modal runs and the key routing.
std::map<HWND, LayeredWindowNative*>& Windows() {
    static std::map<HWND, LayeredWindowNative*> windows;
    return windows;
}
std::vector<LayeredWindowNative*>& ModalStack() {
    static std::vector<LayeredWindowNative*> stack;
    return stack;
}

template <class Object>
Object* ObjectOf(HWND hwnd) {
    return reinterpret_cast<Object*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

template <class Object>
LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    // Until CreateWindowEx has returned the object does not know its handle: the messages of
    // the creation itself take their default course.
    Object* object = ObjectOf<Object>(hwnd);
    if (object && object->Handle() == hwnd) return object->HandleMessage(message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK InvokerProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWmInvoke) {
        std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        if (work && *work) (*work)();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterClasses() {
    static const bool registered = [] {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
        wc.lpfnWndProc = &Procedure<LayeredWindowNative>;
        wc.lpszClassName = kWindowClass;
        RegisterClassExW(&wc);
        wc.lpfnWndProc = &Procedure<SkinButtonNative>;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649) /* IDC_HAND */);
        wc.lpszClassName = kButtonClass;
        RegisterClassExW(&wc);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.lpfnWndProc = &Procedure<SkinEditPanel>;
        wc.lpszClassName = kPanelClass;
        RegisterClassExW(&wc);
        wc.lpfnWndProc = &Procedure<WebPanel>;
        wc.lpszClassName = kWebClass;
        RegisterClassExW(&wc);
        wc.lpfnWndProc = &InvokerProcedure;
        wc.lpszClassName = kInvokerClass;
        RegisterClassExW(&wc);
        return true;
    }();
    (void)registered;
}

bool IsClass(HWND hwnd, const wchar_t* name) {
    wchar_t buffer[64] = {};
    GetClassNameW(hwnd, buffer, 64);
    return lstrcmpiW(buffer, name) == 0;
}

SkinKey KeyOf(WPARAM vk) {
    switch (vk) {
        case VK_ESCAPE:
            return SkinKey::Escape;
        case VK_RETURN:
            return SkinKey::Enter;
        case VK_SPACE:
            return SkinKey::Space;
        case VK_TAB:
            return SkinKey::Tab;
        default:
            return SkinKey::Other;
    }
}

Point LocalPoint(LPARAM lParam) {
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

}  // namespace

// The keys a modal run takes before the focused control sees them: Tab between the boxes of
// an edit pop-up, Enter and Escape to the skinned window the control belongs to (a web
// panel swallows Escape). A focused button keeps its own Space and Escape.
bool PreTranslateSkinKey(void* message) {
    MSG* msg = static_cast<MSG*>(message);
    if (msg->message != WM_KEYDOWN) return false;
    const SkinKey key = KeyOf(msg->wParam);
    if (key == SkinKey::Other || key == SkinKey::Space) return false;
    if (IsClass(msg->hwnd, kButtonClass)) return false;
    HWND top = GetAncestor(msg->hwnd, GA_ROOT);
    if (key == SkinKey::Tab) {
        if (!IsClass(top, kPanelClass)) return false;
        if (SkinEditPanel* panel = ObjectOf<SkinEditPanel>(top)) SetFocus(H(panel->NextEdit(msg->hwnd)));
        return true;
    }
    LayeredWindowNative* window = LayeredWindowNative::FromAnyHandle(msg->hwnd);
    if (!window) return false;
    if (window->OnKey(key)) return true;
    if (key == SkinKey::Escape) {
        // A dialog ends on Escape; a web panel only swallows it.
        if (!IsClass(top, kWebClass)) window->CloseWindow();
        return true;
    }
    return false;
}

namespace {
// The keys of a page in a web panel (Tab between its links, the arrows, copy) go through the
// browser's own accelerators.
bool TranslateWebPageKey(MSG* msg) {
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    HWND top = GetAncestor(msg->hwnd, GA_ROOT);
    if (!top || !IsClass(top, kWebClass)) return false;
    WebPanel* panel = ObjectOf<WebPanel>(top);
    return panel && panel->TranslatePageKey(msg);
}
}  // namespace

// ---- LayeredWindowNative ----

LayeredWindowNative::LayeredWindowNative(LayeredWindowNative* owner, SkinWindowKind kind)
    : m_pOwner(owner), m_kind(kind) {
    RegisterClasses();
    DWORD exStyle = WS_EX_LAYERED;
    DWORD style = WS_POPUP;
    if (kind == SkinWindowKind::MainWindow) {
        // The task-bar entry, its icon, and minimise and restore from it.
        exStyle |= WS_EX_APPWINDOW;
        style |= WS_SYSMENU | WS_MINIMIZEBOX;
    }
    m_hwnd = CreateWindowExW(exStyle, kWindowClass, L"", style, 0, 0, 1, 1, owner ? H(owner->m_hwnd) : nullptr,
                             nullptr, GetModuleHandleW(nullptr), this);
    if (m_hwnd) Windows()[H(m_hwnd)] = this;
}

LayeredWindowNative::~LayeredWindowNative() {
    if (!m_hwnd) return;
    Windows().erase(H(m_hwnd));
    SetWindowLongPtrW(H(m_hwnd), GWLP_USERDATA, 0);
    DestroyWindow(H(m_hwnd));
    for (void* icon : m_icons)
        if (icon) DestroyIcon(static_cast<HICON>(icon));
}

LayeredWindowNative* LayeredWindowNative::FromAnyHandle(NativeHandle handle) {
    for (HWND hwnd = H(handle); hwnd; hwnd = GetParent(hwnd)) {
        const auto found = Windows().find(hwnd);
        if (found != Windows().end()) return found->second;
        // An owned pop-up (edit panel, web panel) names its window as owner.
        if (HWND owner = GetWindow(hwnd, GW_OWNER); owner && !GetParent(hwnd)) {
            const auto byOwner = Windows().find(owner);
            if (byOwner != Windows().end()) return byOwner->second;
        }
    }
    return nullptr;
}

void LayeredWindowNative::SetTitle(const std::u16string& title) {
    SetWindowTextW(H(m_hwnd), Wide(title));
}

void LayeredWindowNative::SetIconResource(int id) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const int sizes[2][2] = {{GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)},
                             {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)}};
    for (int i = 0; i < 2; ++i) {
        HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, sizes[i][0], sizes[i][1], 0);
        if (!icon) continue;
        SendMessageW(H(m_hwnd), WM_SETICON, i == 0 ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        if (m_icons[i]) DestroyIcon(static_cast<HICON>(m_icons[i]));
        m_icons[i] = icon;
    }
}

void LayeredWindowNative::ShowWindow() {
    if (m_bShown) return;
    m_bShown = true;
    ::ShowWindow(H(m_hwnd), SW_SHOW);
    OnShown();
    if (!m_bFirstFrameReported && !m_composed.IsEmpty()) {
        m_bFirstFrameReported = true;
        RunSoon([this] { OnFirstFrame(); });
    }
}

void LayeredWindowNative::HideWindow() {
    if (!m_bShown) return;
    m_bShown = false;
    ::ShowWindow(H(m_hwnd), SW_HIDE);
    OnHidden();
}

void LayeredWindowNative::CloseWindow() {
    m_bEndModal = true;
    HideWindow();
}

void LayeredWindowNative::RunModal() {
    // Application-modal, as a dialog of the launcher is: the other skinned windows take no
    // input until this one closes.
    std::vector<HWND> disabled;
    for (const auto& [hwnd, window] : Windows()) {
        if (window != this && IsWindowEnabled(hwnd) && IsWindowVisible(hwnd)) {
            EnableWindow(hwnd, FALSE);
            disabled.push_back(hwnd);
        }
    }
    m_bEndModal = false;
    ModalStack().push_back(this);
    ShowWindow();
    ActivateNow();
    MSG msg;
    while (!m_bEndModal) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (PreTranslateSkinKey(&msg)) continue;
        if (TranslateWebPageKey(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ModalStack().pop_back();
    for (HWND hwnd : disabled)
        if (Windows().count(hwnd)) EnableWindow(hwnd, TRUE);
    HideWindow();
    if (m_pOwner && m_pOwner->IsShown()) m_pOwner->ActivateNow();
}

bool LayeredWindowNative::IsShown() const {
    return m_bShown;
}

bool LayeredWindowNative::IsMinimised() const {
    return IsIconic(H(m_hwnd)) != FALSE;
}

void LayeredWindowNative::Minimise() {
    ::ShowWindow(H(m_hwnd), SW_MINIMIZE);
}

void LayeredWindowNative::RaiseWindow() {
    SetWindowPos(H(m_hwnd), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void LayeredWindowNative::ActivateNow() {
    SetForegroundWindow(H(m_hwnd));
    SetActiveWindow(H(m_hwnd));
}

Point LayeredWindowNative::ScreenOrigin() const {
    RECT rect{};
    GetWindowRect(H(m_hwnd), &rect);
    return {rect.left, rect.top};
}

Size LayeredWindowNative::WindowSize() const {
    return m_size;
}

void LayeredWindowNative::MoveTo(Point topLeft) {
    SetWindowPos(H(m_hwnd), nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayeredWindowNative::SetInitialSize(Size size) {
    m_size = size;
    SetWindowPos(H(m_hwnd), nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect LayeredWindowNative::ScreenArea() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return Rect(work.left, work.top, work.right - work.left, work.bottom - work.top);
}

void LayeredWindowNative::KeepModalAbovePanels() const {
    if (ModalStack().empty()) return;
    LayeredWindowNative* modal = ModalStack().back();
    if (modal != this && modal->IsShown()) modal->RaiseWindow();
}

void LayeredWindowNative::RunSoon(std::function<void()> work) {
    m_soon.push_back(std::move(work));
    PostMessageW(H(m_hwnd), kWmRunSoon, 0, 0);
}

void LayeredWindowNative::PresentComposed(const SkinImage& composed, const SkinImage&) {
    // Fully transparent pixels of a layered window are neither shown nor hit: no shape needed.
    m_composed = composed;
    if (m_size != composed.Extent()) {
        m_size = composed.Extent();
        SetWindowPos(H(m_hwnd), nullptr, 0, 0, m_size.width, m_size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PushToScreen();
    if (m_bShown && !m_bFirstFrameReported) {
        m_bFirstFrameReported = true;
        RunSoon([this] { OnFirstFrame(); });
    }
}

void LayeredWindowNative::PushToScreen() {
    if (m_composed.IsEmpty()) return;
    const int width = m_composed.Width();
    const int height = m_composed.Height();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as the picture's rows are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section && bits) {
        std::memcpy(bits, m_composed.Pixels(), static_cast<size_t>(width) * height * 4);
        HGDIOBJ previous = SelectObject(memory, section);
        RECT rect{};
        GetWindowRect(H(m_hwnd), &rect);
        POINT position{rect.left, rect.top};
        SIZE size{width, height};
        POINT source{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        UpdateLayeredWindow(H(m_hwnd), screen, &position, &size, memory, &source, 0, &blend, ULW_ALPHA);
        SelectObject(memory, previous);
    }
    if (section) DeleteObject(section);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

std::intptr_t LayeredWindowNative::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    HWND hwnd = H(m_hwnd);
    switch (message) {
        case kWmRunSoon: {
            std::vector<std::function<void()>> work;
            work.swap(m_soon);
            for (auto& step : work) step();
            return 0;
        }
        case WM_CLOSE:
            CloseWindow();
            return 0;
        case WM_MOVE:
            OnMoved();
            return 0;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED && !m_bMinimised) {
                m_bMinimised = true;
                OnHidden();
            } else if (wParam == SIZE_RESTORED && m_bMinimised) {
                m_bMinimised = false;
                PushToScreen();
                OnShown();
                OnRestored();
            }
            return 0;
        case WM_LBUTTONDOWN:
            if (m_bDragAnywhere) {
                // A press that no button took moves the window with the mouse.
                POINT cursor{};
                GetCursorPos(&cursor);
                const Point origin = ScreenOrigin();
                m_dragOffset = Point{cursor.x, cursor.y} - origin;
                m_bDragging = true;
                SetCapture(hwnd);
            }
            return 0;
        case WM_MOUSEMOVE:
            if (m_bDragging && (wParam & MK_LBUTTON)) {
                POINT cursor{};
                GetCursorPos(&cursor);
                MoveTo(Point{cursor.x, cursor.y} - m_dragOffset);
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (m_bDragging) {
                m_bDragging = false;
                if (message == WM_LBUTTONUP) ReleaseCapture();
            }
            return 0;
        case WM_KEYDOWN:
            if (KeyOf(wParam) != SkinKey::Other && OnKey(KeyOf(wParam))) return 0;
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- SkinButtonNative ----

SkinButtonNative::SkinButtonNative() = default;

SkinButtonNative::~SkinButtonNative() {
    if (!m_hwnd) return;
    SetWindowLongPtrW(H(m_hwnd), GWLP_USERDATA, 0);
    DestroyWindow(H(m_hwnd));
}

void SkinButtonNative::AttachTo(LayeredWindowNative* window) {
    RegisterClasses();
    if (!m_hwnd && window) {
        m_hwnd = CreateWindowExW(WS_EX_NOPARENTNOTIFY, kButtonClass, L"", WS_CHILD, m_place.x, m_place.y,
                                 m_place.width, m_place.height, H(window->Handle()), nullptr,
                                 GetModuleHandleW(nullptr), this);
    }
    // Where buttons overlap, the one created first takes the click: each new one goes under.
    if (m_hwnd) SetWindowPos(H(m_hwnd), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void SkinButtonNative::PlaceAt(const Rect& place) {
    m_place = place;
    if (m_hwnd) MoveWindow(H(m_hwnd), place.x, place.y, place.width, place.height, FALSE);
}

void SkinButtonNative::ShowInput() {
    m_bShown = true;
    if (m_hwnd) ::ShowWindow(H(m_hwnd), SW_SHOWNA);
}

void SkinButtonNative::HideInput() {
    m_bShown = false;
    if (m_hwnd) ::ShowWindow(H(m_hwnd), SW_HIDE);
}

std::intptr_t SkinButtonNative::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    HWND hwnd = H(m_hwnd);
    switch (message) {
        case WM_MOUSEMOVE:
            if (!m_bTracking) {
                // The leave is reported once the mouse has gone.
                TRACKMOUSEEVENT track{};
                track.cbSize = sizeof track;
                track.dwFlags = TME_LEAVE;
                track.hwndTrack = hwnd;
                m_bTracking = _TrackMouseEvent(&track) != FALSE;
            }
            OnPointerMove(LocalPoint(lParam));
            return 0;
        case WM_MOUSELEAVE:
            m_bTracking = false;
            OnPointerLeave();
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            SetCapture(hwnd);
            SetFocus(hwnd);
            OnLeftDown();
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == hwnd) ReleaseCapture();
            // The owner may delete this button from the click: nothing of it after this call.
            OnLeftUp(LocalPoint(lParam));
            return 0;
        case WM_KEYDOWN: {
            const bool plain = GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0;
            if (OnKeyDown(KeyOf(wParam), plain, (lParam & (1 << 30)) != 0)) return 0;
            break;
        }
        case WM_KEYUP:
            if (OnKeyUp(KeyOf(wParam), false)) return 0;
            break;
        case WM_KILLFOCUS:
            OnFocusLost();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            EndPaint(hwnd, &paint);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- edit boxes ----

namespace {
constexpr int kFieldBitmap = 162;
constexpr int kEditCellHeight = 18;
}  // namespace

SkinLineEdit::SkinLineEdit(SkinColour textColour, SkinEditPanel* panel) : m_colour(textColour) {
    m_hwnd = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 10, 10,
                             H(panel->Handle()), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!m_hwnd) return;
    SetWindowLongPtrW(H(m_hwnd), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SendMessageW(H(m_hwnd), WM_SETFONT, reinterpret_cast<WPARAM>(GetPropW(H(panel->Handle()), L"NbFont")), FALSE);
    panel->AddEdit(this);
}

SkinLineEdit::~SkinLineEdit() {
    if (m_hwnd) DestroyWindow(H(m_hwnd));
}

void SkinLineEdit::PlaceAt(const Rect& place) {
    MoveWindow(H(m_hwnd), place.x, place.y, place.width, place.height, TRUE);
}

void SkinLineEdit::SetPasswordMode() {
    SendMessageW(H(m_hwnd), EM_SETPASSWORDCHAR, L'*', 0);
}

std::string SkinLineEdit::GbkText() const {
    const int length = GetWindowTextLengthW(H(m_hwnd));
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    GetWindowTextW(H(m_hwnd), reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(static_cast<size_t>(length));
    return Utf16ToGbk(text);
}

void SkinLineEdit::ClearText() {
    SetWindowTextW(H(m_hwnd), L"");
}

void SkinLineEdit::FocusEdit() {
    SetFocus(H(m_hwnd));
}

SkinEditPanel::SkinEditPanel(LayeredWindowNative* owner) : m_pOwner(owner) {
    RegisterClasses();
    m_hwnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, kPanelClass, L"", WS_POPUP, 0, 0, 1, 1,
                             owner ? H(owner->Handle()) : nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!m_hwnd) return;
    // Everything of the key colour is see-through and lets clicks through to the window.
    SetLayeredWindowAttributes(H(m_hwnd), kColourKey, 0, LWA_COLORKEY);
    HBITMAP field = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kFieldBitmap), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (field) {
        m_fieldBrush = CreatePatternBrush(field);
        DeleteObject(field);
    }
    m_font = CreateFontW(kEditCellHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, Wide(kSkinFontFace));
    SetPropW(H(m_hwnd), L"NbFont", m_font);
}

SkinEditPanel::~SkinEditPanel() {
    if (m_hwnd) {
        RemovePropW(H(m_hwnd), L"NbFont");
        SetWindowLongPtrW(H(m_hwnd), GWLP_USERDATA, 0);
        DestroyWindow(H(m_hwnd));
    }
    if (m_fieldBrush) DeleteObject(static_cast<HBRUSH>(m_fieldBrush));
    if (m_font) DeleteObject(static_cast<HFONT>(m_font));
}

void SkinEditPanel::PlaceAt(const Rect& place) {
    m_place = place;
    const Point origin = m_pOwner ? m_pOwner->ScreenOrigin() : Point{};
    SetWindowPos(H(m_hwnd), nullptr, origin.x + place.x, origin.y + place.y, place.width, place.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void SkinEditPanel::ShowPanel() {
    m_bShown = true;
    PlaceAt(m_place);
    ::ShowWindow(H(m_hwnd), SW_SHOWNA);
}

void SkinEditPanel::HidePanel() {
    m_bShown = false;
    ::ShowWindow(H(m_hwnd), SW_HIDE);
}

void SkinEditPanel::ActivatePanel() {
    SetActiveWindow(H(m_hwnd));
}

void SkinEditPanel::SetTabOrder(SkinLineEdit* first, SkinLineEdit* second) {
    // The boxes are kept in creation order, which is the order the panels ask for.
    (void)first;
    (void)second;
}

NativeHandle SkinEditPanel::NextEdit(NativeHandle edit) const {
    for (size_t i = 0; i < m_edits.size(); ++i)
        if (m_edits[i]->Handle() == edit) return m_edits[(i + 1) % m_edits.size()]->Handle();
    return edit;
}

std::intptr_t SkinEditPanel::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    HWND hwnd = H(m_hwnd);
    switch (message) {
        case WM_ERASEBKGND: {
            RECT rect{};
            GetClientRect(hwnd, &rect);
            HBRUSH key = CreateSolidBrush(kColourKey);
            FillRect(reinterpret_cast<HDC>(wParam), &rect, key);
            DeleteObject(key);
            return 1;
        }
        case WM_CTLCOLOREDIT: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            auto* edit = reinterpret_cast<SkinLineEdit*>(GetWindowLongPtrW(reinterpret_cast<HWND>(lParam), GWLP_USERDATA));
            SetTextColor(dc, Rgb(edit ? edit->TextColour() : 0xFFFFFFFFu));
            SetBkMode(dc, TRANSPARENT);
            if (m_fieldBrush) return reinterpret_cast<std::intptr_t>(m_fieldBrush);
            break;
        }
        case WM_COMMAND:
            // Typing changes the line: let the field bitmap show behind all of it again.
            if (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == EN_UPDATE)
                InvalidateRect(reinterpret_cast<HWND>(lParam), nullptr, TRUE);
            return 0;
        case WM_MOUSEACTIVATE:
            return MA_ACTIVATE;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- timer, threads ----

namespace {
std::map<UINT_PTR, SkinTimer*>& Timers() {
    static std::map<UINT_PTR, SkinTimer*> timers;
    return timers;
}
void CALLBACK TimerTick(HWND, UINT, UINT_PTR id, DWORD) {
    const auto found = Timers().find(id);
    if (found != Timers().end()) found->second->Tick();
}
}  // namespace

SkinTimer::SkinTimer() = default;

SkinTimer::~SkinTimer() {
    Stop();
}

void SkinTimer::Start(int periodMs, std::function<void()> tick) {
    Stop();
    m_tick = std::move(tick);
    m_id = SetTimer(nullptr, 0, static_cast<UINT>(periodMs), &TimerTick);
    if (m_id) Timers()[m_id] = this;
}

void SkinTimer::Stop() {
    if (!m_id) return;
    KillTimer(nullptr, m_id);
    Timers().erase(m_id);
    m_id = 0;
}

UiThreadInvoker::UiThreadInvoker() : m_threadId(GetCurrentThreadId()) {
    RegisterClasses();
    m_hwnd = CreateWindowExW(0, kInvokerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
}

UiThreadInvoker::~UiThreadInvoker() {
    if (m_hwnd) DestroyWindow(H(m_hwnd));
}

bool UiThreadInvoker::OnUiThread() const {
    return GetCurrentThreadId() == m_threadId;
}

void UiThreadInvoker::PostToUiThread(std::function<void()> work) {
    auto* queued = new std::function<void()>(std::move(work));
    if (!m_hwnd || !PostMessageW(H(m_hwnd), kWmInvoke, 0, reinterpret_cast<LPARAM>(queued))) delete queued;
}

// ---- web panels ----

namespace {
constexpr SkinColour kUnavailableFill = 0xFF0B1024u;
constexpr SkinColour kUnavailableText = 0xFF8FA8C8u;
// "无法显示此网页"
constexpr const char kCannotShow[] = "\xCE\xDE\xB7\xA8\xCF\xD4\xCA\xBE\xB4\xCB\xCD\xF8\xD2\xB3";
constexpr int kMargin = 10;
// Where the page leaves the panel uncovered: fully transparent.
constexpr COLORREF kWebKey = RGB(255, 255, 0);
}  // namespace

WebPanel::WebPanel(LayeredWindowNative* owner, const WebPanelLayout& layout, const std::string& url)
    : m_pOwner(owner), m_layout(layout), m_url(SkinTextFromGbk(url)) {
    RegisterClasses();
    m_hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kWebClass, L"", WS_POPUP, 0, 0, layout.size.width,
                             layout.size.height, owner ? H(owner->Handle()) : nullptr, nullptr,
                             GetModuleHandleW(nullptr), this);
}

WebPanel::~WebPanel() {
    win32::CloseWebBrowser(m_pBrowser);
    m_pBrowser = nullptr;
    if (!m_hwnd) return;
    SetWindowLongPtrW(H(m_hwnd), GWLP_USERDATA, 0);
    DestroyWindow(H(m_hwnd));
}

bool WebPanel::BrowserAvailable() {
    return win32::HtmlEngineAvailable();
}

void WebPanel::FollowOwner(Point ownerOrigin) {
    const Point at = ownerOrigin + m_layout.offset;
    SetWindowPos(H(m_hwnd), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WebPanel::ShowPanel() {
    m_bShown = true;
    Navigate();
    // On top as it appears: a panel shown after its owner was raised (the login page's
    // announcement) would otherwise stay where it was made, under the owner.
    SetWindowPos(H(m_hwnd), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void WebPanel::HidePanel() {
    m_bShown = false;
    ::ShowWindow(H(m_hwnd), SW_HIDE);
}

void WebPanel::RaisePanel() {
    SetWindowPos(H(m_hwnd), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void WebPanel::Navigate() {
    // Once in the panel's life: the page is never reloaded.
    if (m_bNavigated || !m_hwnd) return;
    m_bNavigated = true;
    const Rect& control = m_layout.controlRect;
    const RECT rect{control.x, control.y, control.x + control.width, control.y + control.height};
    m_pBrowser = win32::OpenWebBrowser(H(m_hwnd), rect, m_url);
    if (m_pBrowser) {
        // The page takes clicks and keys like any window; where it leaves the panel
        // uncovered, the key colour lets the owner's picture show through.
        HWND hwnd = H(m_hwnd);
        SetWindowLongPtrW(hwnd, GWL_EXSTYLE,
                          (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & ~WS_EX_NOACTIVATE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(hwnd, kWebKey, 0, LWA_COLORKEY);
    }
    InvalidateRect(H(m_hwnd), nullptr, TRUE);
}

bool WebPanel::TranslatePageKey(void* message) {
    return win32::TranslateWebBrowserKey(m_pBrowser, static_cast<MSG*>(message));
}

std::intptr_t WebPanel::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    HWND hwnd = H(m_hwnd);
    if (m_pBrowser) {
        switch (message) {
            case WM_ERASEBKGND: {
                RECT client;
                GetClientRect(hwnd, &client);
                HBRUSH key = CreateSolidBrush(kWebKey);
                FillRect(reinterpret_cast<HDC>(wParam), &client, key);
                DeleteObject(key);
                return 1;
            }
            case WM_CTLCOLORSCROLLBAR:
            case WM_CTLCOLORDLG: {
                static HBRUSH key = CreateSolidBrush(kWebKey);
                return reinterpret_cast<std::intptr_t>(key);
            }
            default:
                return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd, &paint);
            {
                Gdiplus::Graphics g(dc);
                g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
                Gdiplus::SolidBrush fill(GdiColour(kUnavailableFill));
                g.FillRectangle(&fill, 0, 0, m_layout.size.width, m_layout.size.height);
                Gdiplus::SolidBrush ink(GdiColour(kUnavailableText));
                const Gdiplus::REAL width = static_cast<Gdiplus::REAL>(m_layout.size.width - 2 * kMargin);
                Gdiplus::Font title(SkinFontFamily(), 14, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
                const std::u16string note = SkinTextFromGbk(kCannotShow);
                Gdiplus::RectF box(kMargin, kMargin, width, 60);
                Gdiplus::RectF used;
                g.MeasureString(reinterpret_cast<const WCHAR*>(note.c_str()), -1, &title, box, &used);
                g.DrawString(reinterpret_cast<const WCHAR*>(note.c_str()), -1, &title, box, nullptr, &ink);
                Gdiplus::Font small(SkinFontFamily(), 12, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
                Gdiplus::RectF address(kMargin, kMargin + used.Height + 6, width,
                                       static_cast<Gdiplus::REAL>(m_layout.size.height));
                g.DrawString(reinterpret_cast<const WCHAR*>(m_url.c_str()), -1, &small, address, nullptr, &ink);
            }
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- application, system services ----

SkinApplication::SkinApplication(int&, char**) {
    // The web panels' browser control is an OLE object of this thread's apartment.
    m_bOle = SUCCEEDED(OleInitialize(nullptr));
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) m_gdiplusToken = token;
}

SkinApplication::~SkinApplication() {
    if (m_gdiplusToken) Gdiplus::GdiplusShutdown(m_gdiplusToken);
    if (m_bOle) OleUninitialize();
}

void OpenUrlInDefaultBrowser(const std::u16string& url) {
    ShellExecuteW(nullptr, L"open", Wide(url), nullptr, nullptr, SW_SHOWNORMAL);
}

void RunSystemBox(const std::u16string& text, const std::u16string& caption) {
    MessageBoxW(nullptr, Wide(text), Wide(caption), MB_OK);
}

}  // namespace nb
