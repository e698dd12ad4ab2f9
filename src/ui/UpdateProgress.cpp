#include "ui/UpdateProgress.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace nb {
namespace {

// A float truncated to an int, saturating instead of overflowing.
int TruncToInt(float value) {
    if (!(value > 0.0f)) return 0;  // negative or not a number
    if (value >= 2147483648.0f) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

float SaneFraction(float fraction) {
    if (!std::isfinite(fraction) || fraction < 0.0f) return 0.0f;
    return fraction > 1.0f ? 1.0f : fraction;
}

}  // namespace

UpdateProgress ComputeUpdateProgress(const UpdateProgressReading& reading, float lastFraction,
                                     const MessageTable& messages) {
    UpdateProgress progress;
    char number[64];
    switch (reading.state) {
        case kStateDownloadPatch: {
            std::snprintf(number, sizeof number, "%dK,", TruncToInt(reading.downTotal) / 1024);
            progress.text = messages[28] + number;
            std::snprintf(number, sizeof number, "%dK", TruncToInt(reading.downDone) / 1024);
            progress.text += messages[29] + number;
            progress.fraction = SaneFraction(reading.downDone / reading.downTotal);
            break;
        }
        case kStateApplyPatch: {
            progress.fraction = SaneFraction(reading.unzipDone / reading.unzipTotal);
            std::snprintf(number, sizeof number, "%0.0f ", progress.fraction * 100.0f);
            progress.text = messages[30] + number + "%";
            break;
        }
        case kStateRepair: {
            // Files checked of all, then the bytes fetched for the damaged ones.
            std::snprintf(number, sizeof number, "%d/%d", TruncToInt(reading.unzipDone),
                          TruncToInt(reading.unzipTotal));
            progress.text = messages[42] + number + "  ";
            std::snprintf(number, sizeof number, "%dK", TruncToInt(reading.downDone) / 1024);
            progress.text += messages[43] + number;
            progress.fraction = reading.downTotal > 0.0f ? SaneFraction(reading.downDone / reading.downTotal)
                                                         : SaneFraction(reading.unzipDone / reading.unzipTotal);
            break;
        }
        default:
            progress.fraction = SaneFraction(lastFraction);
            break;
    }
    return progress;
}

std::string UpdateVersionLine(const std::string& label, int32_t localBuild,
                              const std::string& serverVersion) {
    char number[32];
    std::snprintf(number, sizeof number, ": %d", localBuild);
    return label + number + " " + serverVersion;
}

int ProgressBarWidth(float fraction) {
    return static_cast<int>(static_cast<float>(kProgressFillWidth) * SaneFraction(fraction));
}

UpdateProgressReading ReadUpdateProgress(const LauncherContext& context) {
    UpdateProgressReading reading;
    reading.state = context.m_nUpdateState.load(std::memory_order_relaxed);
    reading.downTotal = context.m_fDownTotal.load(std::memory_order_relaxed);
    reading.downDone = context.m_fDownDone.load(std::memory_order_relaxed);
    reading.unzipTotal = context.m_fUnzipTotal.load(std::memory_order_relaxed);
    reading.unzipDone = context.m_fUnzipDone.load(std::memory_order_relaxed);
    return reading;
}

}  // namespace nb
