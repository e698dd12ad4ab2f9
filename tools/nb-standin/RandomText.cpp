#include "RandomText.h"

#include <random>

namespace nbstandin {

namespace {
std::mt19937& Engine() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return engine;
}
}  // namespace

uint32_t RandomBelow(uint32_t bound) {
    if (bound == 0) return 0;
    return std::uniform_int_distribution<uint32_t>(0, bound - 1)(Engine());
}

std::string RandomText(size_t length, std::string_view alphabet) {
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length; ++i)
        text.push_back(alphabet[RandomBelow(static_cast<uint32_t>(alphabet.size()))]);
    return text;
}

}  // namespace nbstandin
