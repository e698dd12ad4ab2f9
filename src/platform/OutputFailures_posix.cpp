#include "platform/OutputFailures.h"

#include <csignal>

namespace nb::platform {

void KeepRunningWhenOutputFails() {
    // The write then fails with EPIPE or EFBIG, which every writer here handles.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace nb::platform
