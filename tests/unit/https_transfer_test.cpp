#include <gtest/gtest.h>

#include <cstdlib>

#include "RecordingUi.h"
#include "StandinProcess.h"
#include "TestPaths.h"
#include "app/Endpoints.h"
#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "login/SessionClient.h"
#include "platform/HttpTransfer.h"
#include "update/Download.h"

namespace {

using Shown = std::vector<std::string>;

// A throw-away authority and certificates (tests/support/make-test-certs.sh), made once for
// the whole suite; NB_CA_BUNDLE names the authority unless a test says otherwise.
class HttpsTransferTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_certs = new nb::test::ScopedTempDir;
        const std::string command = "bash '" + nb::test::DataPath("../support/make-test-certs.sh") + "' '" +
                                    s_certs->Path() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete s_certs;
        s_certs = nullptr;
    }
    void SetUp() override {
        ::setenv("NB_CA_BUNDLE", Cert("ca.pem").c_str(), 1);
        m_context.m_MessageTable[14] = "msg14";
        nb::SetTheContext(&m_context);
        nb::test::WriteFile(m_site.File("f"), "over tls");
    }
    void TearDown() override {
        ::unsetenv("NB_CA_BUNDLE");
        nb::SetTheContext(nullptr);
    }
    static std::string Cert(const std::string& name) { return s_certs->File(name); }
    // nb-standin serving the site over https with the named certificate.
    std::unique_ptr<nb::test::StandinProcess> Tls(const std::string& cert, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--root", m_site.Path(), "--cert", Cert(cert + ".pem"), "--key",
                                         Cert(cert + ".key")};
        args.insert(args.end(), extra.begin(), extra.end());
        auto standin = std::make_unique<nb::test::StandinProcess>(args, m_dir.File("tls-" + cert + ".log"));
        EXPECT_TRUE(standin->Running());
        return standin;
    }
    static std::string Https(const nb::test::StandinProcess& s, const std::string& path) {
        return "https" + s.Url(path).substr(4);
    }

    static nb::test::ScopedTempDir* s_certs;
    nb::test::ScopedTempDir m_dir;
    nb::test::ScopedTempDir m_site;
    nb::test::ScopedChdir m_cwd{m_dir.Path()};
    nb::LauncherContext m_context;
    nb::test::RecordingUi m_ui;
};
nb::test::ScopedTempDir* HttpsTransferTest::s_certs = nullptr;

}  // namespace

TEST_F(HttpsTransferTest, AVerifiedPeerIsFetchedAndEveryOtherIsRefused) {
    auto good = Tls("good");
    ASSERT_TRUE(nb::DownloadUrlToFile(Https(*good, "/f"), "f", false));
    EXPECT_EQ(nb::test::ReadFile("f"), "over tls");

    for (const char* bad : {"othername", "expired", "selfsigned"}) {
        SCOPED_TRACE(bad);
        m_ui.ClearShown();
        auto standin = Tls(bad);
        EXPECT_FALSE(nb::DownloadUrlToFile(Https(*standin, "/f"), "g", false));
        EXPECT_FALSE(nb::test::Exists("g"));
        EXPECT_EQ(nb::test::ReadFile("g.dlhalf!"), "");
        EXPECT_EQ(m_ui.Shown(), Shown{"msg14"});
        EXPECT_EQ(standin->Requests().size(), 0u);  // no request went out before the handshake failed
        nb::platform::HttpRequest request;
        request.url = Https(*standin, "/f");
        request.schemes = nb::platform::HttpSchemes::HttpOrHttps;
        EXPECT_EQ(nb::platform::HttpGet(request, {}).outcome, nb::platform::HttpOutcome::Untrusted);
    }

    // The extra authority widens the system's store and never replaces it: without it the
    // test authority is unknown, and a bundle that cannot be read fails the connection.
    for (const char* bundle : {"", "/nonexistent/ca.pem"}) {
        SCOPED_TRACE(bundle);
        ::setenv("NB_CA_BUNDLE", bundle, 1);
        EXPECT_FALSE(nb::DownloadUrlToFile(Https(*good, "/f"), "h", false));
        EXPECT_FALSE(nb::test::Exists("h"));
    }
}

TEST_F(HttpsTransferTest, ARedirectFromHttpsToHttpIsRefused) {
    nb::test::StandinProcess plain({"--root", m_site.Path()}, m_dir.File("plain.log"));
    ASSERT_TRUE(plain.Running());
    auto tls = Tls("good", {"--redirect", "/down=" + plain.Url("/f"), "--redirect", "/up=/f"});
    EXPECT_FALSE(nb::DownloadUrlToFile(Https(*tls, "/down"), "f", false));
    EXPECT_FALSE(nb::test::Exists("f"));
    EXPECT_EQ(plain.Requests().size(), 0u);
    EXPECT_EQ(m_ui.Shown(), Shown{"msg14"});
    // Within https a redirect is followed.
    ASSERT_TRUE(nb::DownloadUrlToFile(Https(*tls, "/up"), "g", false));
    EXPECT_EQ(nb::test::ReadFile("g"), "over tls");
}

TEST_F(HttpsTransferTest, AnAccountHostGivenWithHttpsIsAskedOverHttps) {
    auto tls = Tls("good");
    const std::string host = Https(*tls, "");
    nb::endpoints::OverrideHostsForTests("127.0.0.1:1", "127.0.0.1:1", host);
    EXPECT_EQ(nb::endpoints::VerificationImageUrl(), host + "/interface/vcode.php");
    EXPECT_EQ(nb::endpoints::CodeCheckUrl(), host + "/interface/check_code.php");
    const bool fetched = nb::FetchToLoginReply(nb::endpoints::LoginUrl() + "?u=a&p=b&s=1");
    nb::endpoints::OverrideHostsForTests(NB_CONFIG_HOST, NB_PORTAL_HOST, NB_ACCOUNT_HOST);
    ASSERT_TRUE(fetched);
    EXPECT_NE(nb::test::ReadFile(nb::kLoginReplyFile), "");
    ASSERT_EQ(tls->Requests().size(), 1u);
    EXPECT_EQ(tls->Requests()[0].rfind("GET /interface/login.php?u=a&p=b&s=1 ", 0), 0u);
}
