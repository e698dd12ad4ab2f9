#pragma once
#include <string>

namespace nb::platform {

// Full path of the running executable. False when the system cannot tell.
bool GetExecutablePath(std::string& path);

// Tests pretend the executable lives elsewhere; an empty path removes the override.
void SetExecutablePathOverride(const std::string& path);

// The platform's path separator, which also ends the installation folder.
inline constexpr char kPathSeparator = '/';

}  // namespace nb::platform
