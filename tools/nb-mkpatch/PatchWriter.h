#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "PatchFileList.h"

namespace nb::mkpatch {

// What the control member tells the launcher; finalVersion in code page 936.
struct PatchControl {
    int32_t buildFrom = 0;
    int32_t buildTo = 0;
    std::string finalVersion;
};

struct PatchStats {
    size_t written = 0;    // files in the archive besides the control member
    size_t unchanged = 0;  // files equal to the old build's, left out
    uint64_t bytesIn = 0;
    uint64_t bytesOut = 0;
};

// Writes a patch archive: the control member first, then the entries that differ from the
// old build, in the order given. Each item records the Unix host, its permission bits and
// its modification time (DOS time and an extended-timestamp block), so the launcher
// restores them. Files are compared and compressed on several threads; the archive is
// written in order on the calling thread, into a temporary file renamed at the end.
class PatchWriter {
public:
    int m_nLevel = 6;         // deflate level 0..9; 0 stores
    unsigned m_nThreads = 0;  // 0: one per processor
    // A full archive of a build is read by the repair, not applied: it has no control member.
    bool m_bControlMember = true;

    bool Write(const std::string& archivePath, const PatchControl& control,
               const std::vector<PatchEntry>& entries, PatchStats& stats);
    const std::string& Error() const { return m_error; }

private:
    std::string m_error;
};

}  // namespace nb::mkpatch
