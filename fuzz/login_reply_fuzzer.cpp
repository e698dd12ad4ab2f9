// The account service's reply document: any bytes as "LoginRes.xml", read without and
// with storing, then the error report of whatever code it carried.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FuzzWorkDir.h"
#include "QuietUi.h"
#include "app/LauncherContext.h"
#include "login/SessionClient.h"

namespace {

// A broken expectation is a finding: reported with the line, then the run stops.
#define Check(condition)   \
    ((condition) ? (void)0 \
                 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), std::abort()))

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nbfuzz::FuzzWorkDir::Enter();
    nbfuzz::QuietUi::Install();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbfuzz::FuzzWorkDir::ForgetLog();
    nbfuzz::WriteWholeFile(nb::kLoginReplyFile, data, size);

    nb::LauncherContext context;
    context.m_bCodeRequired = true;
    context.m_nLoginError = -7;
    context.m_strLogin = "before";

    // A check that does not store leaves every stored field alone, whatever the reply.
    const bool checked = context.ParseLoginReply(false);
    Check(context.m_bCodeRequired && context.m_strLogin == "before" && context.m_nUserId == 0);

    const bool stored = context.ParseLoginReply(true);
    Check(checked == stored);
    if (stored) {
        Check(!context.m_bCodeRequired);
    } else {
        Check(context.m_strLogin == "before");
        context.ReportLoginError(context.m_nLoginError);
    }
    return 0;
}
