// bench_zonelist --write DIR N...
//     writes DIR/zonelist-N.xml for each N: N servers in two big zones, every tenth one
//     recommended, names in Chinese and in Latin letters, as the published lists look.
// bench_zonelist URL ROUNDS
//     loads the zone list from URL ROUNDS times in the current folder (download and read,
//     as start-up does) and prints the median wall time in milliseconds, the number of
//     servers read and the stack used by the deepest load in bytes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "StackHighWater.h"
#include "app/LauncherContext.h"

namespace {

int WriteLists(const std::string& dir, int argc, char** argv) {
    for (int a = 3; a < argc; ++a) {
        const int n = std::atoi(argv[a]);
        const std::string path = dir + "/zonelist-" + std::to_string(n) + ".xml";
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) {
            std::perror(path.c_str());
            return 1;
        }
        std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zonelist>\n");
        std::fprintf(f, "  <gameVerInfo build_code=\"120\" version=\"1.2.0\"/>\n");
        std::fprintf(f, "  <update_url>http://127.0.0.1/patches/</update_url>\n");
        // "电信区", "网通区", "服务器"
        const char* const zones[] = {"\xE7\x94\xB5\xE4\xBF\xA1\xE5\x8C\xBA",
                                     "\xE7\xBD\x91\xE9\x80\x9A\xE5\x8C\xBA"};
        for (int z = 0; z < 2; ++z) {
            std::fprintf(f, "  <bigzone name=\"%s\">\n", zones[z]);
            const int first = z * (n / 2), last = z == 0 ? n / 2 : n;
            for (int i = first; i < last; ++i) {
                std::fprintf(f,
                             "    <server id=\"%d\" name=\"%s %d\" state=\"%d\" server_tag=\"%d\" "
                             "fetch_url=\"10.%d.%d.%d:7000\"/>\n",
                             i + 1, i % 2 ? "\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8" : "Server", i + 1, i % 4,
                             i % 10 == 0 ? 2 : (i % 7 == 0 ? 1 : 0), (i >> 16) & 255, (i >> 8) & 255,
                             i & 255);
            }
            std::fprintf(f, "  </bigzone>\n");
        }
        std::fprintf(f, "</zonelist>\n");
        if (std::fclose(f) != 0) return 1;
    }
    return 0;
}

int Measure(const std::string& url, int rounds) {
    std::vector<double> ms;
    size_t servers = 0;
    size_t stack = 0;
    bool ok = true;
    nbbench::StackHighWater highWater;
    for (int r = 0; r < rounds && ok; ++r) {
        const size_t used = highWater.Run([&] {
            nb::LauncherContext context;
            context.m_strZoneListURL = url;
            nbbench::BenchClock clock;
            ok = context.LoadZoneList();
            ms.push_back(clock.Seconds() * 1000.0);
            servers = context.m_vecZone[0].size() + context.m_vecZone[1].size();
        });
        if (used > stack) stack = used;
    }
    if (!ok) {
        std::fprintf(stderr, "bench_zonelist: loading %s failed\n", url.c_str());
        return 1;
    }
    std::printf("%.3f %zu %zu\n", nbbench::BenchClock::Median(ms), servers, stack);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--write" && argc >= 4) return WriteLists(argv[2], argc, argv);
    if (argc == 3) return Measure(argv[1], std::atoi(argv[2]));
    std::fprintf(stderr, "usage: bench_zonelist --write DIR N... | bench_zonelist URL ROUNDS\n");
    return 2;
}
