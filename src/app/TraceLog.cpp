#include "app/TraceLog.h"

#include <cstdio>

#include "platform/DebugOutput.h"

namespace nb {

void TraceLogV(const char* format, va_list args) {
    char buffer[1024] = {};
    std::vsnprintf(buffer, sizeof buffer, format, args);  // keeps at most 1023 characters
    platform::DebugOutput(buffer);
    if (FILE* f = std::fopen("log1.txt", "a+")) {
        std::fputs(buffer, f);
        std::fclose(f);
    }
}

void TraceLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    TraceLogV(format, args);
    va_end(args);
}

}  // namespace nb
