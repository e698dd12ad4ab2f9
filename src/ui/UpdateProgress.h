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

// The download speed, smoothed, from the readings the window takes twice a second: an
// exponential moving average over about five seconds, so that one slow or fast moment (or a
// retry's pause) moves it gently. Nothing is estimated until three seconds of one transfer
// have been seen; a reading outside the download, before the first reply or with fewer
// bytes held than before (the file taken again from its start) begins anew.
class DownloadRateEstimate {
public:
    static constexpr double kSmoothingSeconds = 5.0;
    static constexpr double kWarmUpSeconds = 3.0;

    // One reading at `seconds` on a steady clock.
    void Sample(double seconds, const UpdateProgressReading& reading);
    // Bytes per second; 0 while there is no sensible estimate.
    double BytesPerSecond() const;

private:
    bool m_bStarted = false;
    double m_fStart = 0.0;
    double m_fLast = 0.0;
    float m_fStartDone = 0.0f;
    float m_fLastDone = 0.0f;
    double m_fRate = 0.0;
};

// The speed and time-left text, e.g. "2.4 MB/s  <left> 3:05" (KB/s below one MB/s; the time
// left as m:ss, or h:mm:ss from an hour on, rounded up). Only the speed when nothing is
// left to estimate; empty without a speed.
std::string DownloadSpeedText(double bytesPerSecond, float total, float done, const std::string& leftLabel);

}  // namespace nb
