#pragma once
#include <string>

namespace nb {

// The few services of the window system the windows need besides windows; each backend
// provides them.

// Whether a page may send `url` to the default browser: a web address (http or https, in any
// case, with something after "//"), never a local file, a script or a program registered for
// some other scheme.
bool IsWebAddress(const std::u16string& url);

// Opens a web address (UTF-16) in the user's default browser.
void OpenUrlInDefaultBrowser(const std::u16string& url);

// The plain system message box: one OK button, no owner; returns when it is dismissed.
void RunSystemBox(const std::u16string& text, const std::u16string& caption);

}  // namespace nb
