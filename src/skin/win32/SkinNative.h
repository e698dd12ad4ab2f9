#pragma once
// The Win32 backend of the skin toolkit: the same classes and members as the Qt backend
// (qt/SkinNative.h), built on layered windows, GDI+ and the common controls. No Windows
// header appears here, so the windows' code never sees the Windows macros; window handles
// are kept as opaque pointers and converted in the implementation.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skin/SkinImage.h"
#include "skin/SkinTypes.h"

namespace nb {

using NativeHandle = void*;  // an HWND

// A borderless layered window (WS_EX_LAYERED) whose picture reaches the screen through
// UpdateLayeredWindow with per-pixel alpha: fully transparent pixels are neither shown nor
// clickable. A main window has a task-bar entry with the program icon and can be minimised.
class LayeredWindowNative {
public:
    LayeredWindowNative(LayeredWindowNative* owner, SkinWindowKind kind);
    virtual ~LayeredWindowNative();
    LayeredWindowNative(const LayeredWindowNative&) = delete;
    LayeredWindowNative& operator=(const LayeredWindowNative&) = delete;

    // ---- toolkit ----
    void SetTitle(const std::u16string& title);
    void SetIconResource(int id);
    void ShowWindow();
    void HideWindow();
    void CloseWindow();
    void RunModal();
    bool IsShown() const;
    bool IsMinimised() const;
    void Minimise();
    void RaiseWindow();
    void ActivateNow();
    Point ScreenOrigin() const;
    Size WindowSize() const;
    void MoveTo(Point topLeft);
    void SetInitialSize(Size size);
    void SetDragAnywhere(bool drag) { m_bDragAnywhere = drag; }
    static Rect ScreenArea();
    void KeepModalAbovePanels() const;
    LayeredWindowNative* OwnerWindow() const { return m_pOwner; }

    NativeHandle Handle() const { return m_hwnd; }
    // The window the key messages of `hwnd` (a child, an edit pop-up, a panel) belong to.
    static LayeredWindowNative* FromAnyHandle(NativeHandle hwnd);
    // Internal: the window procedure's entry.
    std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

protected:
    void RunSoon(std::function<void()> work);
    void PresentComposed(const SkinImage& composed, const SkinImage& background);

    // ---- hooks ----
    virtual void OnShown() {}
    virtual void OnHidden() {}
    virtual void OnMoved() {}
    virtual void OnRestored() {}
    virtual void OnFirstFrame() {}
    virtual bool OnKey(SkinKey) { return false; }

private:
    friend bool PreTranslateSkinKey(void* msg);
    void PushToScreen();

    NativeHandle m_hwnd = nullptr;
    LayeredWindowNative* m_pOwner;
    SkinWindowKind m_kind;
    SkinImage m_composed;
    Size m_size{1, 1};
    bool m_bShown = false;
    bool m_bMinimised = false;
    bool m_bDragAnywhere = false;
    bool m_bDragging = false;
    Point m_dragOffset;
    bool m_bEndModal = false;
    int m_nModalDepth = 0;
    bool m_bFirstFrameReported = false;
    std::vector<std::function<void()>> m_soon;
    void* m_icons[2] = {};  // large, small HICON
};

// An invisible input-only child window of one frame's size: mouse tracking through
// _TrackMouseEvent, capture while pressed, the hand cursor; it never paints.
class SkinButtonNative {
public:
    SkinButtonNative();
    virtual ~SkinButtonNative();
    SkinButtonNative(const SkinButtonNative&) = delete;
    SkinButtonNative& operator=(const SkinButtonNative&) = delete;

    // ---- toolkit ----
    void AttachTo(LayeredWindowNative* window);
    void PlaceAt(const Rect& place);
    Rect Place() const { return m_place; }
    void ShowInput();
    void HideInput();
    bool IsInputShown() const { return m_bShown; }

    NativeHandle Handle() const { return m_hwnd; }
    std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

protected:
    virtual void OnPointerMove(Point local) = 0;
    virtual void OnPointerLeave() = 0;
    virtual void OnLeftDown() = 0;
    virtual void OnLeftUp(Point local) = 0;
    virtual bool OnKeyDown(SkinKey key, bool plain, bool repeat) = 0;
    virtual bool OnKeyUp(SkinKey key, bool repeat) = 0;
    virtual void OnFocusLost() = 0;

private:
    NativeHandle m_hwnd = nullptr;
    Rect m_place;
    bool m_bShown = false;
    bool m_bTracking = false;
};

class SkinEditPanel;

// A single-line EDIT control on the edit-field bitmap, in the panel's colour and the window
// face; the text is read as code page 936 bytes.
class SkinLineEdit {
public:
    SkinLineEdit(SkinColour textColour, SkinEditPanel* panel);
    ~SkinLineEdit();
    SkinLineEdit(const SkinLineEdit&) = delete;
    SkinLineEdit& operator=(const SkinLineEdit&) = delete;

    void PlaceAt(const Rect& place);
    void SetPasswordMode();
    void SetName(const char* name) { m_name = name; }
    std::string GbkText() const;
    void ClearText();
    void FocusEdit();

    NativeHandle Handle() const { return m_hwnd; }
    SkinColour TextColour() const { return m_colour; }

private:
    NativeHandle m_hwnd = nullptr;
    SkinColour m_colour;
    std::string m_name;
};

// The edit boxes' pop-up over a skinned window: a layered pop-up owned by the window whose
// background is the colour key, so that only the boxes show over the window's picture.
class SkinEditPanel {
public:
    explicit SkinEditPanel(LayeredWindowNative* owner);
    virtual ~SkinEditPanel();
    SkinEditPanel(const SkinEditPanel&) = delete;
    SkinEditPanel& operator=(const SkinEditPanel&) = delete;

    void PlaceAt(const Rect& place);
    void ShowPanel();
    void HidePanel();
    bool IsPanelShown() const { return m_bShown; }
    void ActivatePanel();
    void SetTabOrder(SkinLineEdit* first, SkinLineEdit* second);

    NativeHandle Handle() const { return m_hwnd; }
    std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // The box after `edit` in the tab order (itself when there is none).
    NativeHandle NextEdit(NativeHandle edit) const;
    void AddEdit(SkinLineEdit* edit) { m_edits.push_back(edit); }

private:
    NativeHandle m_hwnd = nullptr;
    LayeredWindowNative* m_pOwner;
    Rect m_place;
    bool m_bShown = false;
    std::vector<SkinLineEdit*> m_edits;
    void* m_fieldBrush = nullptr;  // HBRUSH of the edit-field bitmap
    void* m_font = nullptr;        // HFONT
};

// A repeating timer of the user-interface thread (SetTimer); ticks are run by the message loop.
class SkinTimer {
public:
    SkinTimer();
    ~SkinTimer();
    SkinTimer(const SkinTimer&) = delete;
    SkinTimer& operator=(const SkinTimer&) = delete;
    void Start(int periodMs, std::function<void()> tick);
    void Stop();
    bool IsRunning() const { return m_id != 0; }
    void Tick() { if (m_tick) m_tick(); }

private:
    std::uintptr_t m_id = 0;
    std::function<void()> m_tick;
};

// Hands work from any thread to the user-interface thread through a message-only window.
class UiThreadInvoker {
public:
    UiThreadInvoker();
    virtual ~UiThreadInvoker();
    UiThreadInvoker(const UiThreadInvoker&) = delete;
    UiThreadInvoker& operator=(const UiThreadInvoker&) = delete;

protected:
    bool OnUiThread() const;
    void PostToUiThread(std::function<void()> work);

private:
    NativeHandle m_hwnd = nullptr;
    unsigned long m_threadId = 0;
};

// A borderless pop-up owned by its window that floats at a fixed offset over it and shows
// one web page. Where no HTML engine can be created (Wine without one) it says that the
// page cannot be shown, with the address.
namespace win32 {
class WebBrowserSite;
}

class WebPanel {
public:
    WebPanel(LayeredWindowNative* owner, const WebPanelLayout& layout, const std::string& url);
    virtual ~WebPanel();
    WebPanel(const WebPanel&) = delete;
    WebPanel& operator=(const WebPanel&) = delete;

    void FollowOwner(Point ownerOrigin);
    void ShowPanel();
    void HidePanel();
    void RaisePanel();
    bool IsPanelShown() const { return m_bShown; }
    void Navigate();

    const WebPanelLayout& Layout() const { return m_layout; }
    static bool PrepareBrowser() { return false; }
    static bool BrowserAvailable();

    NativeHandle Handle() const { return m_hwnd; }
    std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // A key message for the page, after the panel's own rules; true when the page took it.
    bool TranslatePageKey(void* message);

private:
    NativeHandle m_hwnd = nullptr;
    LayeredWindowNative* m_pOwner;
    WebPanelLayout m_layout;
    std::u16string m_url;
    bool m_bShown = false;
    bool m_bNavigated = false;
    win32::WebBrowserSite* m_pBrowser = nullptr;  // none where the page cannot be shown
};

// The application object of a run: GDI+ and COM for the life of the program.
class SkinApplication {
public:
    SkinApplication(int& argc, char** argv);
    ~SkinApplication();
    SkinApplication(const SkinApplication&) = delete;
    SkinApplication& operator=(const SkinApplication&) = delete;

private:
    std::uintptr_t m_gdiplusToken = 0;
    bool m_bOle = false;
};

}  // namespace nb
