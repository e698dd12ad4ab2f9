// nb-standin: the stand-in web host and account service the launcher talks to on this
// machine. See HelpText() for the options and the control paths.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "AccountList.h"
#include "StandinOptions.h"
#include "StandinServer.h"

using namespace nbstandin;

int main(int argc, char** argv) {
    ParseResult parsed = ParseCommandLine(argc, argv);
    if (parsed.status == ParseStatus::kHelp) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (parsed.status == ParseStatus::kError) {
        std::fprintf(stderr, "nb-standin: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    const StandinOptions& options = parsed.options;
    std::string error;
    AccountList accounts;
    if (!accounts.Load(options.accountsFile, error)) {
        std::fprintf(stderr, "nb-standin: %s\n", error.c_str());
        return 1;
    }

    // Stop signals are taken by one thread with sigwait, never by a handler, so the stop runs
    // as ordinary code; every thread started after this inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    StandinServer server(options);
    int port = server.Bind(error);
    if (port < 0) {
        std::fprintf(stderr, "nb-standin: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening on 127.0.0.1:%d\n", port);
    std::fflush(stdout);

    std::atomic<bool> finished{false};
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        // The listener may not be running yet when the signal comes; keep asking until it ends.
        while (!finished.load()) {
            server.Stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    bool ok = server.Run();
    finished = true;
    pthread_kill(stopper.native_handle(), SIGUSR1);
    stopper.join();
    if (!ok) {
        std::fprintf(stderr, "nb-standin: the server stopped with an error\n");
        return 1;
    }
    return 0;
}
