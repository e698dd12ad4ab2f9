#include "skin/SkinSystem.h"

namespace nb {

bool IsWebAddress(const std::u16string& url) {
    for (const std::u16string scheme : {u"http://", u"https://"}) {
        if (url.size() <= scheme.size()) continue;
        bool same = true;
        for (size_t i = 0; i < scheme.size() && same; ++i) {
            const char16_t c = url[i];
            same = (c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c) == scheme[i];
        }
        if (same) return true;
    }
    return false;
}

}  // namespace nb
