#include "update/Download.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "LoopbackServer.h"
#include "RawHttpCapture.h"
#include "RecordingUi.h"
#include "TestPaths.h"
#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "platform/Files.h"
#include "platform/HttpTransfer.h"
#include "platform/Sleep.h"

using namespace nb;
using nb::test::LoopbackServer;

namespace {

// Bytes of every value, so that a shifted or repeated block shows.
std::string Payload(size_t size, unsigned seed = 1) {
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_context.m_MessageTable[14] = "msg14";
        m_context.m_MessageTable[32] = "msg32";
        SetTheContext(&m_context);
    }
    void TearDown() override {
        platform::SetSleepObserver(nullptr);
        SetDownloadRetryPauses({});
        SetDownloadStopFlag(nullptr);
        platform::SetHttpLimits(0, 0);
        SetTheContext(nullptr);
    }

    std::string Temp(const std::string& name) const { return m_dir.File(name + ".dlhalf!"); }
    float Total() const { return m_context.m_fDownTotal.load(); }
    float Done() const { return m_context.m_fDownDone.load(); }

    test::ScopedTempDir m_dir;
    test::ScopedChdir m_cwd{m_dir.Path()};
    LauncherContext m_context;
    nb::test::RecordingUi m_ui;
    LoopbackServer m_server;
};

using Shown = std::vector<std::string>;

TEST_F(DownloadTest, FreshDownloadRenamesTheTemporaryFileAndTracesItsNames) {
    const std::string body = Payload(300000);
    m_server.Serve("/p/NBRK12.nbupd", body);
    ASSERT_TRUE(platform::MakeFolder(m_dir.File("sub")));

    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/p/NBRK12.nbupd"), "sub/NBRK12.nbupd", false));

    EXPECT_EQ(test::ReadFile(m_dir.File("sub/NBRK12.nbupd")), body);
    EXPECT_FALSE(test::Exists(Temp("sub/NBRK12.nbupd")));
    ASSERT_EQ(m_server.RequestCount(), 1u);
    EXPECT_FALSE(m_server.Requests()[0].HasHeader("Range"));
    EXPECT_EQ(Total(), 300000.0f);
    EXPECT_EQ(Done(), 300000.0f);
    EXPECT_EQ(test::ReadTextFile(m_dir.File("log1.txt")),
              "m_strTmpFileName = sub/NBRK12.nbupd.dlhalf!\n"
              "strAgentCaption = Update Download NBRK12.nbupd\n");
    EXPECT_EQ(m_ui.Shown(), Shown{});
}

TEST_F(DownloadTest, PartialFileIsResumedFromItsLength) {
    const std::string body = Payload(120000, 2);
    m_server.Serve("/f", body);
    test::WriteFile(Temp("f"), body.substr(0, 52000));

    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/f"), "f", false));

    EXPECT_EQ(test::ReadFile("f"), body);
    ASSERT_EQ(m_server.RequestCount(), 1u);
    EXPECT_EQ(m_server.Requests()[0].Header("Range"), "bytes=52000-");
    EXPECT_EQ(Total(), 120000.0f);  // 52000 held + 68000 announced
    EXPECT_EQ(Done(), 120000.0f);
}

TEST_F(DownloadTest, ConnectionCutMidBodyKeepsTheBytesForTheNextAttempt) {
    const std::string body = Payload(100000, 3);
    m_server.Serve("/f", body);
    m_server.SetCutAfter(30000);

    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
    EXPECT_EQ(test::ReadFile(Temp("f")), body.substr(0, 30000));
    EXPECT_FALSE(test::Exists("f"));
    EXPECT_EQ(m_ui.Shown(), Shown{});

    m_server.SetCutAfter(LoopbackServer::npos);
    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
    EXPECT_EQ(test::ReadFile("f"), body);
    EXPECT_EQ(m_server.Requests().back().Header("Range"), "bytes=30000-");
}

TEST_F(DownloadTest, BodyWithoutLengthRunsToTheEnd) {
    const std::string body = Payload(200000, 4);
    m_server.Serve("/f", body);
    m_server.SetChunked(true);
    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
    EXPECT_EQ(test::ReadFile("f"), body);
}

TEST_F(DownloadTest, NotFoundShowsMessage14AndLeavesTheTemporaryFileAlone) {
    test::WriteFile(Temp("f"), "partial");
    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/missing"), "f", false));
    EXPECT_EQ(m_ui.Shown(), Shown{"msg14"});
    EXPECT_EQ(test::ReadFile(Temp("f")), "partial");
    EXPECT_FALSE(test::Exists("f"));
}

TEST_F(DownloadTest, OtherErrorStatusesWriteNothing) {
    for (int status : {500, 403, 503}) {
        SCOPED_TRACE(status);
        m_server.SetFixedStatus(status, "<html>error page</html>");
        test::WriteFile(Temp("f"), "partial");
        EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
        EXPECT_EQ(test::ReadFile(Temp("f")), "partial");

        test::RemoveFile(Temp("f"));
        EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
        EXPECT_EQ(test::ReadFile(Temp("f")), "");
        EXPECT_FALSE(test::Exists("f"));
    }
    EXPECT_EQ(m_ui.Shown(), Shown{});
}

TEST_F(DownloadTest, ServerIgnoringRangeRestartsFromTheFirstByte) {
    const std::string body = Payload(90000, 5);
    m_server.Serve("/f", body);
    m_server.SetIgnoreRange(true);
    test::WriteFile(Temp("f"), Payload(40000, 99));  // stale bytes of another file

    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
    EXPECT_EQ(test::ReadFile("f"), body);
    EXPECT_EQ(m_server.Requests()[0].Header("Range"), "bytes=40000-");
    EXPECT_EQ(Total(), 90000.0f);
}

TEST_F(DownloadTest, UnsatisfiableRangeOverAWholeFileCompletesIt) {
    const std::string body = Payload(64000, 6);
    m_server.Serve("/f", body);
    test::WriteFile(Temp("f"), body);

    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
    EXPECT_EQ(test::ReadFile("f"), body);
    EXPECT_FALSE(test::Exists(Temp("f")));
    EXPECT_EQ(Total(), 64000.0f);
    EXPECT_EQ(Done(), 64000.0f);
}

TEST_F(DownloadTest, PartialFileThatCannotBeResumedIsFetchedAgainWholeOnce) {
    const std::string body = Payload(64000, 7);
    m_server.Serve("/f", body);

    // Longer than the file on the server (the file shrank since): 416 with another size.
    test::WriteFile(Temp("f"), body + "tail");
    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
    EXPECT_EQ(test::ReadFile("f"), body);
    ASSERT_EQ(m_server.RequestCount(), 2u);
    EXPECT_EQ(m_server.Requests()[0].Header("Range"), "bytes=64004-");
    EXPECT_FALSE(m_server.Requests()[1].HasHeader("Range"));
    EXPECT_EQ(Total(), 64000.0f);

    // A 206 that starts elsewhere than the end of the temporary file; the second request,
    // without Range, gets the whole file.
    m_server.Handle("/g", [&](const LoopbackServer::Request& request) {
        LoopbackServer::Reply reply;
        reply.body = body;
        if (request.HasHeader("Range")) {
            reply.status = 206;
            reply.body = body.substr(0, 1000);
            reply.headers = {{"Content-Range", "bytes 0-999/64000"}};
        }
        return reply;
    });
    test::WriteFile(Temp("g"), Payload(500, 70));
    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/g"), "g", false));
    EXPECT_EQ(test::ReadFile("g"), body);
    EXPECT_EQ(m_server.RequestCount(), 4u);
    EXPECT_EQ(m_ui.Shown(), Shown{});
}

TEST_F(DownloadTest, RefetchIsTriedOnceAndNeverKeepsAnErrorBody) {
    // The server answers every request with the same misplaced part: the whole request takes
    // it as the file's first 1000 bytes, which is not the whole file, so no success.
    const std::string body = Payload(64000, 11);
    m_server.Handle("/f", [&](const LoopbackServer::Request&) {
        LoopbackServer::Reply reply;
        reply.status = 206;
        reply.body = body.substr(0, 1000);
        reply.headers = {{"Content-Range", "bytes 0-999/64000"}};
        return reply;
    });
    test::WriteFile(Temp("f"), Payload(500, 71));
    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
    EXPECT_EQ(m_server.RequestCount(), 2u);
    EXPECT_EQ(test::ReadFile(Temp("f")), body.substr(0, 1000));
    EXPECT_FALSE(test::Exists("f"));

    // 416 with another size, then an error page to the whole request: the stale bytes are
    // gone and the error page is not written.
    int calls = 0;
    m_server.Handle("/g", [&](const LoopbackServer::Request&) {
        LoopbackServer::Reply reply;
        reply.status = ++calls == 1 ? 416 : 500;
        reply.body = "<html>error page</html>";
        if (calls == 1) reply.headers = {{"Content-Range", "bytes */10"}};
        return reply;
    });
    test::WriteFile(Temp("g"), Payload(20, 72));
    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/g"), "g", false));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(test::ReadFile(Temp("g")), "");
    EXPECT_EQ(m_ui.Shown(), Shown{});
}

TEST_F(DownloadTest, PartialReplyFromTheFirstByteToAWholeRequestIsTheBody) {
    auto partial = [](std::string range, std::string part) {
        return [range, part](const LoopbackServer::Request&) {
            LoopbackServer::Reply reply;
            reply.status = 206;
            reply.body = part;
            reply.headers = {{"Content-Range", range}};
            return reply;
        };
    };
    m_server.Handle("/whole", partial("bytes 0-4/5", "hello"));
    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/whole"), "a", false));
    EXPECT_EQ(test::ReadFile("a"), "hello");

    // Starting elsewhere, it is no file at all.
    m_server.Handle("/tail", partial("bytes 5-9/10", "world"));
    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/tail"), "b", false));
    EXPECT_EQ(test::ReadFile(Temp("b")), "");
    EXPECT_EQ(m_server.RequestCount(), 2u);
    EXPECT_EQ(m_ui.Shown(), Shown{});
}

LoopbackServer::Handler RedirectTo(std::string location) {
    return [location](const LoopbackServer::Request&) {
        LoopbackServer::Reply reply;
        reply.status = 302;
        reply.body = "moved";
        reply.headers = {{"Location", location}};
        return reply;
    };
}

TEST_F(DownloadTest, RedirectIsFollowedOverHttpOnly) {
    m_server.Serve("/dir/real", "content");
    m_server.Handle("/moved", RedirectTo(m_server.Url("/dir/first")));
    m_server.Handle("/dir/first", RedirectTo("real"));
    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/moved"), "f", false));
    EXPECT_EQ(test::ReadFile("f"), "content");
    EXPECT_EQ(m_server.RequestCount(), 3u);

    // Another scheme is never reached (nor https from a plain server that cannot speak it),
    // and the redirect's own body is no data.
    test::WriteFile(m_dir.File("secret"), "local file");
    const std::string hostPort = m_server.HostPort();
    for (const std::string& location :
         {"https://" + hostPort + "/dir/real", "ftp://" + hostPort + "/dir/real",
          "file://" + m_dir.File("secret")}) {
        SCOPED_TRACE(location);
        m_ui.ClearShown();
        const size_t before = m_server.RequestCount();
        m_server.Handle("/elsewhere", RedirectTo(location));
        EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/elsewhere"), "g", false));
        EXPECT_EQ(m_server.RequestCount(), before + 1);
        EXPECT_EQ(test::ReadFile(Temp("g")), "");
        EXPECT_FALSE(test::Exists("g"));
        EXPECT_EQ(m_ui.Shown(), Shown{"msg14"});
    }
}

TEST_F(DownloadTest, StalledTransferGivesUpAndKeepsWhatArrived) {
    // Short, but long enough that the first bytes always arrive before it.
    platform::SetHttpLimits(0, 2);
    const std::string body = Payload(50000, 8);
    m_server.Serve("/f", body);
    m_server.SetStallAfter(10000);

    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
    EXPECT_EQ(test::ReadFile(Temp("f")), body.substr(0, 10000));
    EXPECT_FALSE(test::Exists("f"));
    EXPECT_EQ(m_ui.Shown(), Shown{});
}

TEST_F(DownloadTest, StopFlagEndsARunningTransfer) {
    const std::string body = Payload(50000, 9);
    m_server.Serve("/f", body);
    m_server.SetStallAfter(10000);
    std::atomic<bool> stop{false};
    SetDownloadStopFlag(&stop);

    auto result =
        std::async(std::launch::async, [&] { return DownloadUrlToFile(m_server.Url("/f"), "f", false); });
    ASSERT_TRUE(m_server.WaitForStall());
    // Once the sent bytes are in the file, the transfer is waiting for more.
    for (int i = 0; i < 2000 && Done() < 10000.0f; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    // Should the flag be ignored, the server finishes the body and the download succeeds.
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) m_server.ReleaseStall();
    EXPECT_FALSE(result.get());
    EXPECT_EQ(test::ReadFile(Temp("f")), body.substr(0, 10000));
    EXPECT_EQ(m_ui.Shown(), Shown{});
}

TEST_F(DownloadTest, BrokenTransferIsResumedWithinTheCallUntilTheRetriesRunOut) {
    SetDownloadRetryPauses({1, 1, 1, 1, 1});
    const std::string body = Payload(100000, 12);
    m_server.Serve("/f", body);
    m_server.SetCutAfter(30000);

    // Each retry asks for the bytes after those kept, so four transfers make the file.
    ASSERT_TRUE(DownloadUrlToFile(m_server.Url("/f"), "f", false, nullptr, DownloadRetries::kOnBreak));
    EXPECT_EQ(test::ReadFile("f"), body);
    std::vector<std::string> ranges;
    for (const auto& request : m_server.Requests()) ranges.push_back(request.Header("Range"));
    EXPECT_EQ(ranges, (std::vector<std::string>{"", "bytes=30000-", "bytes=60000-", "bytes=90000-"}));
    const std::string log = test::ReadTextFile(m_dir.File("log1.txt"));
    EXPECT_NE(log.find("the connection broke after 30000 bytes; try 1 of 5 in 1 ms\n"), std::string::npos) << log;
    EXPECT_NE(log.find("the connection broke after 90000 bytes; try 3 of 5 in 1 ms\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("try 4 of 5"), std::string::npos);

    // A link that keeps breaking: five retries, then false, with every byte that came kept.
    m_server.Serve("/g", body);
    m_server.SetCutAfter(10000);
    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/g"), "g", false, nullptr, DownloadRetries::kOnBreak));
    EXPECT_EQ(test::ReadFile(Temp("g")), body.substr(0, 60000));
    ASSERT_EQ(m_server.RequestCount(), 10u);
    EXPECT_EQ(m_server.Requests().back().Header("Range"), "bytes=50000-");
    EXPECT_EQ(m_ui.Shown(), Shown{});

    // What is no break is asked for once.
    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/missing"), "h", false, nullptr, DownloadRetries::kOnBreak));
    EXPECT_EQ(m_server.RequestCount(), 11u);
    EXPECT_EQ(m_ui.Shown(), Shown{"msg14"});
}

std::atomic<bool>* g_stopAtPause = nullptr;
std::atomic<int> g_pauseSlices{0};
void StopAtPause(unsigned) {
    ++g_pauseSlices;
    if (g_stopAtPause) *g_stopAtPause = true;
}

TEST_F(DownloadTest, StopFlagEndsThePauseBeforeARetry) {
    SetDownloadRetryPauses({60000});
    m_server.Serve("/f", Payload(100000, 13));
    m_server.SetCutAfter(30000);
    std::atomic<bool> stop{false};
    SetDownloadStopFlag(&stop);
    g_stopAtPause = &stop;
    g_pauseSlices = 0;
    platform::SetSleepObserver(StopAtPause);

    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/f"), "f", false, nullptr, DownloadRetries::kOnBreak));
    g_stopAtPause = nullptr;
    // The minute's pause ends at its first slice after the flag: no retry, nothing shown.
    EXPECT_EQ(g_pauseSlices.load(), 1);
    EXPECT_EQ(m_server.RequestCount(), 1u);
    EXPECT_EQ(test::ReadFile(Temp("f")).size(), 30000u);
    EXPECT_EQ(m_ui.Shown(), Shown{});
}

// Reports the rate instead of asserting it, which depends on the machine; the benchmark keeps
// the measured rate. What must hold everywhere: small paced reads still make the whole file.
TEST_F(DownloadTest, SpeedLimitPacesTheTransferAndKeepsItWhole) {
    const std::string body = Payload(128 * 1024, 14);
    m_server.Serve("/f", body);
    SetDownloadSpeedLimit(64 * 1024);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = DownloadUrlToFile(m_server.Url("/f"), "f", false);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    SetDownloadSpeedLimit(0);
    ASSERT_TRUE(ok);
    EXPECT_EQ(test::ReadFile("f"), body);
    const double rate = 128.0 / seconds;
    RecordProperty("limited_kib_per_s", std::to_string(rate));
    std::printf("limit 64 KiB/s: 128 KiB in %.2f s, %.1f KiB/s\n", seconds, rate);
}

TEST_F(DownloadTest, OnlyHttpAndHttpsAreFetched) {
    m_server.Serve("/f", "x");
    const std::string hostPort = m_server.HostPort();
    for (const std::string& url : {"ftp://" + hostPort + "/f", "file://" + m_dir.File("f")}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(DownloadUrlToFile(url, "f", false));
    }
    EXPECT_EQ(m_server.RequestCount(), 0u);
    EXPECT_FALSE(test::Exists(Temp("f")));
    EXPECT_EQ(m_ui.Shown(), Shown{});
    // The scheme is checked after the names are traced.
    EXPECT_NE(test::ReadTextFile("log1.txt").find("m_strTmpFileName = f.dlhalf!\n"), std::string::npos);

    ASSERT_TRUE(DownloadUrlToFile("HTTP://" + hostPort + "/f", "f", false));
    EXPECT_EQ(test::ReadFile("f"), "x");
}

TEST_F(DownloadTest, TextThatIsNoAddressFailsWithTheBoxUnlessQuiet) {
    for (const char* text : {"zonelist.xml", "", "://host/x", "1http://host/x", "127.0.0.1:80/x"}) {
        SCOPED_TRACE(text);
        m_ui.ClearShown();
        EXPECT_FALSE(DownloadUrlToFile(text, "f", false));
        EXPECT_EQ(m_ui.Shown(), Shown{"box:URL info erro/ERRO"});
        m_ui.ClearShown();
        EXPECT_FALSE(DownloadUrlToFile(text, "f", true));
        EXPECT_EQ(m_ui.Shown(), Shown{});
    }
    EXPECT_FALSE(test::Exists(Temp("f")));
    EXPECT_FALSE(test::Exists("log1.txt"));
}

TEST_F(DownloadTest, UnreachableServerShowsMessage14) {
    // A port that was just free: nothing listens there.
    int port;
    {
        LoopbackServer gone;
        port = gone.Port();
    }
    EXPECT_FALSE(DownloadUrlToFile("http://127.0.0.1:" + std::to_string(port) + "/f", "f", true));
    EXPECT_EQ(m_ui.Shown(), Shown{"msg14"});
}

TEST_F(DownloadTest, TemporaryFileThatCannotBeOpenedShowsMessage14) {
    m_server.Serve("/f", "x");
    EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/f"), "no-such-folder/f", false));
    EXPECT_EQ(m_ui.Shown(), Shown{"msg14"});

    // Another download appending to the same temporary file holds it.
    m_ui.ClearShown();
    {
        test::ScopedWriteHold other(Temp("f"));
        ASSERT_TRUE(other.Held());
        EXPECT_FALSE(DownloadUrlToFile(m_server.Url("/f"), "f", false));
    }
    EXPECT_EQ(m_ui.Shown(), Shown{"msg14"});
    EXPECT_EQ(m_server.RequestCount(), 0u);
}

TEST_F(DownloadTest, PatchAlreadyPresentIsUsedWithoutAnyRequest) {
    test::WriteFile("NBRK3.nbupd", "");
    m_context.m_strPatchFile = "NBRK3.nbupd";
    m_context.m_strUpdateURL = m_server.Url("/patch/NBRK3.nbupd");
    m_context.m_nUpdateState = kStateDownloadPatch;

    EXPECT_TRUE(m_context.DownloadPatch());
    EXPECT_EQ(m_context.m_nUpdateState.load(), kStateApplyPatch);
    EXPECT_EQ(m_server.RequestCount(), 0u);
    std::string log = test::ReadFile("log1.txt");
    std::erase(log, '\r');
    EXPECT_EQ(log, "patches are not verified: this launcher has no release key\n");
}

TEST_F(DownloadTest, PatchDownloadMovesToApplyOrReportsTwice) {
    m_context.m_strPatchFile = "NBRK4.nbupd";
    m_context.m_nUpdateState = kStateDownloadPatch;

    m_context.m_strUpdateURL = m_server.Url("/patch/NBRK4.nbupd");
    EXPECT_FALSE(m_context.DownloadPatch());
    EXPECT_EQ(m_ui.Shown(), (Shown{"msg14", "msg14"}));
    EXPECT_EQ(m_context.m_nUpdateState.load(), kStateDownloadPatch);

    m_ui.ClearShown();
    m_context.m_strUpdateURL = "NBRK4.nbupd";
    EXPECT_FALSE(m_context.DownloadPatch());
    EXPECT_EQ(m_ui.Shown(), (Shown{"box:URL info erro/ERRO", "msg14"}));

    m_ui.ClearShown();
    m_server.Serve("/patch/NBRK4.nbupd", "zipbytes");
    m_context.m_strUpdateURL = m_server.Url("/patch/NBRK4.nbupd");
    EXPECT_TRUE(m_context.DownloadPatch());
    EXPECT_EQ(m_context.m_nUpdateState.load(), kStateApplyPatch);
    EXPECT_EQ(test::ReadFile("NBRK4.nbupd"), "zipbytes");
    EXPECT_EQ(m_ui.Shown(), Shown{});
}

TEST_F(DownloadTest, StoppedPatchDownloadIsNotReported) {
    m_server.Serve("/patch/NBRK5.nbupd", Payload(1000));
    m_context.m_strPatchFile = "NBRK5.nbupd";
    m_context.m_strUpdateURL = m_server.Url("/patch/NBRK5.nbupd");
    std::atomic<bool> stop{true};
    SetDownloadStopFlag(&stop);

    EXPECT_FALSE(m_context.DownloadPatch());
    EXPECT_EQ(m_ui.Shown(), Shown{});
    EXPECT_FALSE(test::Exists("NBRK5.nbupd"));
}

}  // namespace
