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

void DownloadRateEstimate::Sample(double seconds, const UpdateProgressReading& reading) {
    if (reading.state != kStateDownloadPatch || !(reading.downTotal > 0.0f) ||
        (m_bStarted && reading.downDone < m_fLastDone)) {
        m_bStarted = false;
        return;
    }
    if (!m_bStarted) {
        // The bytes a resumed file already held are no speed: the first reading is the base.
        m_bStarted = true;
        m_fStart = m_fLast = seconds;
        m_fStartDone = m_fLastDone = reading.downDone;
        m_fRate = 0.0;
        return;
    }
    const double elapsed = seconds - m_fLast;
    if (!(elapsed > 0.0)) return;
    if (seconds - m_fStart < kSmoothingSeconds) {
        // Until a whole smoothing period has passed, the plain average since the first
        // reading: a moving average begun from the first short interval would drag behind.
        m_fRate = static_cast<double>(reading.downDone - m_fStartDone) / (seconds - m_fStart);
    } else {
        // Readings come at uneven times (a redraw comes between two timer ticks): the weight
        // of each follows the time it covers.
        const double now = static_cast<double>(reading.downDone - m_fLastDone) / elapsed;
        m_fRate += (1.0 - std::exp(-elapsed / kSmoothingSeconds)) * (now - m_fRate);
    }
    m_fLast = seconds;
    m_fLastDone = reading.downDone;
}

double DownloadRateEstimate::BytesPerSecond() const {
    if (!m_bStarted || m_fLast - m_fStart < kWarmUpSeconds) return 0.0;
    return m_fRate;
}

std::string DownloadSpeedText(double bytesPerSecond, float total, float done, const std::string& leftLabel) {
    constexpr double kKilobyte = 1024.0;
    constexpr double kMegabyte = 1024.0 * 1024.0;
    // Beyond this the time left says nothing a player can use.
    constexpr double kLongestSecondsLeft = 100.0 * 3600.0;
    if (!(bytesPerSecond >= 1.0)) return {};
    char text[96];
    if (bytesPerSecond < kMegabyte) {
        std::snprintf(text, sizeof text, "%.0f KB/s", bytesPerSecond / kKilobyte);
    } else {
        std::snprintf(text, sizeof text, "%.1f MB/s", bytesPerSecond / kMegabyte);
    }
    std::string line = text;
    const double left = static_cast<double>(total) - static_cast<double>(done);
    if (!(left > 0.0)) return line;
    const double seconds = std::ceil(left / bytesPerSecond);
    if (seconds > kLongestSecondsLeft) return line;
    const long whole = static_cast<long>(seconds);
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return line + "  " + leftLabel + " " + text;
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
