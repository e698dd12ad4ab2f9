// The session id taken from a raw response header block.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzWorkDir.h"
#include "login/SessionClient.h"

namespace {

// A broken expectation is a finding: reported with the line, then the run stops.
#define Check(condition)   \
    ((condition) ? (void)0 \
                 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), std::abort()))

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nbfuzz::FuzzWorkDir::Enter();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbfuzz::FuzzWorkDir::ForgetLog();
    const std::string headers(reinterpret_cast<const char*>(data), size);
    const std::string id = nb::ExtractSessionId(headers);

    const size_t cookie = headers.find("PHPSESSID");
    if (cookie == std::string::npos) {
        Check(id.empty());
        return 0;
    }
    // The value is what stands between the "=" (whatever byte it is) and the first ";".
    const size_t begin = cookie + 10;
    const size_t semicolon = begin <= headers.size() ? headers.find(';', begin) : std::string::npos;
    if (semicolon == std::string::npos) {
        Check(id.empty());
    } else {
        Check(id == headers.substr(begin, semicolon - begin));
    }
    return 0;
}
