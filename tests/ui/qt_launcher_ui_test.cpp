#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <thread>

#include "ui/QtLauncherUi.h"

namespace {

void ProcessEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

TEST(QtLauncherUi, WorkerRequestsRunOnTheUiThreadAndTheWorkerWaitsForThem) {
    nb::QtLauncherUi ui;
    std::vector<std::string> shown;
    std::atomic<bool> ranOnUiThread{true};
    ui.SetMessageRunner([&](const std::string& text) {
        ranOnUiThread = ranOnUiThread && QThread::currentThread() == qApp->thread();
        shown.push_back(text);
    });
    QWidget window;
    window.show();
    ui.SetMainWindow(&window);

    std::atomic<int> step{0};
    std::thread worker([&] {
        ui.ShowMessageText("first");
        step = 1;  // only after the message was shown
        ui.CloseMainWindow();
        step = 2;
    });
    ProcessEventsUntil([&] { return step == 2; });
    worker.join();
    EXPECT_EQ(shown, std::vector<std::string>{"first"});
    EXPECT_TRUE(ranOnUiThread);
    EXPECT_FALSE(window.isVisible());
}

TEST(QtLauncherUi, ShutdownReleasesAWaitingWorkerWithoutShowingItsRequest) {
    nb::QtLauncherUi ui;
    bool shown = false;
    ui.SetMessageRunner([&](const std::string&) { shown = true; });
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        ui.ShowMessageText("never shown");
        returned = true;
    });
    // The UI thread does not process events (as while it joins the worker at exit).
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned);
    ui.Shutdown();
    worker.join();
    EXPECT_TRUE(returned);
    QApplication::processEvents();
    EXPECT_FALSE(shown);
    ui.ShowMessageText("after shutdown");  // returns at once, shows nothing
    EXPECT_FALSE(shown);
}

TEST(QtLauncherUi, CloseRequestWithoutAWindowDoesNothing) {
    nb::QtLauncherUi ui;
    {
        QWidget window;
        ui.SetMainWindow(&window);
    }
    ui.CloseMainWindow();  // the window is gone: no crash
    EXPECT_EQ(ui.MainWindow(), nullptr);
}
