#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ByteSource.h"

namespace nb::platform {

bool FileExists(const std::string& path);

// Removes a file; true when none is there afterwards.
bool RemoveFile(const std::string& path);

// Copies a file over an existing one; the copy keeps the source's permission bits
// (the relaunched copy of the launcher must stay executable).
bool CopyFileOverwrite(const std::string& from, const std::string& to);

// Replaces a file's whole content so that a crash leaves either the old or the new
// content: write a temporary file beside it, flush it to disk, rename it over the old one.
// The file's permission bits are kept when it already exists.
bool ReplaceFileAtomically(const std::string& path, std::string_view content);

// Renames `from` to `to`, replacing a file already there under that name. False when the
// rename failed; both files are then as they were.
bool RenameReplacing(const std::string& from, const std::string& to);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content);

// ---- What extracting an archive needs ----

// The working folder, without a trailing separator; empty when it cannot be read.
std::string CurrentFolder();

// A regular file opened for reading at any offset; null when it is missing, unreadable or
// not a regular file. The handle is not inherited by programs started later.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);

bool IsFolder(const std::string& path);

// Creates one folder (its parent must exist); false when it cannot be made.
bool MakeFolder(const std::string& path);

// The Unix permission bits (07777) of the regular file at path, a link not followed;
// false when there is no regular file there. Where the system has no such bits, a
// read-only file gives 0444 and any other 0644.
bool GetFileMode(const std::string& path, uint32_t& mode);

// What a replacement file carries besides its bytes.
struct FileStamp {
    uint32_t attributes = 0;  // archive attribute bits: read-only 0x01, hidden 0x02, system 0x04, archive 0x20
    uint32_t mode = 0644;     // Unix permission bits, where the system has them
    uint64_t accessTime = 0;  // file times: 100 ns units since 1601-01-01 UTC
    uint64_t writeTime = 0;
    uint64_t createTime = 0;  // where the system keeps one
};

// A new file for `path`, written under a temporary name beside it and renamed over it only
// when complete. Whoever has the old file open or mapped (a running program, a loaded
// library) keeps reading the old bytes, and a failure or a crash never leaves a partly
// written file under the final name. The temporary name is `path` + kReplacementSuffix;
// whatever a killed run left there is removed first, so it cannot get in the way.
// A read-only or linked file at `path` is replaced (the link itself, never its target);
// a folder there makes Create fail.
class ReplacementFile {
public:
    static constexpr const char* kReplacementSuffix = ".nb~";

    ReplacementFile() = default;
    ~ReplacementFile();  // discards a file that was not committed
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    bool Create(const std::string& path);
    bool Write(const void* data, size_t size);
    // Sets the stamp, closes the file and renames it into place; on failure the temporary
    // file is removed and `path` is as it was.
    bool Commit(const FileStamp& stamp);
    void Discard();
    // What the system said when Create, Write or Commit last failed, for the trace log.
    const std::string& Error() const { return m_error; }

private:
    std::string m_path;
    std::string m_temp;
    std::string m_error;
    intptr_t m_handle = -1;
};

// Makes everything written so far under folder durable (contents and renames), so that
// it can be recorded as installed.
bool FlushFileSystem(const std::string& folder);

}  // namespace nb::platform
