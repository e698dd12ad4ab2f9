#include "platform/DebugOutput.h"

#include <cstdio>

namespace nb::platform {

void DebugOutput(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
}

}  // namespace nb::platform
