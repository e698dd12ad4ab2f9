// The transfer seam against a bare server that answers byte for byte what the test says:
// the platform's HTTP library between them is the unit under test.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "RawHttpCapture.h"
#include "platform/HttpTransfer.h"

using namespace nb::platform;
using nb::test::RawHttpCapture;

namespace {

constexpr const char* kBlock = "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";

struct Received {
    int heads = 0;
    HttpHead head;
    std::string body;
};

HttpReceiver Into(Received& r) {
    HttpReceiver receiver;
    receiver.onHead = [&r](const HttpHead& head) {
        ++r.heads;
        r.head = head;
        return true;
    };
    receiver.onBody = [&r](const char* data, size_t size) {
        r.body.append(data, size);
        return true;
    };
    return receiver;
}

HttpRequest Get(const std::string& url) {
    HttpRequest request;
    request.url = url;
    request.agent = "Update Download NBRK2.nbupd";
    request.headers = kBlock;
    return request;
}

// The body a server announces but never finishes: ten bytes of a thousand.
const std::string kStalledReply = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789";

}  // namespace

TEST(HttpExchange, RangeRequestSendsTheBlockAndReceivesTheRawHeadAndTheBody) {
    RawHttpCapture server(
        "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 5-9/10\r\nContent-Length: 5\r\n"
        "Set-Cookie: PHPSESSID=abc; path=/\r\n\r\n56789");
    HttpRequest request = Get(server.Url("/patch/NBRK2.nbupd?x=1"));
    request.rangeStart = 5;
    Received r;
    const HttpResult result = HttpGet(request, Into(r));

    EXPECT_EQ(result.outcome, HttpOutcome::Completed) << result.error;
    EXPECT_EQ(r.heads, 1);
    EXPECT_EQ(result.head.status, 206);
    EXPECT_EQ(r.head.status, 206);
    EXPECT_TRUE(r.head.headers.starts_with("HTTP/1.1 206 Partial Content\r\n")) << r.head.headers;
    EXPECT_NE(r.head.headers.find("\r\nSet-Cookie: PHPSESSID=abc; path=/\r\n"), std::string::npos);
    EXPECT_TRUE(r.head.headers.ends_with("\r\n\r\n"));
    EXPECT_EQ(r.body, "56789");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& sent = requests[0];
    EXPECT_TRUE(sent.starts_with("GET /patch/NBRK2.nbupd?x=1 HTTP/1.1\r\n")) << sent;
    EXPECT_NE(sent.find("\r\nRange: bytes=5-\r\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("\r\nAccept: */*\r\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"), std::string::npos) << sent;
    // The block's agent wins over the session's, and no cookie store adds anything.
    EXPECT_EQ(sent.find("Update Download"), std::string::npos) << sent;
    EXPECT_EQ(sent.find("Cookie"), std::string::npos) << sent;
}

TEST(HttpExchange, ABodyThatEndsShortOrAnAnswerThatNeverComesIsNoSuccess) {
    Received cut;
    {
        RawHttpCapture server("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b");
        const HttpResult result = HttpGet(Get(server.Url("/f")), Into(cut));
        EXPECT_EQ(result.outcome, HttpOutcome::Broken) << result.error;
        EXPECT_EQ(result.head.status, 200);
        EXPECT_EQ(cut.body, "only ten b");
    }

    std::string closedPort;
    {
        RawHttpCapture server("");
        closedPort = server.Url("/nobody");
    }
    Received none;
    const HttpResult refused = HttpGet(Get(closedPort), Into(none));
    EXPECT_EQ(refused.outcome, HttpOutcome::NoReply);
    EXPECT_EQ(refused.head.status, 0);
    EXPECT_EQ(none.heads, 0);
    EXPECT_FALSE(refused.error.empty());
}

TEST(HttpExchange, SilentServerEndsAtTheStallLimitBeforeAndInsideTheBody) {
    {
        RawHttpCapture server(kStalledReply, true);
        HttpRequest request = Get(server.Url("/f"));
        request.stallSeconds = 1;
        Received r;
        const HttpResult result = HttpGet(request, Into(r));
        EXPECT_EQ(result.outcome, HttpOutcome::Stalled) << result.error;
        EXPECT_EQ(r.body, "0123456789");
    }
    {
        RawHttpCapture server("", true);  // reads the request, never answers
        HttpRequest request = Get(server.Url("/f"));
        request.stallSeconds = 1;
        Received r;
        const HttpResult result = HttpGet(request, Into(r));
        EXPECT_EQ(result.outcome, HttpOutcome::Stalled) << result.error;
        EXPECT_EQ(r.heads, 0);
    }
}

TEST(HttpExchange, StopFlagSetFromAnotherThreadEndsABlockedTransfer) {
    RawHttpCapture server(kStalledReply, true);
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable arrived;
    bool firstBlock = false;

    HttpRequest request = Get(server.Url("/f"));
    request.stop = &stop;
    HttpReceiver receiver;
    receiver.onBody = [&](const char*, size_t) {
        std::lock_guard lock(mutex);
        firstBlock = true;
        arrived.notify_all();
        return true;
    };
    // Set while the transfer waits for bytes that never come; without it the transfer would
    // only end at the 60 s stall limit, as Stalled.
    std::thread stopper([&] {
        std::unique_lock lock(mutex);
        arrived.wait(lock, [&] { return firstBlock; });
        stop = true;
    });
    const HttpResult result = HttpGet(request, receiver);
    stopper.join();
    EXPECT_EQ(result.outcome, HttpOutcome::Stopped) << result.error;
}

TEST(HttpExchange, RedirectsReachTheSeamWhichEndsAnEndlessChainWithoutABody) {
    // The platform library must not follow a redirect on its own: every hop is on the wire.
    RawHttpCapture server("HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 4\r\n\r\nbody");
    Received r;
    const HttpResult result = HttpGet(Get(server.Url("/first")), Into(r));
    EXPECT_EQ(result.outcome, HttpOutcome::RedirectRefused);
    EXPECT_EQ(r.heads, 0);
    EXPECT_EQ(r.body, "");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), static_cast<size_t>(kMaxHttpRedirects) + 1);
    EXPECT_TRUE(requests.back().starts_with("GET /again HTTP/1.1\r\n")) << requests.back();
}
