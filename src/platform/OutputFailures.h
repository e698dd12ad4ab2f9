#pragma once

namespace nb::platform {

// Makes a failing write an error the writer sees instead of the end of the process: a trace
// line to a standard error whose reader has gone, or a file that reaches the size limit, must
// fail that one write and let the launcher go on. Called once, first thing at start.
void KeepRunningWhenOutputFails();

}  // namespace nb::platform
