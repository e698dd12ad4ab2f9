#pragma once
#include <cstdint>
#include <string_view>

namespace nbstandin {

// What one Range header asks of a file of a known size.
struct ByteRange {
    enum class Kind {
        kWhole,          // no usable Range: answer 200 with the whole file
        kPart,           // answer 206 with bytes first..last
        kUnsatisfiable,  // answer 416 with "bytes */size"
    };
    Kind kind = Kind::kWhole;
    uint64_t first = 0;
    uint64_t last = 0;

    // A header that is not a single byte range is ignored (the whole file is a valid answer
    // to it); a single range that starts at or beyond the end cannot be satisfied.
    static ByteRange Parse(std::string_view header, uint64_t size);
};

}  // namespace nbstandin
