#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace nb::platform {

// Full path of the running executable. False when the system cannot tell.
bool GetExecutablePath(std::string& path);

// Tests pretend the executable lives elsewhere; an empty path removes the override.
void SetExecutablePathOverride(const std::string& path);

// The platform's path separator, which also ends the installation folder.
extern const char kPathSeparator;

// The offset of the last folder separator of a path (code page 936 bytes), npos when it
// has none. A second byte of a double-byte character is never taken for a separator.
size_t LastPathSeparator(std::string_view path);

}  // namespace nb::platform
