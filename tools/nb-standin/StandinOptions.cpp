#include "StandinOptions.h"

#include <cerrno>
#include <cstdlib>

namespace nbstandin {

bool ParseInt64(const std::string& text, int64_t& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') return false;
    value = parsed;
    return true;
}

bool ParseServerList(const std::string& text, std::vector<int>& ids) {
    ids.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string item = text.substr(start, comma - start);
        if (!item.empty()) {
            int64_t id = 0;
            if (!ParseInt64(item, id) || id < INT32_MIN || id > INT32_MAX) return false;
            ids.push_back(static_cast<int>(id));
        }
        start = comma + 1;
    }
    return true;
}

std::string HelpText() {
    return R"(Usage: nb-standin [options]

Stand-in web host and account service for the launcher, on 127.0.0.1 only.
Serves the files of a folder with HTTP/1.1 Range support and answers the
account service paths /interface/login.php, /interface/vcode.php and
/interface/check_code.php. The first line on standard output is
"listening on 127.0.0.1:PORT". SIGTERM or SIGINT stops it cleanly.

Options:
  --root DIR           folder to serve (default: the current folder); a folder
                       path serves its index.html
  --port N             TCP port on 127.0.0.1 (default 18620; 0 picks a free one)
  --log FILE           append the request line and header lines of every request
                       to FILE, byte for byte as received, one block per request
                       ending with the empty line; written and flushed before the
                       answer (control requests under /_standin/ are not logged)
  --accounts FILE      account list, one account a line: "name password [flag...]";
                       name and password in UTF-8 or GBK; flags: "locked" (login
                       answers 1009), "id=N" (user id), "addiction=N"; lines that
                       start with # are comments
  --servers LIST       server ids the login accepts, comma-separated (default: the
                       ids of DIR/norbel_xml/zonelist.xml; any id when it is missing)
  --always-code        demand a verification code on every login
  --code-after N       demand a code after N failed logins of one name (default 3,
                       0 never)
  --force-error CODE   answer every login with error CODE (0: off)
  --ignore-range       answer Range requests for files with 200 and the whole file
  --cut-after N        close the connection after N body bytes of a file
  --reset-cut          end the connection of --cut-after with a reset (RST)
                       instead of an orderly close
  --stall-after N      send N body bytes of a file, then nothing until the faults
                       are changed through the control path or the server stops
  --rate BPS           send file bodies at BPS bytes per second
  --fault-path PREFIX  the four faults above only for paths beginning with PREFIX
                       (default "/")
  --fault-times N      the four faults above only for the next N file responses
                       they apply to (default 0: every one)
  --status PATH=CODE   answer status CODE for PATH (exact path, repeatable)
  --redirect PATH=URL  answer 302 with Location URL for PATH (exact path, repeatable)
  --cert FILE          serve https with this certificate (PEM; the server's first,
                       then any intermediates); needs --key
  --key FILE           the certificate's private key (PEM)
  --verbose            print one line per request on standard output
  --help               show this text

Control paths (for tests; answered with the resulting settings as plain text):
  /_standin/fault?reset&ignore_range=0|1&cut_after=N&reset_cut=0|1&stall_after=N&rate=N
                 &prefix=PATH&times=N&status=CODE&path=PATH
      reset clears every fault first; the other keys set one fault each (-1 or 0
      switches it off); status with path sets a fixed status (0 removes it).
      Any change releases stalled bodies.
  /_standin/account?reset&always_code=0|1&code_after=N&force_error=CODE&servers=LIST
      reset forgets failed logins and sessions.
  /_standin/code?p=SESSION    the code of a verification session (404 if none)
  /_standin/code?latest       the code of the picture issued last (404 if none)
  /_standin/status            counters: requests, stalled bodies
)";
}

namespace {

bool NeedValue(int argc, char** argv, int& i, std::string& value, ParseResult& result) {
    if (i + 1 >= argc) {
        result.status = ParseStatus::kError;
        result.error = std::string("missing value for ") + argv[i];
        return false;
    }
    value = argv[++i];
    return true;
}

bool NumberOption(const std::string& name, const std::string& value, int64_t min, int64_t max, int64_t& out,
                  ParseResult& result) {
    if (!ParseInt64(value, out) || out < min || out > max) {
        result.status = ParseStatus::kError;
        result.error = "bad value for " + name + ": " + value;
        return false;
    }
    return true;
}

}  // namespace

ParseResult ParseCommandLine(int argc, char** argv) {
    ParseResult result;
    StandinOptions& o = result.options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        int64_t n = 0;
        if (arg == "--help" || arg == "-h") {
            result.status = ParseStatus::kHelp;
            return result;
        } else if (arg == "--root") {
            if (!NeedValue(argc, argv, i, o.root, result)) return result;
        } else if (arg == "--port") {
            if (!NeedValue(argc, argv, i, value, result)) return result;
            if (!NumberOption(arg, value, 0, 65535, n, result)) return result;
            o.port = static_cast<int>(n);
        } else if (arg == "--log") {
            if (!NeedValue(argc, argv, i, o.logFile, result)) return result;
        } else if (arg == "--accounts") {
            if (!NeedValue(argc, argv, i, o.accountsFile, result)) return result;
        } else if (arg == "--servers") {
            if (!NeedValue(argc, argv, i, value, result)) return result;
            std::vector<int> ids;
            if (!ParseServerList(value, ids)) {
                result.status = ParseStatus::kError;
                result.error = "bad server list: " + value;
                return result;
            }
            o.serverIds = ids;
        } else if (arg == "--always-code") {
            o.alwaysCode = true;
        } else if (arg == "--code-after") {
            if (!NeedValue(argc, argv, i, value, result)) return result;
            if (!NumberOption(arg, value, 0, INT32_MAX, n, result)) return result;
            o.codeAfter = static_cast<int>(n);
        } else if (arg == "--force-error") {
            if (!NeedValue(argc, argv, i, value, result)) return result;
            if (!NumberOption(arg, value, INT32_MIN, INT32_MAX, n, result)) return result;
            o.forceError = static_cast<int>(n);
        } else if (arg == "--ignore-range") {
            o.faults.ignoreRange = true;
        } else if (arg == "--reset-cut") {
            o.faults.reset = true;
        } else if (arg == "--cut-after" || arg == "--stall-after" || arg == "--rate" ||
                   arg == "--fault-times") {
            if (!NeedValue(argc, argv, i, value, result)) return result;
            if (!NumberOption(arg, value, 0, INT64_MAX, n, result)) return result;
            if (arg == "--cut-after") o.faults.cutAfter = n;
            if (arg == "--stall-after") o.faults.stallAfter = n;
            if (arg == "--rate") o.faults.rate = n;
            if (arg == "--fault-times") o.faults.times = n;
        } else if (arg == "--fault-path") {
            if (!NeedValue(argc, argv, i, o.faults.pathPrefix, result)) return result;
        } else if (arg == "--status") {
            if (!NeedValue(argc, argv, i, value, result)) return result;
            size_t eq = value.rfind('=');
            if (eq == std::string::npos || eq == 0 || value[0] != '/' ||
                !NumberOption(arg, value.substr(eq + 1), 100, 999, n, result)) {
                result.status = ParseStatus::kError;
                result.error = "bad value for --status (PATH=CODE): " + value;
                return result;
            }
            o.statusByPath[value.substr(0, eq)] = static_cast<int>(n);
        } else if (arg == "--redirect") {
            if (!NeedValue(argc, argv, i, value, result)) return result;
            const size_t eq = value.find('=');
            if (eq == std::string::npos || eq == 0 || value[0] != '/' || eq + 1 == value.size()) {
                result.status = ParseStatus::kError;
                result.error = "bad value for --redirect (PATH=URL): " + value;
                return result;
            }
            o.redirectByPath[value.substr(0, eq)] = value.substr(eq + 1);
        } else if (arg == "--cert") {
            if (!NeedValue(argc, argv, i, o.certFile, result)) return result;
        } else if (arg == "--key") {
            if (!NeedValue(argc, argv, i, o.keyFile, result)) return result;
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else {
            result.status = ParseStatus::kError;
            result.error = "unknown option: " + arg;
            return result;
        }
    }
    if (o.certFile.empty() != o.keyFile.empty()) {
        result.status = ParseStatus::kError;
        result.error = "--cert and --key go together";
        return result;
    }
    return result;
}

}  // namespace nbstandin
