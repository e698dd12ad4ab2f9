#pragma once

namespace nb::platform {

void SleepMilliseconds(unsigned milliseconds);

}  // namespace nb::platform
