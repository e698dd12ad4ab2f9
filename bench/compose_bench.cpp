// The main window's server page recomposed once, with a full grid of 15 servers and three
// recommended ones, against the baseline of one copy of an image of the page's size and
// format (1000 x 692, premultiplied ARGB). Google Benchmark; Qt's offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cstdlib>
#include <memory>

#include "app/LauncherContext.h"
#include "ui/LauncherDlg.h"
#include "ui/MainWindowLayout.h"
#include "ui/ServerView.h"

namespace {

// Server names of two Chinese characters, as the published lists have them ("青龙", "白虎",
// "朱雀", "玄武"), in code page 936.
const char* const kNames[] = {"\xC7\xE0\xC1\xFA", "\xB0\xD7\xBB\xA2", "\xD6\xEC\xC8\xB8", "\xD0\xFE\xCE\xE4"};
// "网通区"
const char* const kZone1 = "\xCD\xF8\xCD\xA8\xC7\xF8";

struct ServerPage {
    ServerPage() {
        for (int i = 0; i < 15; ++i) {
            nb::ServerInfo s;
            s.id = i + 1;
            s.name = std::string(kNames[i % 4]) + std::to_string(i + 1);
            s.state = i % 4 == 3 ? 1 : i % 3;  // every lamp but maintenance
            s.server_tag = i < 3 ? 2 : (i % 5 == 0 ? 1 : 0);
            s.fetch_url = "10.0.0." + std::to_string(i + 1) + ":7000";
            s.zone_name = kZone1;
            context.m_vecZone[1].push_back(s);
        }
        context.m_vecRecommend.assign(context.m_vecZone[1].begin(), context.m_vecZone[1].begin() + 3);
        context.m_nServerBuild = 1043;
        context.m_strLocalVersion = "1.0.43";
        window = std::make_unique<nb::LauncherDlg>(context);
        window->OnInitDialog();
        // A chosen server, so that its label is drawn too.
        window->View().OnBtnServerClick(nb::mainwin::kIdFirstServer + 4);
    }
    nb::LauncherContext context;
    std::unique_ptr<nb::LauncherDlg> window;
};

ServerPage& Page() {
    static ServerPage page;
    return page;
}

void ServerPageRecomposition(benchmark::State& state) {
    ServerPage& page = Page();
    for (auto _ : state) {
        page.window->DrawServerPage();
        benchmark::DoNotOptimize(page.window->ComposedPicture().Pixels());
    }
}
BENCHMARK(ServerPageRecomposition)->Unit(benchmark::kNanosecond)->UseRealTime();

void ImageCopy(benchmark::State& state) {
    QImage image(1000, 692, QImage::Format_ARGB32_Premultiplied);
    image.fill(0x80402010u);
    for (auto _ : state) {
        QImage copy = image.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
}
BENCHMARK(ImageCopy)->Unit(benchmark::kNanosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Page().window.reset();
    return 0;
}
