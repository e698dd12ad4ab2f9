// The transfer seam's own rules: where a redirect leads, which addresses a request may reach,
// and what the receiver is shown of a response.
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "RawHttpCapture.h"
#include "platform/HttpTransfer.h"

using namespace nb::platform;
using nb::test::LoopbackServer;

namespace {

TEST(HttpAddresses, LocationIsResolvedAgainstTheAnsweringAddress) {
    const std::string base = "http://h:81/a/b/c.php?x=1#f";
    EXPECT_EQ(ResolveLocation(base, "https://other/x"), "https://other/x");
    EXPECT_EQ(ResolveLocation(base, "//other:82/y"), "http://other:82/y");
    EXPECT_EQ(ResolveLocation(base, "/root?q=2"), "http://h:81/root?q=2");
    EXPECT_EQ(ResolveLocation(base, "d.png"), "http://h:81/a/b/d.png");
    EXPECT_EQ(ResolveLocation(base, "../d/./e"), "http://h:81/a/d/e");
    EXPECT_EQ(ResolveLocation(base, "../../../../up"), "http://h:81/up");
    EXPECT_EQ(ResolveLocation(base, "?y=2"), "http://h:81/a/b/c.php?y=2");
    EXPECT_EQ(ResolveLocation(base, " d.png "), "http://h:81/a/b/d.png");
    EXPECT_EQ(ResolveLocation("http://h", "d"), "http://h/d");
    EXPECT_EQ(ResolveLocation("http://h/a/", ".."), "http://h/");
}

TEST(HttpAddresses, OnlyTheRequestsSchemesWithAHostAreReachable) {
    EXPECT_TRUE(SchemeAllowed("http://h/x", HttpSchemes::HttpOnly));
    EXPECT_TRUE(SchemeAllowed("HTTP://h/x", HttpSchemes::HttpOnly));
    EXPECT_FALSE(SchemeAllowed("https://h/x", HttpSchemes::HttpOnly));
    EXPECT_TRUE(SchemeAllowed("https://h/x", HttpSchemes::HttpOrHttps));
    for (const char* url : {"ftp://h/x", "file:///etc/x", "http:///x", "http://", "h/x", ""}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(SchemeAllowed(url, HttpSchemes::HttpOrHttps));
    }
    EXPECT_EQ(UrlScheme("svn+ssh://h"), "svn+ssh");
    EXPECT_EQ(UrlScheme("1http://h"), "");
}

TEST(HttpAddresses, HeaderValueIsTheFirstLineOfThatNameTrimmed) {
    const std::string head =
        "HTTP/1.1 206 Partial\r\ncontent-range:  bytes 0-4/5 \r\nX: 1\r\nContent-Range: second\r\n\r\n";
    EXPECT_EQ(HttpHeaderValue(head, "Content-Range"), "bytes 0-4/5");
    EXPECT_EQ(HttpHeaderValue(head, "x"), "1");
    EXPECT_EQ(HttpHeaderValue(head, "Content"), std::nullopt);
    EXPECT_EQ(HttpHeaderValue(head, "HTTP/1.1 206 Partial"), std::nullopt);
}

TEST(HttpGet, ReceiverSeesOnlyTheFinalResponse) {
    nb::test::RawHttpCapture server(
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-A: b\r\n\r\nok");
    std::vector<HttpHead> heads;
    std::string body;
    HttpRequest request;
    request.url = server.Url("/x");
    request.headers = "X-Mine: 1\r\n";
    request.rangeStart = 7;
    HttpReceiver receiver;
    receiver.onHead = [&](const HttpHead& head) {
        heads.push_back(head);
        return true;
    };
    receiver.onBody = [&](const char* data, size_t size) {
        body.append(data, size);
        return true;
    };
    const HttpResult result = HttpGet(request, receiver);
    EXPECT_EQ(result.outcome, HttpOutcome::Completed);
    ASSERT_EQ(heads.size(), 1u);
    EXPECT_EQ(heads[0].status, 200);
    EXPECT_EQ(heads[0].headers, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-A: b\r\n\r\n");
    EXPECT_EQ(body, "ok");
    ASSERT_EQ(server.Requests().size(), 1u);
    // The Range line follows the block (WinINet puts its Host line last).
    EXPECT_NE(server.Requests()[0].find("\r\nX-Mine: 1\r\nRange: bytes=7-\r\n"), std::string::npos);
}

TEST(HttpGet, RedirectChainEndsAtTheLimitAndDeclinedBodiesStayUnread) {
    LoopbackServer server;
    server.Handle("/loop", [&](const LoopbackServer::Request&) {
        LoopbackServer::Reply reply;
        reply.status = 301;
        reply.headers = {{"Location", "/loop"}};
        return reply;
    });
    HttpRequest request;
    request.url = server.Url("/loop");
    size_t bodyBytes = 0;
    HttpReceiver receiver;
    receiver.onBody = [&](const char*, size_t size) {
        bodyBytes += size;
        return true;
    };
    HttpResult result = HttpGet(request, receiver);
    EXPECT_EQ(result.outcome, HttpOutcome::RedirectRefused);
    EXPECT_EQ(server.RequestCount(), 11u);
    EXPECT_EQ(bodyBytes, 0u);

    // Not following, the redirect is the answer.
    request.followRedirects = false;
    result = HttpGet(request, receiver);
    EXPECT_EQ(result.outcome, HttpOutcome::Completed);
    EXPECT_EQ(result.head.status, 301);

    server.Serve("/f", "body");
    request.url = server.Url("/f");
    receiver.onHead = [](const HttpHead&) { return false; };
    result = HttpGet(request, receiver);
    EXPECT_EQ(result.outcome, HttpOutcome::Declined);
    EXPECT_EQ(result.head.status, 200);
    EXPECT_EQ(bodyBytes, 0u);
}

}  // namespace
