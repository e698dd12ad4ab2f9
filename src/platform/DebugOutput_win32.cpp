#include <windows.h>

#include "platform/DebugOutput.h"

namespace nb::platform {

// The narrow text goes as it is: a debugger shows it in the system's code page 936.
void DebugOutput(const char* text) { ::OutputDebugStringA(text); }

}  // namespace nb::platform
