#pragma once
#include <cstdarg>

namespace nb {

// The launcher's one diagnostic output: printf-style, cut to 1023 characters, sent to
// standard error and appended to "log1.txt" in the working folder (opened and closed on
// every call, so lines of two threads interleave call by call). Never fails the caller.
void TraceLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceLogV(const char* format, va_list args);

}  // namespace nb
