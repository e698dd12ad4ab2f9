#pragma once
#include <string>
#include <string_view>

namespace nb::platform {

bool FileExists(const std::string& path);

// Copies a file over an existing one; the copy keeps the source's permission bits
// (the relaunched copy of the launcher must stay executable).
bool CopyFileOverwrite(const std::string& from, const std::string& to);

// Replaces a file's whole content so that a crash leaves either the old or the new
// content: write a temporary file beside it, flush it to disk, rename it over the old one.
// The file's permission bits are kept when it already exists.
bool ReplaceFileAtomically(const std::string& path, std::string_view content);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content);

}  // namespace nb::platform
