#pragma once
#include <cstdint>
#include <string>

namespace nb::platform {

// The bytes this process may still write on the file system that holds folder (what an
// ordinary user gets, not the part the system keeps for itself); false when it cannot be
// learned.
bool QueryFreeSpace(const std::string& folder, uint64_t& bytes);

// The size of the regular file at path, a link not followed; false when there is none.
bool GetRegularFileSize(const std::string& path, uint64_t& size);

}  // namespace nb::platform
