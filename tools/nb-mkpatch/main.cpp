// nb-mkpatch: builds the launcher's patch archives.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ManifestSigner.h"
#include "PatchFileList.h"
#include "PatchWriter.h"
#include "app/TextEncoding.h"
#include "update/RepairInstallation.h"

namespace {

constexpr const char* kUsage = R"(Usage:
  nb-mkpatch [options] --bfrom N --bto M --final-version TEXT NEW_FOLDER
  nb-mkpatch [options] --bfrom N --bto M --final-version TEXT OLD_FOLDER NEW_FOLDER
  nb-mkpatch keygen KEYFILE
  nb-mkpatch verify --key BASE64 [--key BASE64]... MANIFEST ARCHIVE [INSTALL_FOLDER]

Builds a launcher patch archive NBRK<N+1>.nbupd. With one folder, every file of
NEW_FOLDER goes into the archive; with two, only the files of NEW_FOLDER that are
new or differ (in content or permissions) from OLD_FOLDER. The archive also holds
the control member ncheck_v.txt, which lets an installation at any build from N
to M apply the patch and then records build M with version TEXT. An installation
at build N asks for NBRK<N+1>.nbupd; publish the archive at the zone list's update
address under that name. Files keep their permission bits and modification times.
A patch cannot delete files; files only in OLD_FOLDER are reported and left alone.

keygen writes a new Ed25519 private key to KEYFILE (PEM, readable by its owner only;
an existing file is never replaced) and prints the base64 of the public key.
verify checks a manifest's signature with the given public key(s), the archive's size
and SHA-256 and, with INSTALL_FOLDER, every file the manifest lists (size, SHA-256,
permission bits); it prints one line per failure and exits with 0 only when all hold.

Options:
  --bfrom N             lowest installed build the patch applies to
  --bto M               build number of the installation after the patch (M >= N)
  --final-version TEXT  version text after the patch (UTF-8 here; stored in code
                        page 936 as the launcher reads it; at most 255 bytes)
  -o, --output FILE     archive to write (default: NBRK<N+1>.nbupd in the current folder)
  -l, --level L         deflate level 0..9 (default 6; 0 stores without compression)
  -j, --jobs J          compression threads (default: one per processor)
  -s, --sign KEYFILE    also write the signed manifest ARCHIVE.manifest beside the
                        archive, listing every file of NEW_FOLDER
  -f, --full            also write the full archive NBFULL<M>.nbupd of NEW_FOLDER beside
                        the patch: every file of the build, from which a launcher
                        repairs a damaged installation (publish it with the patches)
  -q, --quiet           print nothing but errors
  -h, --help            show this text
)";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "nb-mkpatch: %s\nTry 'nb-mkpatch --help'.\n", message.c_str());
    return 2;
}

bool ParseInt(const char* text, long min, long max, long& value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && *end == '\0' && value >= min && value <= max;
}

int Keygen(int argc, char** argv) {
    if (argc != 3 || !*argv[2] || argv[2][0] == '-') return UsageError("keygen needs a key file name");
    nb::platform::Ed25519PublicKey key{};
    std::string error;
    if (!nb::mkpatch::GenerateKey(argv[2], key, error)) {
        std::fprintf(stderr, "nb-mkpatch: %s\n", error.c_str());
        return 1;
    }
    const std::string text =
        nb::platform::EncodeBase64(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
    std::printf("%s\n", text.c_str());
    return 0;
}

int Verify(int argc, char** argv) {
    std::vector<nb::platform::Ed25519PublicKey> keys;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--key") {
            const auto key = i + 1 < argc ? nb::platform::DecodePublicKey(argv[++i]) : std::nullopt;
            if (!key) return UsageError("--key needs the base64 of a 32-byte public key");
            keys.push_back(*key);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (keys.empty()) return UsageError("verify needs at least one --key");
    if (files.size() < 2 || files.size() > 3) return UsageError("verify needs MANIFEST ARCHIVE [INSTALL_FOLDER]");
    if (!nb::mkpatch::VerifyPatch(keys, files[0], files[1], files.size() == 3 ? files[2] : std::string()))
        return 1;
    std::printf("%s: good signature; %s%s match\n", files[0].c_str(), files[1].c_str(),
                files.size() == 3 ? (" and " + files[2]).c_str() : "");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "keygen") == 0) return Keygen(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "verify") == 0) return Verify(argc, argv);
    long bfrom = 0, bto = 0, level = 6, jobs = 0;
    bool haveFrom = false, haveTo = false, haveVersion = false, quiet = false, full = false;
    std::string version, output, keyFile;
    std::vector<std::string> folders;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--bfrom") {
            if (!ParseInt(value(), INT32_MIN, INT32_MAX - 1, bfrom))
                return UsageError("--bfrom needs a build number");
            haveFrom = true;
        } else if (arg == "--bto") {
            if (!ParseInt(value(), INT32_MIN, INT32_MAX, bto))
                return UsageError("--bto needs a build number");
            haveTo = true;
        } else if (arg == "--final-version") {
            const char* v = value();
            if (!v) return UsageError("--final-version needs a text");
            version = v;
            haveVersion = true;
        } else if (arg == "-o" || arg == "--output") {
            const char* v = value();
            if (!v || !*v) return UsageError(arg + " needs a file name");
            output = v;
        } else if (arg == "-l" || arg == "--level") {
            if (!ParseInt(value(), 0, 9, level)) return UsageError(arg + " needs a level from 0 to 9");
        } else if (arg == "-j" || arg == "--jobs") {
            if (!ParseInt(value(), 1, 256, jobs)) return UsageError(arg + " needs a number from 1 to 256");
        } else if (arg == "-s" || arg == "--sign") {
            const char* v = value();
            if (!v || !*v) return UsageError(arg + " needs a key file");
            keyFile = v;
        } else if (arg == "-f" || arg == "--full") {
            full = true;
        } else if (arg == "-q" || arg == "--quiet") {
            quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else {
            folders.push_back(arg);
        }
    }
    if (!haveFrom || !haveTo || !haveVersion)
        return UsageError("--bfrom, --bto and --final-version are required");
    if (folders.empty() || folders.size() > 2)
        return UsageError("give the new build's folder, or the old and the new");
    if (bto < bfrom) return UsageError("--bto must not be below --bfrom");

    nb::mkpatch::PatchControl control;
    control.buildFrom = static_cast<int32_t>(bfrom);
    control.buildTo = static_cast<int32_t>(bto);
    control.finalVersion = nb::Utf8ToGbk(version);
    if (nb::GbkToUtf8(control.finalVersion) != version)
        return UsageError("--final-version must be UTF-8 text that code page 936 can hold");
    if (control.finalVersion.size() > 255) return UsageError("--final-version is longer than 255 bytes");
    // The launcher reads the value back as one trimmed profile line.
    const bool padded = !version.empty() && (version.front() == ' ' || version.front() == '\t' ||
                                             version.back() == ' ' || version.back() == '\t');
    if (padded || version.find_first_of("\r\n") != std::string::npos)
        return UsageError("--final-version must be one line without surrounding blanks");
    if (output.empty()) output = "NBRK" + std::to_string(bfrom + 1) + ".nbupd";

    // A key that cannot sign should stop the run before the archive is made.
    nb::mkpatch::SigningKey key;
    std::string keyError;
    if (!keyFile.empty() && !key.Load(keyFile, keyError)) {
        std::fprintf(stderr, "nb-mkpatch: %s\n", keyError.c_str());
        return 1;
    }

    const std::string newFolder = folders.back();
    const std::string oldFolder = folders.size() == 2 ? folders.front() : std::string();
    nb::mkpatch::PatchFileList list;
    if (!list.Collect(newFolder, oldFolder)) {
        std::fprintf(stderr, "nb-mkpatch: %s\n", list.Error().c_str());
        return 1;
    }
    if (!quiet) {
        for (const std::string& w : list.Warnings())
            std::fprintf(stderr, "nb-mkpatch: warning: %s\n", w.c_str());
        if (list.RemovedCount())
            std::fprintf(stderr,
                         "nb-mkpatch: note: %zu file(s) of the old build are not in the new one; a patch "
                         "cannot remove them\n",
                         list.RemovedCount());
    }

    nb::mkpatch::PatchWriter writer;
    writer.m_nLevel = static_cast<int>(level);
    writer.m_nThreads = static_cast<unsigned>(jobs);
    nb::mkpatch::PatchStats stats;
    if (!writer.Write(output, control, list.Entries(), stats)) {
        std::fprintf(stderr, "nb-mkpatch: %s\n", writer.Error().c_str());
        return 1;
    }
    if (!keyFile.empty()) {
        nb::PatchManifest manifest;
        manifest.buildFrom = control.buildFrom;
        manifest.buildTo = control.buildTo;
        manifest.finalVersion = control.finalVersion;
        // An archive without its manifest would be refused by a launcher that checks, so a
        // failed signing leaves neither behind.
        std::string error;
        if (!nb::mkpatch::WriteSignedManifest(output, manifest, list.Entries(), key, error)) {
            std::fprintf(stderr, "nb-mkpatch: %s\n", error.c_str());
            std::remove(output.c_str());
            return 1;
        }
    }
    std::string fullOutput;
    if (full) {
        const size_t slash = output.find_last_of('/');
        fullOutput = (slash == std::string::npos ? std::string() : output.substr(0, slash + 1)) +
                     nb::FullArchiveName(control.buildTo);
        std::vector<nb::mkpatch::PatchEntry> build = list.Entries();
        for (nb::mkpatch::PatchEntry& e : build) e.oldPath.clear();
        nb::mkpatch::PatchWriter fullWriter;
        fullWriter.m_nLevel = writer.m_nLevel;
        fullWriter.m_nThreads = writer.m_nThreads;
        fullWriter.m_bControlMember = false;
        nb::mkpatch::PatchStats fullStats;
        if (!fullWriter.Write(fullOutput, control, build, fullStats)) {
            std::fprintf(stderr, "nb-mkpatch: %s\n", fullWriter.Error().c_str());
            return 1;
        }
        if (!quiet)
            std::printf("%s: full archive, %zu file(s), %.1f MiB\n", fullOutput.c_str(), fullStats.written,
                        fullStats.bytesOut / 1048576.0);
    }
    if (!quiet) {
        std::printf("%s: %zu file(s)", output.c_str(), stats.written);
        if (!oldFolder.empty()) std::printf(", %zu unchanged left out", stats.unchanged);
        std::printf(", %.1f MiB in, %.1f MiB archive; builds %ld..%ld -> %ld\n", stats.bytesIn / 1048576.0,
                    stats.bytesOut / 1048576.0, bfrom, bto, bto);
        if (!keyFile.empty())
            std::printf("%s%s: signed, %zu file(s) of the build listed\n", output.c_str(),
                        std::string(nb::kManifestSuffix).c_str(), list.Entries().size());
        if (stats.bytesOut >= 0x80000000ull)
            std::fprintf(
                stderr,
                "nb-mkpatch: warning: the launcher's resumable download covers archives below 2 GiB\n");
    }
    return 0;
}
