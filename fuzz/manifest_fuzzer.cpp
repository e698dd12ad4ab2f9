// The signed patch manifest reader. The input is a manifest's body; it is read once as it
// stands (signature line and all) and once signed by the trusted key, so that every part of
// the reader is reached and what it accepts can be checked.
// NB_FUZZ_NEEDS: src/update/PatchManifest.cpp
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "update/PatchManifest.h"

namespace {

// A broken expectation is a finding: reported with the line, then the run stops.
#define Check(condition)   \
    ((condition) ? (void)0 \
                 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), std::abort()))

const nb::platform::Ed25519Seed kSeed = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                         17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    static const auto key = nb::platform::Ed25519PublicKeyOf(kSeed);
    Check(key.has_value());

    nb::PatchManifest m;
    std::string error;
    // Bytes nobody signed with this key are never accepted.
    Check(!nb::ParsePatchManifest(input, {*key}, m, error));
    Check(!error.empty());

    const auto signature = nb::platform::SignEd25519(kSeed, input);
    Check(signature.has_value());
    const std::string text = nb::AppendManifestSignature(input, *signature);
    error.clear();
    if (!nb::ParsePatchManifest(text, {*key}, m, error)) {
        Check(!error.empty());
        return 0;
    }
    // What is accepted is safe to use and is written back as the same bytes.
    Check(m.buildFrom <= m.buildTo);
    for (const nb::ManifestFile& f : m.files) {
        Check(nb::CheckManifestPath(f.path).empty());
        Check(f.mode <= 0777);
    }
    const std::string body = nb::FormatManifestBody(m);
    nb::PatchManifest again;
    Check(nb::ParsePatchManifest(nb::AppendManifestSignature(body, *nb::platform::SignEd25519(kSeed, body)),
                                 {*key}, again, error));
    Check(nb::FormatManifestBody(again) == body);
    return 0;
}
