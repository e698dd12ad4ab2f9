// bench_repair --verify INSTALL_DIR MANIFEST PUBLIC_KEY
//     checks every file of the manifest in INSTALL_DIR as the launcher's repair does and
//     prints: seconds, bytes read, damaged files.
// bench_repair --restore INSTALL_DIR MANIFEST PUBLIC_KEY FULL_ARCHIVE_URL
//     checks, then restores the damaged files from the full archive with Range requests;
//     prints: seconds of the restore, bytes fetched, stored bytes of the members, files restored.
//     Exit status 1 when anything fails or a file stays damaged.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "platform/Files.h"
#include "update/RepairInstallation.h"
#include "update/VerifyInstallation.h"

namespace {

bool LoadManifest(const std::string& file, const std::string& publicKey, nb::PatchManifest& manifest) {
    std::string text, error;
    const auto key = nb::platform::DecodePublicKey(publicKey);
    if (!key || !nb::platform::ReadWholeFile(file, text) || !nb::ParsePatchManifest(text, {*key}, manifest, error)) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!((mode == "--verify" && argc == 5) || (mode == "--restore" && argc == 6))) {
        std::fprintf(stderr,
                     "usage: bench_repair --verify INSTALL_DIR MANIFEST PUBLIC_KEY | --restore INSTALL_DIR "
                     "MANIFEST PUBLIC_KEY FULL_ARCHIVE_URL\n");
        return 2;
    }
    nb::PatchManifest manifest;
    if (!LoadManifest(argv[3], argv[4], manifest)) return 1;
    if (::chdir(argv[2]) != 0) {
        std::perror(argv[2]);
        return 2;
    }
    std::vector<const nb::ManifestFile*> damaged;
    uint64_t bytesRead = 0;
    nbbench::BenchClock clock;
    nb::FindDamagedFiles(manifest, "./", [&](size_t, uint64_t bytes) { bytesRead = bytes; }, nullptr, damaged);
    if (mode == "--verify") {
        std::printf("%.6f %llu %zu\n", clock.Seconds(), static_cast<unsigned long long>(bytesRead), damaged.size());
        return 0;
    }
    nb::RepairReport report;
    clock.Restart();
    const bool ok = nb::RestoreFiles(manifest, damaged, argv[5], {}, report);
    const double seconds = clock.Seconds();
    if (!ok) std::fprintf(stderr, "restore failed: %s\n", report.error.c_str());
    nb::FindDamagedFiles(manifest, "./", {}, nullptr, damaged);
    std::printf("%.6f %llu %llu %zu\n", seconds, static_cast<unsigned long long>(report.bytesFetched),
                static_cast<unsigned long long>(report.membersStored), report.repaired);
    return ok && damaged.empty() ? 0 : 1;
}
