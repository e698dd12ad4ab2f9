#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace nbstandin {

// The verification picture: the code's digits drawn with a small built-in font on a noisy
// background, at the size the launcher shows it (68 x 28), as a PNG file.
class CodePicture {
public:
    static constexpr uint32_t kWidth = 68;
    static constexpr uint32_t kHeight = 28;

    // Characters other than 0-9 are left blank.
    static std::string RenderPng(std::string_view digits);
};

}  // namespace nbstandin
