#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "LoopbackServer.h"
#include "TestPaths.h"
#include "TestZip.h"
#include "UpdateTestKit.h"
#include "app/LauncherContext.h"
#include "platform/ExecutablePath.h"
#include "platform/Sleep.h"
#include "update/UpdateWorker.h"

namespace fs = std::filesystem;
using nb::test::TestZipItem;

namespace {

constexpr const char* kToken = "WEB777";

// The update worker on its own thread, stopped and joined the way the application's exit does.
class WorkerThread {
public:
    explicit WorkerThread(nb::LauncherContext& context)
        : m_thread([this, &context] { nb::UpdateWorker(context, m_stop); }) {}
    ~WorkerThread() { Stop(); }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Counts the worker's idle rounds (each sleeps once), so that a test can let the loop go
// round a few times before it checks that nothing more happened.
std::atomic<int> g_idleRounds{0};
void CountIdleRound(unsigned) { ++g_idleRounds; }

// True once the worker has idled `rounds` more times from now; false after a minute.
bool WaitForIdleRounds(int rounds) {
    const int target = g_idleRounds.load() + rounds;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (g_idleRounds.load() < target) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// An installation folder whose launcher is a recording stand-in; each cycle is a fresh
// launcher run that reads the version file and decides again.
class UpdateWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_install = m_dir.File("install/");
        fs::create_directories(m_install);
        m_cd = std::make_unique<nb::test::ScopedChdir>(m_install);
        nb::test::InstallRecordingLauncher(m_install + "NbLauncher.exe");
        nb::test::WriteFile("nbnversion.vsn", "[VERSION]\r\nbuild=43\r\nver=1.0.43\r\n");
        nb::platform::SetExecutablePathOverride(m_install + "_NbLauncher.bin");
        nb::platform::SetSleepObserver(CountIdleRound);
    }
    void TearDown() override {
        nb::platform::SetSleepObserver(nullptr);
        nb::SetTheContext(nullptr);
        nb::platform::SetExecutablePathOverride("");
    }

    std::unique_ptr<nb::LauncherContext> FreshRun(int32_t publishedBuild = 45) {
        nb::SetTheContext(nullptr);
        auto ctx = std::make_unique<nb::LauncherContext>();
        nb::test::NumberMessages(*ctx);
        EXPECT_TRUE(ctx->InitPathsAndEndpoints());
        ctx->m_strCmdArg = kToken;
        ctx->m_nServerBuild = publishedBuild;
        ctx->m_strUpdateURL = m_server.Url("/patches/");
        EXPECT_TRUE(ctx->DecideUpdate());
        nb::SetTheContext(ctx.get());
        return ctx;
    }

    // Runs one launcher's patch cycle until the worker asks the window to close.
    void RunCycle(nb::LauncherContext& ctx, nb::test::RecordingUi& ui) {
        WorkerThread worker(ctx);
        EXPECT_TRUE(ui.WaitForClose());
    }

    std::string TakeRestart() {
        const std::string path = m_install + "restart.txt";
        EXPECT_TRUE(nb::test::WaitForFile(path));
        std::string text = nb::test::ReadFile(path);
        fs::remove(path);
        return text;
    }

    std::vector<std::string> RequestedPaths() const {
        std::vector<std::string> paths;
        for (const auto& r : m_server.Requests()) paths.push_back(r.method + " " + r.path);
        return paths;
    }

    nb::test::ScopedTempDir m_dir;
    std::string m_install;
    std::unique_ptr<nb::test::ScopedChdir> m_cd;
    nb::test::LoopbackServer m_server;
};

void PutFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
    fs::create_directories(fs::path(path).parent_path());
    nb::test::WriteFile(path, content);
    ::chmod(path.c_str(), mode);
}

}  // namespace

TEST_F(UpdateWorkerTest, TwoBuildsBehindCatchesUpOnePatchPerRun) {
    // Three builds of the game; each later one changes the launcher and some data.
    for (int build : {43, 44, 45}) {
        const std::string folder = m_dir.File("b" + std::to_string(build) + "/");
        PutFile(folder + "NbLauncher.exe",
                std::string(nb::test::kRecordingLauncherScript) + "# build " + std::to_string(build) + "\n",
                0755);
        PutFile(folder + "data/common.pak", "common");
        PutFile(folder + "data/level.pak", std::string(20000, static_cast<char>('a' + build - 43)));
        if (build >= 44) PutFile(folder + "data/new44.pak", "since 44");
    }
    for (const auto& e : fs::directory_iterator(m_dir.File("b43")))
        fs::copy(e.path(), m_install + e.path().filename().string(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    for (int build : {44, 45}) {
        const std::string name = "NBRK" + std::to_string(build) + ".nbupd";
        std::string out;
        ASSERT_EQ(nb::test::RunMkpatch(
                      {"--bfrom", std::to_string(build - 1), "--bto", std::to_string(build),
                       "--final-version", "1.0." + std::to_string(build), "-o", m_dir.File(name),
                       m_dir.File("b" + std::to_string(build - 1)), m_dir.File("b" + std::to_string(build))},
                      &out),
                  0)
            << out;
        m_server.Serve("/patches/" + name, nb::test::ReadFile(m_dir.File(name)));
    }

    for (int build : {44, 45}) {
        SCOPED_TRACE(build);
        nb::test::RecordingUi ui;
        auto ctx = FreshRun();
        EXPECT_EQ(ctx->m_nLocalBuild, build - 1);
        ASSERT_EQ(ctx->m_nUpdateState, nb::kStateDownloadPatch);
        EXPECT_EQ(ctx->m_strUpdateURL, m_server.Url("/patches/NBRK" + std::to_string(build) + ".nbupd"));
        RunCycle(*ctx, ui);

        EXPECT_EQ(ui.Shown(), std::vector<std::string>{});
        EXPECT_EQ(ui.CloseCount(), 1);
        EXPECT_EQ(ctx->m_nUpdateState, nb::kStateServerPage);
        EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), "[VERSION]\r\nbuild=" + std::to_string(build) +
                                                            "\r\nver=1.0." + std::to_string(build) + "\r\n");
        EXPECT_EQ(ctx->m_fDownDone, ctx->m_fDownTotal);
        EXPECT_GT(ctx->m_fDownTotal, 0.0f);
        EXPECT_EQ(ctx->m_fUnzipDone, ctx->m_fUnzipTotal);
        // The restart started the launcher this patch brought, with the kept token.
        EXPECT_EQ(TakeRestart(), m_install + "NbLauncher.exe\n[" + kToken + "]\n");
        EXPECT_NE(nb::test::ReadFile("NbLauncher.exe").find("# build " + std::to_string(build)),
                  std::string::npos);
        EXPECT_FALSE(nb::test::Exists("NBRK" + std::to_string(build) + ".nbupd.dlhalf!"));
    }

    for (const char* name : {"NbLauncher.exe", "data/common.pak", "data/level.pak", "data/new44.pak"})
        EXPECT_EQ(nb::test::ReadFile(name), nb::test::ReadFile(m_dir.File(std::string("b45/") + name)))
            << name;
    EXPECT_EQ(RequestedPaths(),
              (std::vector<std::string>{"GET /patches/NBRK44.nbupd", "GET /patches/NBRK45.nbupd"}));

    auto current = FreshRun();
    EXPECT_EQ(current->m_nLocalBuild, 45);
    EXPECT_EQ(current->m_nUpdateState, nb::kStateServerPage);
}

TEST_F(UpdateWorkerTest, ArchiveAlreadyPresentIsAppliedWithoutNetwork) {
    ASSERT_TRUE(nb::test::WriteTestZip(
        "NBRK44.nbupd",
        {TestZipItem::File("ncheck_v.txt", "[VERSION]\nbfrom=43\nbto=45\nfinal_version=1.0.45\n"),
         TestZipItem::File("data/x", "x")}));
    nb::test::RecordingUi ui;
    auto ctx = FreshRun();
    RunCycle(*ctx, ui);
    EXPECT_EQ(ui.Shown(), std::vector<std::string>{});
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), "[VERSION]\r\nbuild=45\r\nver=1.0.45\r\n");
    EXPECT_EQ(TakeRestart(), m_install + "NbLauncher.exe\n[" + kToken + "]\n");
    EXPECT_EQ(m_server.RequestCount(), 0u);
}

TEST_F(UpdateWorkerTest, AfterAFailureTheWorkerStartsNoFurtherStep) {
    // A rejected archive and a missing one each end the cycle and are not tried again.
    ASSERT_TRUE(nb::test::WriteTestZip(
        "NBRK44.nbupd",
        {TestZipItem::File("ncheck_v.txt", "[VERSION]\nbfrom=40\nbto=42\nfinal_version=old\n")}));
    {
        nb::test::RecordingUi ui;
        auto ctx = FreshRun();
        WorkerThread worker(*ctx);
        ASSERT_TRUE(ui.WaitForClose());
        ASSERT_TRUE(WaitForIdleRounds(3));  // a loop that tried again would have by now
        worker.Stop();
        EXPECT_EQ(ui.Shown(), std::vector<std::string>{"m14"});
        EXPECT_EQ(ctx->m_nUpdateState, nb::kStateApplyPatch);
        EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), "[VERSION]\r\nbuild=43\r\nver=1.0.43\r\n");
    }
    fs::remove("NBRK44.nbupd");
    {
        nb::test::RecordingUi ui;
        auto ctx = FreshRun();
        WorkerThread worker(*ctx);
        ASSERT_TRUE(ui.WaitForClose());
        ASSERT_TRUE(WaitForIdleRounds(3));
        worker.Stop();
        EXPECT_EQ(m_server.RequestCount(), 1u);
        EXPECT_EQ(ui.Shown(), (std::vector<std::string>{"m14", "m14"}));
        EXPECT_EQ(ctx->m_nUpdateState, nb::kStateDownloadPatch);
        EXPECT_FALSE(nb::test::Exists("NBRK44.nbupd"));
    }
    EXPECT_FALSE(nb::test::Exists("restart.txt"));
}

TEST_F(UpdateWorkerTest, StopEndsAnIdleWorkerAndARunningTransfer) {
    {
        nb::test::RecordingUi ui;
        auto ctx = FreshRun(43);  // current: nothing to do
        WorkerThread worker(*ctx);
        ASSERT_TRUE(WaitForIdleRounds(2));
        worker.Stop();
        EXPECT_EQ(ui.CloseCount(), 0);
        EXPECT_EQ(ui.Shown(), std::vector<std::string>{});
        EXPECT_EQ(m_server.RequestCount(), 0u);
    }
    m_server.Serve("/patches/NBRK44.nbupd", std::string(300000, 'p'));
    m_server.SetStallAfter(100000);
    nb::test::RecordingUi ui;
    auto ctx = FreshRun();
    {
        WorkerThread worker(*ctx);
        ASSERT_TRUE(m_server.WaitForStall());
        worker.Stop();  // returns although the server sends nothing more
    }
    m_server.ReleaseStall();
    // Ending on request is no failure: nothing shown, the partial file kept for a resume.
    EXPECT_EQ(ui.Shown(), std::vector<std::string>{});
    EXPECT_EQ(ui.CloseCount(), 0);
    EXPECT_FALSE(nb::test::Exists("NBRK44.nbupd"));
    EXPECT_TRUE(nb::test::Exists("NBRK44.nbupd.dlhalf!"));
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), "[VERSION]\r\nbuild=43\r\nver=1.0.43\r\n");
}
