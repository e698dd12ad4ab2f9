#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <future>
#include <thread>

#include "skin/LayeredWindow.h"
#include "ui/WindowedLauncherUi.h"

namespace {

void ProcessEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

TEST(WindowedLauncherUi, WorkerRequestsRunOnTheUiThreadAndTheWorkerWaitsForThem) {
    nb::WindowedLauncherUi ui;
    std::vector<std::string> shown;
    std::atomic<bool> ranOnUiThread{true};
    ui.SetMessageRunner([&](const std::string& text) {
        ranOnUiThread = ranOnUiThread && QThread::currentThread() == qApp->thread();
        shown.push_back(text);
    });
    nb::LayeredWindow window;
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

// Holds back the requests posted to an object instead of delivering them, and counts them.
class RequestCatcher : public QObject {
public:
    int caught = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MetaCall) return false;
        ++caught;
        return true;
    }
};

TEST(WindowedLauncherUi, ShutdownReleasesAWaitingWorkerWithoutShowingItsRequest) {
    // Left alive if the worker is never released: it still waits inside.
    auto* ui = new nb::WindowedLauncherUi;
    bool shown = false;
    ui->SetMessageRunner([&](const std::string&) { shown = true; });
    RequestCatcher catcher;
    ui->installEventFilter(&catcher);
    std::atomic<bool> returned{false};
    std::promise<void> ended;
    std::thread worker([&] {
        ui->ShowMessageText("never shown");
        returned = true;
        ended.set_value();
    });
    // The request reaches the UI thread and is not answered (as while the UI thread joins the
    // worker at exit): the worker keeps waiting.
    ProcessEventsUntil([&] { return catcher.caught == 1; });
    ASSERT_EQ(catcher.caught, 1);
    EXPECT_FALSE(returned);
    ui->Shutdown();
    if (ended.get_future().wait_for(std::chrono::minutes(1)) != std::future_status::ready) {
        worker.detach();
        FAIL() << "Shutdown did not release the waiting worker";
    }
    worker.join();
    EXPECT_TRUE(returned);
    ui->removeEventFilter(&catcher);
    EXPECT_FALSE(shown);
    ui->ShowMessageText("after shutdown");  // returns at once, shows nothing
    EXPECT_FALSE(shown);
    delete ui;
}

TEST(WindowedLauncherUi, CloseRequestWithoutAWindowDoesNothing) {
    nb::WindowedLauncherUi ui;
    {
        nb::LayeredWindow window;
        ui.SetMainWindow(&window);
    }
    ui.CloseMainWindow();  // the window is gone: no crash
    EXPECT_EQ(ui.MainWindow(), nullptr);
}
