// bench_apply --make-tree DIR COUNT MIB
//     writes COUNT files of about MIB MiB in all under DIR (folders of 50 files; half of
//     them random bytes that do not compress, half text-like data), the same every time.
// bench_apply --apply INSTALL_DIR PATCH_FILE LOCAL_BUILD [MANIFEST PUBLIC_KEY]
//     runs the patch apply step in INSTALL_DIR as the update worker runs it and prints its
//     wall time in seconds. With a signed manifest and its key, the launcher with release
//     keys: the manifest is read and every item checked against it on the way. Exit status 1
//     when the apply fails.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "app/LauncherContext.h"
#include "platform/Files.h"
#include "update/PatchManifest.h"

namespace {

class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }

private:
    uint64_t m_state;
};

void FillRandom(Random& random, std::string& out, size_t size) {
    out.resize(size);
    for (size_t i = 0; i < size; i += 8) {
        const uint64_t v = random.Next();
        for (size_t b = 0; b < 8 && i + b < size; ++b) out[i + b] = static_cast<char>(v >> (8 * b));
    }
}

// Words from a small vocabulary with numbers: deflate takes it to about a third.
void FillText(Random& random, std::string& out, size_t size) {
    static const char* const kWords[] = {"server", "zone",   "patch", "build", "texture", "model",
                                         "sound",  "effect", "quest", "item",  "monster", "map"};
    out.clear();
    out.reserve(size + 32);
    while (out.size() < size) {
        const uint64_t v = random.Next();
        out += kWords[v % 12];
        out += ' ';
        out += std::to_string((v >> 8) % 100000);
        out += (v >> 40) % 8 == 0 ? '\n' : ' ';
    }
    out.resize(size);
}

int MakeTree(const std::string& dir, int count, double mib) {
    Random random(0x5EEDF00DULL);
    std::vector<double> weights;
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        // Mostly small files and a few large ones, as in a game's data folders.
        const double w =
            0.05 + static_cast<double>(random.Next() % 1000) / 1000.0 * ((i % 10) == 0 ? 12.0 : 1.0);
        weights.push_back(w);
        sum += w;
    }
    const double total = mib * 1024 * 1024;
    std::string data;
    ::mkdir(dir.c_str(), 0755);
    for (int i = 0; i < count; ++i) {
        const std::string folder = dir + "/data" + std::to_string(i / 50);
        ::mkdir(folder.c_str(), 0755);
        const size_t size = static_cast<size_t>(total * weights[static_cast<size_t>(i)] / sum);
        if (i % 2)
            FillText(random, data, size);
        else
            FillRandom(random, data, size);
        const std::string path = folder + "/file" + std::to_string(i) + (i % 2 ? ".txt" : ".pak");
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size() || std::fclose(f) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}

int Apply(const std::string& installDir, const std::string& patchFile, int localBuild,
          const std::string& manifestFile, const std::string& publicKey) {
    if (::chdir(installDir.c_str()) != 0) {
        std::perror(installDir.c_str());
        return 2;
    }
    nb::LauncherContext context;
    nb::SetTheContext(&context);
    context.m_strInstallPath = installDir + "/";
    context.m_strPatchFile = patchFile;
    context.m_nLocalBuild = localBuild;
    nbbench::BenchClock clock;
    if (!manifestFile.empty()) {
        std::string text, error;
        const auto key = nb::platform::DecodePublicKey(publicKey);
        auto manifest = std::make_shared<nb::PatchManifest>();
        if (!key || !nb::platform::ReadWholeFile(manifestFile, text) ||
            !nb::ParsePatchManifest(text, {*key}, *manifest, error)) {
            std::fprintf(stderr, "%s: %s\n", manifestFile.c_str(), error.c_str());
            return 1;
        }
        context.m_pPatchManifest = std::move(manifest);
    }
    const bool ok = context.ApplyPatch();
    const double seconds = clock.Seconds();
    nb::SetTheContext(nullptr);
    std::printf("%.6f\n", seconds);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--make-tree" && argc == 5) return MakeTree(argv[2], std::atoi(argv[3]), std::atof(argv[4]));
    if (mode == "--apply" && (argc == 5 || argc == 7))
        return Apply(argv[2], argv[3], std::atoi(argv[4]), argc == 7 ? argv[5] : "", argc == 7 ? argv[6] : "");
    std::fprintf(
        stderr,
        "usage: bench_apply --make-tree DIR COUNT MIB | --apply INSTALL_DIR PATCH_FILE LOCAL_BUILD "
        "[MANIFEST PUBLIC_KEY]\n");
    return 2;
}
