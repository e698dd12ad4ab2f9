#pragma once

namespace nb::platform {

void SleepMilliseconds(unsigned milliseconds);

// Called (on the sleeping thread) before each SleepMilliseconds, when set; lets a test see
// that an idling loop has gone round without guessing how long that takes.
using SleepObserver = void (*)(unsigned milliseconds);
void SetSleepObserver(SleepObserver observer);

}  // namespace nb::platform
