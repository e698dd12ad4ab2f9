#include "skin/win32/WebBrowserSite.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>
#include <ole2.h>

#include "SkinNative.h"
#include "skin/SkinSystem.h"

namespace nb {
bool PreTranslateSkinKey(void* message);
}

namespace nb::win32 {

namespace {

// The control's HTML engine. libuuid lacks it, so it is spelled here.
constexpr CLSID kHtmlDocument = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

template <class Interface>
void ReleaseAndClear(Interface*& object) {
    if (object) object->Release();
    object = nullptr;
}

}  // namespace

// One COM object answers every interface the control asks its host for. The panel holds the
// first reference; the control holds others while it is alive, so the object outlives a
// call from the control that ends in the panel's destruction.
class WebBrowserSite final : public IOleClientSite,
                             public IOleInPlaceSite,
                             public IOleInPlaceFrame,
                             public IDocHostUIHandler,
                             public IDispatch {
public:
    WebBrowserSite(HWND panel, const RECT& rect) : m_panel(panel), m_rect(rect) {}

    bool Open(const std::u16string& url);
    void Close();
    bool TranslateKey(MSG* message);

    // ---- IUnknown ----
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            *object = static_cast<IOleClientSite*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
            *object = static_cast<IOleInPlaceSite*>(this);
        } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
            *object = static_cast<IOleInPlaceFrame*>(this);
        } else if (iid == IID_IDocHostUIHandler) {
            *object = static_cast<IDocHostUIHandler*>(this);
        } else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
            *object = static_cast<IDispatch*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

    // ---- IOleClientSite ----
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // ---- IOleWindow (for the in-place site and the frame alike) ----
    STDMETHODIMP GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = m_panel;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // ---- IOleInPlaceSite ----
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (frame) {
            *frame = static_cast<IOleInPlaceFrame*>(this);
            AddRef();
        }
        if (document) *document = nullptr;
        if (position) *position = m_rect;
        if (clip) *clip = m_rect;
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = m_panel;
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT position) override {
        // The place is the panel's: the control may ask, it keeps the table's rectangle.
        (void)position;
        if (m_inPlace) m_inPlace->SetObjectRects(&m_rect, &m_rect);
        return S_OK;
    }

    // ---- IOleInPlaceUIWindow, IOleInPlaceFrame: a frame without menus, tools or status ----
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }  // the frame's and the UI handler's
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // ---- IDocHostUIHandler ----
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_FALSE; }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
        if (!info || info->cbSize < sizeof(DOCHOSTUIINFO)) return E_INVALIDARG;
        info->dwFlags = 0;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override {
        return S_OK;
    }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG message, const GUID*, DWORD) override {
        // The panel's rules (Escape swallowed, Enter to the owner) run in the message loop
        // before the control sees a key; a key the control is handed from there was not
        // taken, and must not reach the owner twice.
        if (m_bInLoopTranslation || !message) return S_FALSE;
        return PreTranslateSkinKey(message) ? S_OK : S_FALSE;
    }
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) override {
        if (key) *key = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** target) override {
        if (target) *target = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetExternal(IDispatch** external) override {
        if (external) *external = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
        if (out) *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) override {
        if (out) *out = nullptr;
        return S_FALSE;
    }

    // ---- IDispatch: the control's events ----
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id != DISPID_NEWWINDOW2 && id != DISPID_NEWWINDOW3) return S_OK;
        // The arguments come last first: NewWindow3 is (window, cancel, flags, context, url),
        // NewWindow2 only (window, cancel) and names no address.
        if (!params || params->cArgs < 2) return S_OK;
        VARIANT& cancel = params->rgvarg[params->cArgs - 2];
        if (cancel.vt == (VT_BYREF | VT_BOOL) && cancel.pboolVal) *cancel.pboolVal = VARIANT_TRUE;
        if (id == DISPID_NEWWINDOW3 && params->cArgs >= 5) {
            const VARIANT& url = params->rgvarg[0];
            if (url.vt == VT_BSTR && url.bstrVal) {
                const std::u16string address(reinterpret_cast<const char16_t*>(url.bstrVal), SysStringLen(url.bstrVal));
                if (IsWebAddress(address)) OpenUrlInDefaultBrowser(address);
            }
        }
        return S_OK;
    }

private:
    ~WebBrowserSite() = default;

    HWND m_panel;
    RECT m_rect;
    ULONG m_references = 1;
    IOleObject* m_object = nullptr;
    IOleInPlaceObject* m_inPlace = nullptr;
    IOleInPlaceActiveObject* m_active = nullptr;
    IWebBrowser2* m_browser = nullptr;
    IConnectionPoint* m_events = nullptr;
    DWORD m_eventsCookie = 0;
    bool m_bInLoopTranslation = false;
};

bool WebBrowserSite::Open(const std::u16string& url) {
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&m_object)))) {
        return false;
    }
    if (FAILED(m_object->SetClientSite(static_cast<IOleClientSite*>(this)))) return false;
    OleSetContainedObject(m_object, TRUE);
    RECT place = m_rect;
    if (FAILED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, m_panel,
                                &place))) {
        return false;
    }
    if (FAILED(m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser)))) return false;
    if (SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlace))))
        m_inPlace->SetObjectRects(&m_rect, &m_rect);
    m_object->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&m_active));
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
        if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_events)) &&
            FAILED(m_events->Advise(static_cast<IDispatch*>(this), &m_eventsCookie))) {
            ReleaseAndClear(m_events);
        }
        container->Release();
    }
    // Pages only display: no dialogs of their own over the launcher, nothing dropped on them.
    m_browser->put_Silent(VARIANT_TRUE);
    m_browser->put_RegisterAsDropTarget(VARIANT_FALSE);
    BSTR address = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(url.data()), static_cast<UINT>(url.size()));
    if (!address) return false;
    const HRESULT navigated = m_browser->Navigate(address, nullptr, nullptr, nullptr, nullptr);
    SysFreeString(address);
    return SUCCEEDED(navigated);
}

void WebBrowserSite::Close() {
    if (m_events) {
        m_events->Unadvise(m_eventsCookie);
        ReleaseAndClear(m_events);
    }
    if (m_browser) m_browser->Stop();
    if (m_inPlace) m_inPlace->InPlaceDeactivate();
    ReleaseAndClear(m_active);
    ReleaseAndClear(m_inPlace);
    ReleaseAndClear(m_browser);
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
        ReleaseAndClear(m_object);
    }
}

bool WebBrowserSite::TranslateKey(MSG* message) {
    if (!m_active) return false;
    m_bInLoopTranslation = true;
    const bool taken = m_active->TranslateAccelerator(message) == S_OK;
    m_bInLoopTranslation = false;
    return taken;
}

bool HtmlEngineAvailable() {
    static const bool available = [] {
        IUnknown* document = nullptr;
        if (FAILED(CoCreateInstance(kHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&document)))) {
            return false;
        }
        document->Release();
        return true;
    }();
    return available;
}

WebBrowserSite* OpenWebBrowser(HWND panel, const RECT& rect, const std::u16string& url) {
    if (!HtmlEngineAvailable()) return nullptr;
    auto* site = new WebBrowserSite(panel, rect);
    if (!site->Open(url)) {
        CloseWebBrowser(site);
        return nullptr;
    }
    return site;
}

void CloseWebBrowser(WebBrowserSite* site) {
    if (!site) return;
    site->Close();
    site->Release();
}

bool TranslateWebBrowserKey(WebBrowserSite* site, MSG* message) {
    return site && site->TranslateKey(message);
}

}  // namespace nb::win32
