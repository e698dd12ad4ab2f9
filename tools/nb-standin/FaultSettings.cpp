#include "FaultSettings.h"

#include <sstream>

#include "StandinOptions.h"

namespace nbstandin {

FaultSettings::FaultSettings(BodyFaults faults, std::map<std::string, int> statusByPath)
    : m_faults(std::move(faults)), m_statusByPath(std::move(statusByPath)) {}

int FaultSettings::StatusFor(const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_statusByPath.find(path);
    return it == m_statusByPath.end() ? 0 : it->second;
}

BodyFaults FaultSettings::TakeForFile(const std::string& path, uint64_t& generation) {
    std::lock_guard<std::mutex> lock(m_mutex);
    generation = m_generation;
    if (!m_faults.Any() || path.rfind(m_faults.pathPrefix, 0) != 0) return BodyFaults{};
    BodyFaults taken = m_faults;
    if (m_faults.times > 0 && --m_faults.times == 0) {
        BodyFaults cleared;
        cleared.pathPrefix = m_faults.pathPrefix;
        m_faults = cleared;
    }
    return taken;
}

bool FaultSettings::Apply(const std::multimap<std::string, std::string>& params, std::string& error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Validate everything before changing anything, so a bad query leaves the settings alone.
    BodyFaults faults = m_faults;
    std::map<std::string, int> statuses = m_statusByPath;
    if (params.count("reset")) {
        faults = BodyFaults{};
        statuses.clear();
    }
    auto number = [&](const char* key, int64_t min, int64_t& out) {
        auto it = params.find(key);
        if (it == params.end()) return true;
        int64_t value = 0;
        if (!ParseInt64(it->second, value) || value < min) {
            error = std::string("bad value for ") + key + ": " + it->second;
            return false;
        }
        out = value;
        return true;
    };
    int64_t ignore = faults.ignoreRange ? 1 : 0;
    int64_t reset = faults.reset ? 1 : 0;
    if (!number("ignore_range", 0, ignore) || !number("reset_cut", 0, reset) || !number("cut_after", -1, faults.cutAfter) ||
        !number("stall_after", -1, faults.stallAfter) || !number("rate", 0, faults.rate) ||
        !number("times", 0, faults.times)) {
        return false;
    }
    faults.ignoreRange = ignore != 0;
    faults.reset = reset != 0;
    if (auto it = params.find("prefix"); it != params.end()) faults.pathPrefix = it->second;
    if (auto it = params.find("status"); it != params.end()) {
        auto path = params.find("path");
        int64_t code = 0;
        if (path == params.end() || path->second.empty() || path->second[0] != '/' ||
            !ParseInt64(it->second, code) || (code != 0 && (code < 100 || code > 999))) {
            error = "status needs a code (100-999, 0 removes) and a path beginning with /";
            return false;
        }
        if (code == 0) {
            statuses.erase(path->second);
        } else {
            statuses[path->second] = static_cast<int>(code);
        }
    }
    m_faults = faults;
    m_statusByPath = statuses;
    ++m_generation;
    m_changed.notify_all();
    return true;
}

std::string FaultSettings::Describe() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::ostringstream out;
    out << "ignore_range=" << (m_faults.ignoreRange ? 1 : 0) << "\n"
        << "cut_after=" << m_faults.cutAfter << "\n"
        << "reset_cut=" << (m_faults.reset ? 1 : 0) << "\n"
        << "stall_after=" << m_faults.stallAfter << "\n"
        << "rate=" << m_faults.rate << "\n"
        << "prefix=" << m_faults.pathPrefix << "\n"
        << "times=" << m_faults.times << "\n";
    for (const auto& [path, code] : m_statusByPath) out << "status " << path << "=" << code << "\n";
    return out.str();
}

bool FaultSettings::Stall(uint64_t generation, const std::function<bool()>& clientGone) {
    // Woken by every change; the periodic look at the client frees the thread of a body
    // whose client gave up, so abandoned stalls do not use up the server's workers.
    constexpr auto kClientCheck = std::chrono::milliseconds(200);
    ++m_nStalled;
    bool gone = false;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_generation == generation && !m_stopping.load() && !gone) {
        if (m_changed.wait_for(lock, kClientCheck) == std::cv_status::timeout) {
            lock.unlock();
            gone = clientGone();
            lock.lock();
        }
    }
    --m_nStalled;
    return !gone && !m_stopping.load();
}

uint64_t FaultSettings::Generation() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_generation;
}

bool FaultSettings::SleepFor(std::chrono::microseconds duration) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, duration, [&] { return m_stopping.load(); });
    return !m_stopping.load();
}

void FaultSettings::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
}

}  // namespace nbstandin
