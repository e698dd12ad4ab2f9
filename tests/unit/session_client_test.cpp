#include <gtest/gtest.h>

#include <future>
#include <string>

#include "LoopbackServer.h"
#include "TestHosts.h"
#include "TestPaths.h"
#include "app/Endpoints.h"
#include "app/LauncherContext.h"
#include "login/SessionClient.h"
#include "platform/HttpTransfer.h"

using namespace nb;
using namespace nb::test;

namespace {

// Bytes a text-mode or string-based copy would damage: zero bytes, CR LF, ^Z, high bytes.
constexpr char kPictureBytes[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe\r\n\x00tail";
const std::string kPicture(kPictureBytes, sizeof kPictureBytes - 1);

class SessionClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        endpoints::OverrideHostsForTests(test::kConfigHostForTests, test::kPortalHostForTests,
                                         m_service.HostPort());
    }
    void TearDown() override {
        endpoints::OverrideHostsForTests(NB_CONFIG_HOST, NB_PORTAL_HOST, NB_ACCOUNT_HOST);
        platform::SetHttpLimits(0, 0);
    }

    std::string Log() const { return ReadTextFile(m_dir.File("log1.txt")); }
    // Written in text mode, as the reply file is.
    std::string Reply() const { return ReadTextFile(m_dir.File(kLoginReplyFile)); }
    std::string ServiceUrl(const std::string& target) const {
        return "http://" + m_service.HostPort() + target;
    }

    ScopedTempDir m_dir;
    ScopedChdir m_cwd{m_dir.Path()};
    LoopbackServer m_service;
    LauncherContext m_context;
};

TEST_F(SessionClientTest, ReplyFetchStoresTheBodyAndTracesTheMaskedAddress) {
    m_service.Answer("/interface/login.php", {200, "<r>\r\n<result>1</result></r>", {}});
    const std::string target = "/interface/login.php?u=abc&p=0123abcd&g=rk&t=xml&c=k9&p2=sess42&s=3";

    ASSERT_TRUE(FetchToLoginReply(ServiceUrl(target)));

    EXPECT_EQ(Reply(), "<r>\r\n<result>1</result></r>");
    const auto requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, target);
    EXPECT_EQ(requests[0].HeaderCount("User-Agent"), 1u);
    EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/5.0");
    // Neither the digest nor the session id reaches the log.
    EXPECT_EQ(Log(), "http://" + m_service.HostPort() +
                         "/interface/login.php?u=abc&p=***&g=rk&t=xml&c=k9&p2=***&s=3 \nhSession != NULL\n");
}

TEST_F(SessionClientTest, ReplyFetchWritesEmptyBodiesAndErrorPagesAsTheyCome) {
    WriteFile(m_dir.File(kLoginReplyFile), "<old><result>1</result></old>");
    m_service.Answer("/empty", {200, "", {}});
    m_service.Answer("/broken", {500, "Internal Server Error", {}});

    ASSERT_TRUE(FetchToLoginReply(ServiceUrl("/empty")));
    EXPECT_TRUE(Exists(m_dir.File(kLoginReplyFile)));
    EXPECT_EQ(Reply(), "");

    ASSERT_TRUE(FetchToLoginReply(ServiceUrl("/broken")));
    EXPECT_EQ(Reply(), "Internal Server Error");
}

TEST_F(SessionClientTest, FailedReplyFetchLeavesNoStaleReply) {
    WriteFile(m_dir.File(kLoginReplyFile), "<old><result>1</result></old>");

    EXPECT_FALSE(FetchToLoginReply("http://" + ClosedLoopbackHost() + "/interface/login.php?u=a&p=b"));
    EXPECT_FALSE(Exists(m_dir.File(kLoginReplyFile)));
    EXPECT_NE(Log().find("/interface/login.php?u=a&p=*** \nhSession != NULL\n"), std::string::npos);

    WriteFile(m_dir.File(kLoginReplyFile), "<old/>");
    EXPECT_FALSE(FetchToLoginReply(""));
    EXPECT_FALSE(Exists(m_dir.File(kLoginReplyFile)));

    // Only web addresses are fetched.
    WriteFile(m_dir.File("secret.txt"), "<r><result>1</result></r>");
    EXPECT_FALSE(FetchToLoginReply("file://" + m_dir.File("secret.txt")));
    EXPECT_FALSE(Exists(m_dir.File(kLoginReplyFile)));
}

TEST(SessionId, ValueCountsOnlyWhenASemicolonClosesIt) {
    ScopedTempDir dir;
    ScopedChdir cwd(dir.Path());
    EXPECT_EQ(ExtractSessionId("HTTP/1.1 200 OK\r\nSet-Cookie: PHPSESSID=abc; path=/\r\n\r\n"), "abc");
    EXPECT_EQ(ExtractSessionId("HTTP/1.1 200 OK\r\nSet-Cookie: PHPSESSID=abc"), "");
    EXPECT_EQ(ExtractSessionId("HTTP/1.1 200 OK\r\nSet-Cookie: PHPSESSID=abc\r\nX-A: b\r\n\r\n"), "");
    EXPECT_EQ(ExtractSessionId("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\n"), "");
    EXPECT_EQ(ExtractSessionId("Set-Cookie: phpsessid=lower; path=/\r\n"), "");
    EXPECT_EQ(ExtractSessionId("Set-Cookie: PHPSESSID= a b ; path=/\r\n"), " a b ");
    EXPECT_EQ(ExtractSessionId("PHPSESSID=;"), "");
    EXPECT_EQ(ExtractSessionId("PHPSESSID"), "");
    // The first occurrence counts, even when a later one would be complete.
    EXPECT_EQ(ExtractSessionId("X: PHPSESSID=1;\r\nSet-Cookie: PHPSESSID=2; path=/\r\n"), "1");

    // The header block is logged with the session id hidden.
    const std::string log = ReadTextFile(dir.File("log1.txt"));
    EXPECT_NE(log.find("Response Headers = HTTP/1.1 200 OK\r\nSet-Cookie: PHPSESSID=***; path=/\r\n\r\n"),
              std::string::npos);
    EXPECT_EQ(log.find("abc"), std::string::npos);
}

TEST(QueryText, EncodingKeepsLettersAndDigitsOnly) {
    EXPECT_EQ(EncodeQueryValue("abcXYZ019-._~"), "abcXYZ019-._~");
    EXPECT_EQ(EncodeQueryValue("a&b#c+d%e f=g?h/i"), "a%26b%23c%2Bd%25e%20f%3Dg%3Fh%2Fi");
    // "电信" in code page 936.
    EXPECT_EQ(EncodeQueryValue("\xB5\xE7\xD0\xC5"), "%B5%E7%D0%C5");
    EXPECT_EQ(EncodeQueryValue(""), "");
}

TEST(QueryText, MaskingHidesOnlyThePasswordAndSessionValues) {
    EXPECT_EQ(MaskQuerySecrets("http://h/x?u=a&p=secret&g=rk&p2=sid&s=1"),
              "http://h/x?u=a&p=***&g=rk&p2=***&s=1");
    EXPECT_EQ(MaskQuerySecrets("http://h/c?c=1234&p=sid"), "http://h/c?c=1234&p=***");
    EXPECT_EQ(MaskQuerySecrets("http://h/x?pp=1&up=2&p3=3&p"), "http://h/x?pp=1&up=2&p3=3&p");
    EXPECT_EQ(MaskQuerySecrets("http://h/x?p=&p2=s#frag"), "http://h/x?p=***&p2=***#frag");
    EXPECT_EQ(MaskQuerySecrets("http://h/x"), "http://h/x");
    EXPECT_EQ(MaskQuerySecrets("http://h/x?"), "http://h/x?");
}

TEST_F(SessionClientTest, PictureRequestStoresTheBinaryBodyAndTheSession) {
    m_service.Answer("/interface/vcode.php", {200, kPicture, {{"Set-Cookie", "PHPSESSID=s3ss10n; path=/"}}});

    m_context.FetchVerificationImage();

    EXPECT_EQ(ReadFile(m_dir.File(kVerificationImageFile)), kPicture);
    EXPECT_EQ(m_context.m_strSessionId, "s3ss10n");
    const auto requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/interface/vcode.php");
    // The added "HOST:" line stands in for the client's own: one Host header, host and port.
    EXPECT_EQ(requests[0].Header("Host"), m_service.HostPort());
    EXPECT_EQ(requests[0].HeaderCount("Host"), 1u);
    EXPECT_EQ(Log().find("s3ss10n"), std::string::npos);
}

TEST_F(SessionClientTest, PictureWithoutAClosedCookieKeepsTheOldSession) {
    m_context.m_strSessionId = "old";
    WriteFile(m_dir.File(kVerificationImageFile), "previous picture");
    m_service.Answer("/interface/vcode.php", {200, "", {}});
    m_context.FetchVerificationImage();
    EXPECT_EQ(m_context.m_strSessionId, "old");
    EXPECT_EQ(ReadFile(m_dir.File(kVerificationImageFile)), "");

    // A bare "PHPSESSID=value" cookie line carries no ";".
    m_service.Answer("/interface/vcode.php", {200, kPicture, {{"Set-Cookie", "PHPSESSID=new"}}});
    m_context.FetchVerificationImage();
    EXPECT_EQ(m_context.m_strSessionId, "old");
    EXPECT_EQ(ReadFile(m_dir.File(kVerificationImageFile)), kPicture);
}

TEST_F(SessionClientTest, PictureErrorStatusIsOnlyLogged) {
    m_context.m_strSessionId = "kept";
    WriteFile(m_dir.File(kVerificationImageFile), "previous picture");
    for (int status : {404, 500}) {
        m_service.Answer("/interface/vcode.php",
                         {status, "error page", {{"Set-Cookie", "PHPSESSID=bad; path=/"}}});
        m_context.FetchVerificationImage();
        EXPECT_EQ(ReadFile(m_dir.File(kVerificationImageFile)), "previous picture");
        EXPECT_EQ(m_context.m_strSessionId, "kept");
    }
    EXPECT_EQ(Log(), "getResponse field! Error code is 404 .getResponse field! Error code is 500 .");
}

TEST_F(SessionClientTest, PictureRequestWithoutServiceChangesNothing) {
    endpoints::OverrideHostsForTests("", "", ClosedLoopbackHost());
    m_context.m_strSessionId = "kept";
    m_context.FetchVerificationImage();
    EXPECT_EQ(m_context.m_strSessionId, "kept");
    EXPECT_FALSE(Exists(m_dir.File(kVerificationImageFile)));
    EXPECT_EQ(Log(), "getResponse field! Error code is 0 .");
}

LoopbackServer::Reply Redirect(const std::string& location) {
    return {302, "moved", {{"Location", location}}};
}

TEST_F(SessionClientTest, PictureRequestFollowsRedirectsLikeTheReplyFetch) {
    m_service.Answer("/interface/vcode.php", Redirect("/pictures/code.png?n=1"));
    m_service.Answer("/pictures/code.png", {200, kPicture, {{"Set-Cookie", "PHPSESSID=moved1; path=/"}}});

    m_context.FetchVerificationImage();

    EXPECT_EQ(ReadFile(m_dir.File(kVerificationImageFile)), kPicture);
    EXPECT_EQ(m_context.m_strSessionId, "moved1");
    EXPECT_EQ(m_service.Targets(),
              (std::vector<std::string>{"/interface/vcode.php", "/pictures/code.png?n=1"}));
    EXPECT_EQ(Log().find("getResponse field!"), std::string::npos);

    // The session set on the redirect counts when the picture sets none.
    m_service.Answer(
        "/interface/vcode.php",
        {302, "", {{"Location", "/pictures/code.png"}, {"Set-Cookie", "PHPSESSID=onredirect; path=/"}}});
    m_service.Answer("/pictures/code.png", {200, kPicture, {}});
    m_context.FetchVerificationImage();
    EXPECT_EQ(m_context.m_strSessionId, "onredirect");

    // On another server the Host line named for the account service is not sent.
    LoopbackServer other;
    other.Answer("/code.png", {200, "other picture", {}});
    m_service.Answer("/interface/vcode.php", Redirect("http://" + other.HostPort() + "/code.png"));
    m_context.FetchVerificationImage();
    EXPECT_EQ(ReadFile(m_dir.File(kVerificationImageFile)), "other picture");
    const auto received = other.Requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].HeaderCount("Host"), 1u);
    EXPECT_EQ(received[0].Header("Host"), other.HostPort());
}

TEST_F(SessionClientTest, RedirectToAnotherSchemeIsRefusedAndWritesNothing) {
    WriteFile(m_dir.File("secret.xml"), "<r><result>1</result></r>");
    m_context.m_strSessionId = "kept";
    for (const std::string& location :
         {"file://" + m_dir.File("secret.xml"), "ftp://" + m_service.HostPort() + "/x"}) {
        SCOPED_TRACE(location);
        m_service.Answer("/interface/login.php", Redirect(location));
        m_service.Answer("/interface/vcode.php", Redirect(location));

        EXPECT_FALSE(FetchToLoginReply(ServiceUrl("/interface/login.php?u=a")));
        EXPECT_FALSE(Exists(m_dir.File(kLoginReplyFile)));
        m_context.FetchVerificationImage();
        EXPECT_FALSE(Exists(m_dir.File(kVerificationImageFile)));
        EXPECT_EQ(m_context.m_strSessionId, "kept");
    }
    EXPECT_EQ(m_service.Requests().size(), 4u);
    const std::string log = Log();
    size_t refusedPictures = 0;
    for (size_t at = 0; (at = log.find("getResponse field! Error code is 302 .", at)) != std::string::npos;
         ++at)
        ++refusedPictures;
    EXPECT_EQ(refusedPictures, 2u);
}

// The service takes each request and then says nothing until the test lets it go.
class SilentServiceTest : public SessionClientTest {
protected:
    void SetUp() override {
        SessionClientTest::SetUp();
        platform::SetHttpLimits(0, 1);
        // The handler keeps its own share of the release: the server's thread may still be
        // waking from it while the fixture's members are being destroyed.
        auto silent = [this, released = m_released](const LoopbackServer::Request&) {
            if (!m_arrivedOnce.exchange(true)) m_arrived.set_value();
            released.wait_for(std::chrono::seconds(60));
            return LoopbackServer::Reply{200, "<r><result>1</result></r>", {}};
        };
        m_service.Handle("/interface/login.php", silent);
        m_service.Handle("/interface/vcode.php", silent);
    }
    void TearDown() override {
        m_release.set_value();
        SessionClientTest::TearDown();
    }
    // The request reached the service (so the silence was the service's, not a refusal).
    bool Arrived() { return m_arrivedSeen.wait_for(std::chrono::seconds(30)) == std::future_status::ready; }

    std::atomic<bool> m_arrivedOnce{false};
    std::promise<void> m_arrived;
    std::future<void> m_arrivedSeen = m_arrived.get_future();
    std::promise<void> m_release;
    std::shared_future<void> m_released = m_release.get_future().share();
};

TEST_F(SilentServiceTest, StalledReplyFetchEndsWithoutAReply) {
    WriteFile(m_dir.File(kLoginReplyFile), "<old><result>1</result></old>");
    EXPECT_FALSE(FetchToLoginReply(ServiceUrl("/interface/login.php?u=a&p=b")));
    EXPECT_TRUE(Arrived());
    EXPECT_FALSE(Exists(m_dir.File(kLoginReplyFile)));
}

TEST_F(SilentServiceTest, StalledPictureRequestIsOnlyLogged) {
    m_context.m_strSessionId = "kept";
    WriteFile(m_dir.File(kVerificationImageFile), "previous picture");
    m_context.FetchVerificationImage();
    EXPECT_TRUE(Arrived());
    EXPECT_EQ(ReadFile(m_dir.File(kVerificationImageFile)), "previous picture");
    EXPECT_EQ(m_context.m_strSessionId, "kept");
    EXPECT_EQ(Log(), "getResponse field! Error code is 0 .");
}

}  // namespace
