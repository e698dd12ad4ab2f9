#pragma once
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace nb::mkpatch {

// One file that may go into a patch.
struct PatchEntry {
    std::string name;     // archive name: relative, '/'-separated
    std::string newPath;  // the file of the new build
    std::string oldPath;  // the same name in the old build when it is a file there (compare), else empty
    uint64_t size = 0;
    mode_t mode = 0;  // permission bits
    time_t mtime = 0;
};

// The files of a build folder, sorted by name. With an old folder, each entry that has a
// file of the same name, size and permissions there carries its path, so that the content
// comparison can drop it. Symbolic links to files count as the files they name; other
// links and special files are skipped with a warning.
class PatchFileList {
public:
    bool Collect(const std::string& newFolder, const std::string& oldFolder);

    const std::vector<PatchEntry>& Entries() const { return m_entries; }
    const std::vector<std::string>& Warnings() const { return m_warnings; }
    const std::string& Error() const { return m_error; }
    // Files of the old build that the new build no longer has (a patch cannot remove them).
    size_t RemovedCount() const { return m_removed; }

private:
    bool CheckName(const std::string& name);

    std::vector<PatchEntry> m_entries;
    std::vector<std::string> m_warnings;
    std::string m_error;
    size_t m_removed = 0;
};

}  // namespace nb::mkpatch
