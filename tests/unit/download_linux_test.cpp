// Rules of the download that only the Linux build can show: a disk that refuses bytes (a
// file size limit stands in for a full disk), the exact bytes of the request (libcurl sends
// the block as it is; WinINet formats it its own way, the Host line last and the blanks
// after a colon folded), and a chunked body that breaks off (Wine's WinINet ends such a
// body at the closed connection without telling whether its last chunk came).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "LoopbackServer.h"
#include "RawHttpCapture.h"
#include "RecordingUi.h"
#include "TestPaths.h"
#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "update/Download.h"

using namespace nb;

namespace {

class DownloadLinuxTest : public ::testing::Test {
protected:
    void SetUp() override {
        context.m_MessageTable[14] = "msg14";
        context.m_MessageTable[32] = "msg32";
        SetTheContext(&context);
    }
    void TearDown() override { SetTheContext(nullptr); }

    test::ScopedTempDir dir;
    test::ScopedChdir cwd{dir.Path()};
    LauncherContext context;
    test::RecordingUi ui;
    test::LoopbackServer server;
};

std::string Temp(const std::string& name) { return name + ".dlhalf!"; }

TEST_F(DownloadLinuxTest, WriteErrorShowsMessage32AndKeepsTheWrittenBytes) {
    std::string body(3000000, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    server.Serve("/f", body);
    test::WriteFile(dir.File("f.dlhalf!"), body.substr(0, 1000));

    // A file size limit makes the disk refuse bytes past 2 MB, as a full disk would.
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = 2000000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool ok = DownloadUrlToFile(server.Url("/f"), "f", false);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(ui.Shown(), std::vector<std::string>{"msg32"});
    const std::string kept = test::ReadFile(dir.File("f.dlhalf!"));
    EXPECT_GE(kept.size(), 1000u);
    EXPECT_LE(kept.size(), 2000000u);
    EXPECT_EQ(kept, body.substr(0, kept.size()));
}

TEST_F(DownloadLinuxTest, RequestCarriesExactlyTheFixedHeaderLinesAndTheNoCachePragma) {
    test::RawHttpCapture fresh("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
    ASSERT_TRUE(DownloadUrlToFile(fresh.Url("/a.txt"), "a.txt", true));
    EXPECT_EQ(test::ReadFile("a.txt"), "hello");
    const std::string host = fresh.Url("").substr(7);
    ASSERT_EQ(fresh.Requests().size(), 1u);
    EXPECT_EQ(fresh.Requests()[0],
              "GET /a.txt HTTP/1.1\r\nHost: " + host +
                  "\r\nAccept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
                  "Pragma: no-cache\r\n\r\n");

    // A partial file of 52000 bytes adds the Range line after the fixed block.
    test::RawHttpCapture resumed(
        "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 52000-52004/52005\r\nContent-Length: 5\r\n"
        "Connection: close\r\n\r\nworld");
    const std::string head = std::string(52000, 'p');
    test::WriteFile(Temp("b.bin"), head);
    ASSERT_TRUE(DownloadUrlToFile(resumed.Url("/b.bin"), "b.bin", true));
    EXPECT_EQ(test::ReadFile("b.bin"), head + "world");
    const std::string host2 = resumed.Url("").substr(7);
    ASSERT_EQ(resumed.Requests().size(), 1u);
    EXPECT_EQ(resumed.Requests()[0],
              "GET /b.bin HTTP/1.1\r\nHost: " + host2 +
                  "\r\nAccept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
                  "Pragma: no-cache\r\nRange: bytes=52000-\r\n\r\n");
}

TEST_F(DownloadLinuxTest, ChunkedBodyThatBreaksOffIsNoCompleteFile) {
    const std::string body(200000, 'c');
    server.Serve("/f", body);
    server.SetChunked(true);
    server.SetCutAfter(70000);
    EXPECT_FALSE(DownloadUrlToFile(server.Url("/f"), "g", false));
    EXPECT_EQ(test::ReadFile(Temp("g")), body.substr(0, 70000));
    EXPECT_FALSE(test::Exists("g"));
}

}  // namespace
