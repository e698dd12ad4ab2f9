// bench_download URL TARGET [SHA256 SIZE]: one DownloadUrlToFile, as the patch cycle runs it;
// prints the wall time in seconds and the size of the target. With a digest and a size, the
// download is the signed patch's: hashed as it arrives, limited to SIZE and compared at the
// end. NB_BENCH_LIMIT_KBPS in the environment sets the player's speed limit (KiB/s). Exit
// status 1 when the download fails or does not match.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchClock.h"
#include "app/LauncherContext.h"
#include "platform/Digest.h"
#include "update/Download.h"
#include "update/PatchManifest.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: bench_download URL TARGET [SHA256 SIZE]\n");
        return 2;
    }
    nb::LauncherContext context;  // receives the progress figures, as in the launcher
    nb::SetTheContext(&context);
    nb::platform::Digest sha256(nb::platform::DigestKind::kSha256);
    nb::DownloadCheck check;
    check.digest = &sha256;
    if (argc == 5) check.maxSize = std::strtoull(argv[4], nullptr, 10);
    if (const char* kbps = std::getenv("NB_BENCH_LIMIT_KBPS"))
        nb::SetDownloadSpeedLimit(std::strtoull(kbps, nullptr, 10) * 1024);
    nbbench::BenchClock clock;
    bool ok = nb::DownloadUrlToFile(argv[1], argv[2], true, argc == 5 ? &check : nullptr);
    if (ok && argc == 5) {
        nb::Sha256Bytes digest{};
        ok = sha256.Finish(digest.data(), digest.size()) && nb::HexDigest(digest) == argv[3] &&
             check.size == check.maxSize;
    }
    const double seconds = clock.Seconds();
    nb::SetTheContext(nullptr);
    struct stat st {};
    const long long size = ::stat(argv[2], &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    std::printf("%.6f %lld\n", seconds, size);
    return ok ? 0 : 1;
}
