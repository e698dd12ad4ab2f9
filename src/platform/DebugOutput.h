#pragma once

namespace nb::platform {

// The debugger output channel of the original platform; standard error here.
void DebugOutput(const char* text);

}  // namespace nb::platform
