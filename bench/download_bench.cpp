// bench_download URL TARGET: one DownloadUrlToFile, as the patch cycle runs it; prints the
// wall time in seconds and the size of the target. Exit status 1 when the download fails.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "BenchClock.h"
#include "app/LauncherContext.h"
#include "update/Download.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_download URL TARGET\n");
        return 2;
    }
    nb::LauncherContext context;  // receives the progress figures, as in the launcher
    nb::SetTheContext(&context);
    nbbench::BenchClock clock;
    const bool ok = nb::DownloadUrlToFile(argv[1], argv[2], true);
    const double seconds = clock.Seconds();
    nb::SetTheContext(nullptr);
    struct stat st {};
    const long long size = ::stat(argv[2], &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    std::printf("%.6f %lld\n", seconds, size);
    return ok ? 0 : 1;
}
