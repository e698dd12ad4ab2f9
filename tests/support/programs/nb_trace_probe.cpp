// A launcher-like process for the tests: it sets up its process the way the launcher's main
// does, waits until its standard input ends (so a test can take its standard error away
// first), then writes trace lines into the folder given as its argument.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/TraceLog.h"
#include "platform/OutputFailures.h"

int main(int argc, char** argv) {
    nb::platform::KeepRunningWhenOutputFails();
    if (argc != 2) return 2;
    std::error_code error;
    std::filesystem::current_path(argv[1], error);
    if (error) return 3;
    while (std::fgetc(stdin) != EOF) {
    }
    for (int i = 0; i < 3; ++i) nb::TraceLog("line %d\n", i);
    nb::TraceLog("still running\n");
    return 0;
}
