#pragma once
#include <cstddef>
#include <cstdint>

namespace nb::platform {

// Bytes of something that can be read at any offset: a local file now, a file on a web
// server read with range requests later. The archive reader reads only through this, so
// it does not care where the archive is.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The total length in bytes.
    virtual uint64_t Size() const = 0;
    // Reads exactly size bytes at offset; false when they cannot all be read (past the end
    // included), with data then undefined.
    virtual bool ReadAt(uint64_t offset, void* data, size_t size) = 0;
};

}  // namespace nb::platform
