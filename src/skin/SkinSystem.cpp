#include "skin/SkinSystem.h"

namespace nb {

bool IsWebAddress(const std::u16string& url) {
    std::u16string scheme;
    for (char16_t c : url) {
        if (c == u':') break;
        scheme += (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
    }
    if (scheme.size() == url.size()) return false;  // no scheme at all
    return (scheme == u"http" || scheme == u"https") && url.size() > scheme.size() + 3 &&
           url.compare(scheme.size(), 3, u"://") == 0;
}

}  // namespace nb
