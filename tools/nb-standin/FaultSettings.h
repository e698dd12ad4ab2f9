#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace nbstandin {

// Faults that file bodies can be given, to provoke the launcher's error paths.
struct BodyFaults {
    bool ignoreRange = false;      // answer 200 with the whole file even when a Range was asked for
    int64_t cutAfter = -1;         // close the connection after this many body bytes (-1: never)
    bool reset = false;            // the cut is a reset (RST), not an orderly close
    int64_t stallAfter = -1;       // send this many body bytes, then nothing until reconfigured (-1: never)
    int64_t rate = 0;              // body bytes per second (0: as fast as possible)
    std::string pathPrefix = "/";  // only files whose path begins with this
    int64_t times = 0;             // only the next n file responses they apply to (0: every one)

    bool Any() const { return ignoreRange || cutAfter >= 0 || stallAfter >= 0 || rate > 0; }
};

// The fault switches of a running server. They are read by every request and changed by
// the control path, so a test can reconfigure the server between (or during) transfers.
// Also the one place where body senders wait, so a stop wakes all of them at once.
class FaultSettings {
public:
    FaultSettings(BodyFaults faults, std::map<std::string, int> statusByPath);

    // A fixed status for this path, 0 when none.
    int StatusFor(const std::string& path) const;

    // The faults one file response gets; counts the response against `times`. `generation`
    // receives the settings' generation, for Stall.
    BodyFaults TakeForFile(const std::string& path, uint64_t& generation);

    // Changes the settings from the control path's query; every change releases stalls.
    bool Apply(const std::multimap<std::string, std::string>& params, std::string& error);
    std::string Describe() const;

    // Holds a stalled body until the settings change after `generation`, the server stops
    // or `clientGone` reports that nobody is waiting for the body any more. True when the
    // body may go on (the settings changed).
    bool Stall(uint64_t generation, const std::function<bool()>& clientGone);
    int StalledCount() const { return m_nStalled.load(); }
    uint64_t Generation() const;

    // Paces a slow body; false when the server is stopping.
    bool SleepFor(std::chrono::microseconds duration);

    void Stop();
    bool Stopping() const { return m_stopping.load(); }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    BodyFaults m_faults;
    std::map<std::string, int> m_statusByPath;
    uint64_t m_generation = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_nStalled{0};
};

}  // namespace nbstandin
