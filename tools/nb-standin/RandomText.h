#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace nbstandin {

// Random choices for session ids, codes, keys and picture noise; one generator per thread,
// seeded from the system's entropy source.
std::string RandomText(size_t length, std::string_view alphabet);
uint32_t RandomBelow(uint32_t bound);

}  // namespace nbstandin
