#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nb::platform {

// The temporary file a resumable transfer appends to: opened for reading and writing,
// created when missing, never truncated on open (its length is the resume point), and held
// against a second launcher appending to it at the same time. Writes are buffered; Close
// says whether every byte reached the file.
class HttpPartFile {
public:
    enum class OpenResult {
        Opened,
        InUse,   // another process holds it
        Failed,  // it cannot be opened or created
    };

    HttpPartFile();
    ~HttpPartFile();
    HttpPartFile(const HttpPartFile&) = delete;
    HttpPartFile& operator=(const HttpPartFile&) = delete;

    OpenResult Open(const std::string& path);
    // Its length when it was opened, less what Discard dropped, plus what was appended.
    uint64_t Size() const;
    bool Append(const char* data, size_t size);
    // Writes the buffered bytes, so that a reader of the file sees all of them.
    bool Flush();
    // Drops every byte: the file is empty and the next Append writes at its start.
    bool Discard();
    bool Close();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace nb::platform
