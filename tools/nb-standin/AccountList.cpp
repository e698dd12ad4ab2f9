#include "AccountList.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "Md5Hex.h"
#include "StandinOptions.h"
#include "app/TextEncoding.h"

namespace nbstandin {

namespace {

constexpr int kFirstUserId = 100001;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Strict UTF-8 check (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t extra;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

// The byte forms a text of the file may reach the launcher in.
std::vector<std::string> Forms(const std::string& text) {
    std::vector<std::string> forms{text};
    if (!IsAscii(text) && IsValidUtf8(text)) {
        std::string gbk = nb::Utf8ToGbk(text);
        if (gbk != text) forms.push_back(gbk);
    }
    return forms;
}

}  // namespace

bool AccountList::Load(const std::string& path, std::string& error) {
    m_accounts.clear();
    if (path.empty()) return true;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the accounts file " + path;
        return false;
    }
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        first = false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string name, password;
        if (!(fields >> name) || name[0] == '#' || !(fields >> password)) continue;
        Account account;
        for (const std::string& form : Forms(name)) account.names.push_back(nb::GbkToLower(form));
        account.passwords = Forms(password);
        account.userId = kFirstUserId + static_cast<int>(m_accounts.size());
        std::string flag;
        while (fields >> flag) {
            int64_t number = 0;
            if (flag == "locked") {
                account.locked = true;
            } else if (flag.rfind("id=", 0) == 0 && ParseInt64(flag.substr(3), number)) {
                account.userId = static_cast<int>(number);
            } else if (flag.rfind("addiction=", 0) == 0) {
                account.addiction = flag.substr(10);
            }
        }
        m_accounts.push_back(std::move(account));
    }
    return true;
}

const Account* AccountList::Find(std::string_view name) const {
    std::string wanted = nb::GbkToLower(name);
    for (const Account& account : m_accounts) {
        if (std::find(account.names.begin(), account.names.end(), wanted) != account.names.end())
            return &account;
    }
    return nullptr;
}

bool AccountList::PasswordMatches(const Account& account, std::string_view digest) {
    return std::any_of(account.passwords.begin(), account.passwords.end(),
                       [&](const std::string& password) { return PasswordDigest(password) == digest; });
}

}  // namespace nbstandin
