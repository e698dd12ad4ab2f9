#pragma once
#include <cstdint>
#include <string_view>

namespace nb {

// Decimal text as the C library's atoi reads it: leading white space, an optional sign,
// digits up to the first other character; no digits gives 0. Unlike atoi, a value beyond
// the 32-bit range saturates at INT32_MAX or INT32_MIN instead of being undefined.
int32_t AtoiSaturating(std::string_view text);

}  // namespace nb
