#include "platform/Sleep.h"

#include <chrono>
#include <thread>

namespace nb::platform {

void SleepMilliseconds(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace nb::platform
