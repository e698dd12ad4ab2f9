#include <windows.h>

#include <vector>

#include "platform/SystemPaths.h"
#include "platform/WideText_win32.h"

namespace nb::platform::detail {
namespace {

// HKEY_LOCAL_MACHINE itself, as the launcher's installation record has always been kept.
class RegistrySettings final : public SystemSettingsStore {
public:
    bool KeyExists(const std::string& key) override {
        HKEY handle = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
            return false;
        }
        ::RegCloseKey(handle);
        return true;
    }

    bool CreateKey(const std::string& key) override {
        HKEY handle = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        ::RegCloseKey(handle);
        return true;
    }

    bool ReadString(const std::string& key, const std::string& name, std::string& value) override {
        HKEY handle = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
            return false;
        }
        const std::wstring wideName = win32::Widen(name);
        bool ok = false;
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(handle, wideName.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
            DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
            if (::RegQueryValueExW(handle, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                   &got) == ERROR_SUCCESS) {
                // A stored value need not end in a terminator; one that does ends there.
                std::wstring_view text(buffer.data(), got / sizeof(wchar_t));
                if (auto end = text.find(L'\0'); end != std::wstring_view::npos) text = text.substr(0, end);
                value = win32::Narrow(text);
                ok = true;
            }
        }
        ::RegCloseKey(handle);
        return ok;
    }

    bool WriteString(const std::string& key, const std::string& name, const std::string& value) override {
        HKEY handle = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const std::wstring wide = win32::Widen(value);
        const DWORD bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
        const bool ok = ::RegSetValueExW(handle, win32::Widen(name).c_str(), 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(wide.c_str()), bytes) == ERROR_SUCCESS;
        ::RegCloseKey(handle);
        return ok;
    }
};

}  // namespace

SystemSettingsStore* SystemSettings() {
    static RegistrySettings store;
    return &store;
}

}  // namespace nb::platform::detail
