#pragma once
#include <cstdint>
#include <string>

#include "app/LauncherContext.h"

namespace nb {

// What the update window shows of the patch cycle at one moment, computed from one reading
// of the worker's state and progress values. Kept apart from the window so that the texts
// and the bar are checked without drawing.
struct UpdateProgressReading {
    int32_t state = 0;
    float downTotal = 0.0f;
    float downDone = 0.0f;
    float unzipTotal = 0.0f;
    float unzipDone = 0.0f;
};

struct UpdateProgress {
    std::string text;       // line 2, code page 936
    float fraction = 0.0f;  // 0 ... 1
};

inline constexpr int kProgressFillWidth = 402;

// Downloading (state 3): message 28, the kilobytes expected ("%dK,"), message 29, the kilobytes
// held ("%dK"). Extracting (state 2): message 30, the percentage rounded ("%0.0f ") and "%".
// Repairing (state 4): message 42, files checked "/" all files, two blanks, message 43 and the
// kilobytes fetched; the bar follows the check, then the fetch.
// Any other state: no text, and the bar stays at `lastFraction`. A fraction that is not a
// number, negative or infinite (a total still 0) counts as 0; one above 1 (more bytes than
// announced) as 1, so the bar never runs past its frame.
UpdateProgress ComputeUpdateProgress(const UpdateProgressReading& reading, float lastFraction,
                                     const MessageTable& messages);

// Line 1: message 16, ": <installed build>", a blank and the published version.
std::string UpdateVersionLine(const std::string& label, int32_t localBuild, const std::string& serverVersion);

// The width of the progress fill: trunc(402 x fraction).
int ProgressBarWidth(float fraction);

// Reads the shared values once, in the order the worker writes them.
UpdateProgressReading ReadUpdateProgress(const LauncherContext& context);

}  // namespace nb
