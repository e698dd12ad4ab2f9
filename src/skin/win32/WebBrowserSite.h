#pragma once
// The WebBrowser control inside a web panel, and everything the control asks of its host: the
// OLE client and in-place sites, the in-place frame, the host's UI handler (the panel's rules
// for Enter and Escape) and the sink of its events (a page's new window goes to the default
// browser, web addresses only).
#include <string>

#include "skin/win32/Win32Skin.h"

namespace nb::win32 {

class WebBrowserSite;

// Whether the system can show web pages in a panel at all: the control's HTML engine can be
// made (a Wine without one, or with it switched off, cannot).
bool HtmlEngineAvailable();

// The control as a child of `panel` over `rect` (the panel's client coordinates), navigated
// to `url`; nullptr when it cannot be created, the panel then says that the page cannot be
// shown. Released with CloseWebBrowser.
WebBrowserSite* OpenWebBrowser(HWND panel, const RECT& rect, const std::u16string& url);
void CloseWebBrowser(WebBrowserSite* site);

// Keys for the page (Tab between its links, the arrows, copy) go through the control's own
// accelerators before the message is dispatched; true when the control took the message.
bool TranslateWebBrowserKey(WebBrowserSite* site, MSG* message);

}  // namespace nb::win32
