#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "TestPaths.h"

namespace nb::test {

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(std::move(name));
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadTextFile(const std::string& path) { return ReadFile(path); }

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

void SetFileMode(const std::string& path, unsigned mode) { ::chmod(path.c_str(), static_cast<mode_t>(mode)); }

// The download's own temporary file is locked the same way while it is written.
ScopedWriteHold::ScopedWriteHold(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX) != 0) {
        ::close(fd);
        return;
    }
    m_handle = reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

ScopedWriteHold::~ScopedWriteHold() {
    if (m_handle) ::close(static_cast<int>(reinterpret_cast<intptr_t>(m_handle) - 1));
}

void InstallArgumentRecorder(const std::string& path, const std::string& record) {
    WriteFile(path,
              "#!/bin/sh\n"
              "out=\"$(dirname \"$0\")/" +
                  record +
                  "\"\n"
                  "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.part.$$\"\n"
                  "mv \"$out.part.$$\" \"$out\"\n");
    ::chmod(path.c_str(), 0755);
}

}  // namespace nb::test
