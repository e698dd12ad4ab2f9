#pragma once
#include <chrono>
#include <vector>

namespace nbbench {

// Wall time of one measured step.
class BenchClock {
public:
    BenchClock() : m_start(std::chrono::steady_clock::now()) {}
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }
    void Restart() { m_start = std::chrono::steady_clock::now(); }

    // The median of a set of figures (the mean of the middle two for an even count).
    static double Median(std::vector<double> values);

private:
    std::chrono::steady_clock::time_point m_start;
};

}  // namespace nbbench
