#pragma once
// Only for the Windows implementation files of the platform layer.
#include <string>
#include <string_view>

namespace nb::platform::win32 {

// The narrow strings of the launcher are code page 936, whatever the system's ANSI code
// page is; the wide system calls get them converted here, and nowhere else.
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

}  // namespace nb::platform::win32
