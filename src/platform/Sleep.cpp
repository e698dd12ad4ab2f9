#include "platform/Sleep.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace nb::platform {
namespace {
std::atomic<SleepObserver> g_observer{nullptr};
}  // namespace

void SetSleepObserver(SleepObserver observer) { g_observer.store(observer); }

void SleepMilliseconds(unsigned milliseconds) {
    if (SleepObserver observer = g_observer.load()) observer(milliseconds);
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace nb::platform
