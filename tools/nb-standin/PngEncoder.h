#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace nbstandin {

// A PNG file (8-bit RGBA, no interlace) of pixels given row by row as R, G, B, A bytes.
// Empty when the pixel count does not match or compression fails.
std::string EncodePngRgba(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba);

}  // namespace nbstandin
