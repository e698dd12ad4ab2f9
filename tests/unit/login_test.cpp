#include "login/Login.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "LoopbackServer.h"
#include "RecordingUi.h"
#include "TestHosts.h"
#include "TestPaths.h"
#include "app/Endpoints.h"
#include "app/LauncherContext.h"
#include "login/SessionClient.h"

using namespace nb;
using namespace nb::test;

namespace {

const std::string kDigestOfSecret = "1e17674f5ef3da2adcd4d725e67de0e3";  // DigestPassword("secret")
// The platform's text for a reply that cannot be read, in code page 936.
const std::string kUnreadable = "\xB6\xC1\xC8\xA1loginRes.xml\xCA\xA7\xB0\xDC";

std::string Reply(int result, const std::string& error) {
    return "<r><result>" + std::to_string(result) + "</result><error>" + error + "</error></r>";
}

LoopbackServer::Reply Xml(const std::string& body) {
    return {200, body, {{"Content-Type", "text/xml"}}};
}

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        endpoints::OverrideHostsForTests(test::kConfigHostForTests, test::kPortalHostForTests,
                                         m_service.HostPort());
        NumberMessages(m_context);
        m_context.m_nServerId = 7;
        SetTheContext(&m_context);
        // The code flag as it stood when each text was shown.
        m_ui.onShown = [this](const std::string&) {
            m_codeRequiredWhenShown.push_back(m_context.m_bCodeRequired);
        };
        SetGameStartHandoverForTests([this](const std::string& userId, const std::string& joined) {
            m_handovers.emplace_back(userId, joined);
        });
    }
    void TearDown() override {
        SetGameStartHandoverForTests({});
        SetTheContext(nullptr);
        endpoints::OverrideHostsForTests(NB_CONFIG_HOST, NB_PORTAL_HOST, NB_ACCOUNT_HOST);
    }

    std::string Log() const { return ReadTextFile(m_dir.File("log1.txt")); }
    void PutReply(const std::string& content) const { WriteFile(m_dir.File(kLoginReplyFile), content); }
    void PutFixture(const std::string& name) const { PutReply(ReadFile(DataPath("login/" + name))); }
    std::string PlainTarget(const std::string& user) const {
        return "/interface/login.php?u=" + user + "&p=" + kDigestOfSecret + "&g=rk&t=xml&s=7";
    }

    ScopedTempDir m_dir;
    ScopedChdir m_cwd{m_dir.Path()};
    LoopbackServer m_service;
    LauncherContext m_context;
    RecordingUi m_ui;
    std::vector<bool> m_codeRequiredWhenShown;
    std::vector<std::pair<std::string, std::string>> m_handovers;
};

// ---- the plain login ----

TEST_F(LoginTest, SuccessfulLoginHandsTheReplyToTheGameStart) {
    m_service.Answer("/interface/login.php", Xml(ReadFile(DataPath("login/success.xml"))));

    DoLogin("abc", "secret");

    EXPECT_EQ(m_service.Targets(), std::vector<std::string>{PlainTarget("abc")});
    EXPECT_EQ(m_context.m_strAccount, "abc");
    EXPECT_EQ(m_context.m_strPassword, kDigestOfSecret);
    // login|addiction|login_date|key|auth, the empty date leaving two bars side by side.
    ASSERT_EQ(m_handovers.size(), 1u);
    EXPECT_EQ(m_handovers[0], std::make_pair(std::string("42"), std::string("abc|0||k|a")));
    EXPECT_EQ(m_context.m_nUserId, 42);
    EXPECT_EQ(m_context.m_strCoopId, "c7");
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{});
    EXPECT_EQ(Log(), "http://" + m_service.HostPort() + "/interface/login.php?u=abc&p=***&g=rk&t=xml&s=7 \n" +
                         "hSession != NULL\nrootXMLElement = loginres \n");
}

TEST_F(LoginTest, PrettyPrintedReplyGivesTheGameBareFields) {
    // A service that indents its reply: the texts reach the game's command line trimmed, with
    // inner runs of white space as one blank, and no line end anywhere.
    m_service.Answer("/interface/login.php",
                     Xml("<loginres>\n  <result>\n    1\n  </result>\n  <userid> 42 </userid>\n"
                         "  <login>\n abc\n</login>\n  <addiction>\t0\t</addiction>\n"
                         "  <login_date>\r\n  2026-12-09\r\n  10:00\r\n</login_date>\n"
                         "  <key>\n</key>\n  <auth>a</auth>\n</loginres>\n"));

    DoLogin("abc", "secret");

    ASSERT_EQ(m_handovers.size(), 1u);
    EXPECT_EQ(m_handovers[0], std::make_pair(std::string("42"), std::string("abc|0|2026-12-09 10:00||a")));
}

TEST_F(LoginTest, UserNameIsPercentEncoded) {
    m_service.Answer("/interface/login.php", Xml(Reply(0, "1006")));
    // "a&b c#+%" followed by "电" in code page 936.
    DoLogin("a&b c#+%\xB5\xE7", "secret");
    DoLogin("user_1.x-y~z", "secret");

    const auto requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, PlainTarget("a%26b%20c%23%2B%25%B5%E7"));
    EXPECT_EQ(requests[1].target, PlainTarget("user_1.x-y~z"));
    EXPECT_EQ(m_context.m_strAccount, "user_1.x-y~z");
}

// ---- the error table ----

struct ErrorCase {
    const char* error;  // the reply's error element
    int code;
    const char* logLine;
    std::vector<std::string> shown;
    bool codeRequired;
};

TEST_F(LoginTest, EveryErrorCodeLogsFlagsAndShowsItsOwnThing) {
    const std::vector<ErrorCase> cases = {
        {"1001", 1001, "", {"m2"}, false},
        {"1002", 1002, "", {"m2"}, false},
        {"1003", 1003, "Error:1003 MISS GAMENAME 'rk'\n", {}, false},
        {"1004", 1004, "Error:1004 MISS SERVERID\n", {}, false},
        {"1006", 1006, "", {"m3"}, false},
        {"1008", 1008, "", {"m3"}, false},
        {"1009", 1009, "", {"m32"}, false},
        {"1010", 1010, "", {"m0"}, true},
        {"1101", 1101, "Error:1101 Miss VCODE\n", {"m3"}, true},
        {"1102", 1102, "Error:1102 Miss PHPSESSID\n", {}, true},
        {"1103", 1103, "", {"m1"}, true},
        {"9999", 9999, "Error:9999", {}, false},
        // Unknown codes: the slot of that number, an empty text beyond the table.
        {"1005", 1005, "Error:Unknown Error 1005\n", {""}, false},
        {"1007", 1007, "Error:Unknown Error 1007\n", {""}, false},
        {"35", 35, "Error:Unknown Error 35\n", {"m35"}, false},
        {"255", 255, "Error:Unknown Error 255\n", {""}, false},
        {"-4", -4, "Error:Unknown Error -4\n", {""}, false},
        {"", 0, "Error:Unknown Error 0\n", {"m0"}, false},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.code);
        m_context.m_bCodeRequired = false;
        m_context.m_bFirstCodeNotice = true;
        m_ui.ClearShown();
        m_codeRequiredWhenShown.clear();
        std::remove(m_dir.File("log1.txt").c_str());
        m_service.Answer("/interface/login.php", Xml(Reply(0, c.error)));

        DoLogin("abc", "secret");

        EXPECT_EQ(m_context.m_nLoginError, c.code);
        EXPECT_EQ(m_ui.Shown(), c.shown);
        EXPECT_EQ(m_context.m_bCodeRequired, c.codeRequired);
        const std::string log = Log();
        const std::string tail = std::string("rootXMLElement = r \n") + c.logLine;
        EXPECT_EQ(log.substr(log.size() - std::min(log.size(), tail.size())), tail);
        // The flag is already set when the message appears.
        for (bool flag : m_codeRequiredWhenShown) EXPECT_EQ(flag, c.codeRequired);
    }
    EXPECT_TRUE(m_handovers.empty());
}

TEST_F(LoginTest, MissingCodeIsAnnouncedOnlyOnce) {
    m_context.ReportLoginError(1101);
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{"m3"});
    EXPECT_TRUE(m_context.m_bCodeRequired);
    EXPECT_FALSE(m_context.m_bFirstCodeNotice);

    m_context.m_bCodeRequired = false;
    m_context.ReportLoginError(1101);
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{"m3"});
    EXPECT_TRUE(m_context.m_bCodeRequired);
    EXPECT_FALSE(m_context.m_bFirstCodeNotice);
    EXPECT_EQ(Log(), "Error:1101 Miss VCODE\nError:1101 Miss VCODE\n");
}

// ---- reading the reply ----

TEST_F(LoginTest, ReplyElementsAreReadAsTextOfDirectChildren) {
    struct Case {
        std::string document;
        bool success;
        int error;
    };
    const std::vector<Case> cases = {
        {"<r><result>0</result><error>1006</error></r>", false, 1006},
        {"<r><result></result><error>7</error></r>", false, 7},
        {"<r><error>8</error></r>", false, 8},
        {"<r><result>abc</result><error> 12x</error></r>", false, 12},
        {"<r><result>0x1</result><error>+3</error></r>", false, 3},
        {"<r><result> 7x</result></r>", true, 0},
        {"<r><result>-1</result></r>", true, 0},
        {"<any><result>1</result></any>", true, 0},
        {"<r><sub><result>1</result></sub><error>5</error></r>", false, 5},         // only children count
        {"<r result=\"1\"><error error=\"2\">3</error></r>", false, 3},             // attributes are ignored
        {"<r><result>0</result><result>1</result><error>4</error></r>", false, 4},  // the first one
        {"<r><result>0</result><error>99999999999</error></r>", false, 2147483647},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        m_context.m_nLoginError = 0;
        PutReply(c.document);
        EXPECT_EQ(m_context.ParseLoginReply(false), c.success);
        EXPECT_EQ(m_context.m_nLoginError, c.error);
    }
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{});
}

TEST_F(LoginTest, StoringSuccessOverwritesEveryFieldAndClearsTheCodeFlag) {
    m_context.m_bCodeRequired = true;
    m_context.m_nUserId = 9;
    m_context.m_strLogin = "old";
    m_context.m_strLoginDate = "old";
    m_context.m_strCoopId = "old";
    m_context.m_strKey = "old";
    m_context.m_strAuth = "old";
    m_context.m_strAddiction = "old";
    m_context.m_nLoginError = 1103;

    // Parsed without storing (a code check): nothing changes.
    PutFixture("success.xml");
    EXPECT_TRUE(m_context.ParseLoginReply(false));
    EXPECT_TRUE(m_context.m_bCodeRequired);
    EXPECT_EQ(m_context.m_nUserId, 9);
    EXPECT_EQ(m_context.m_strLogin, "old");
    EXPECT_EQ(m_context.m_strKey, "old");

    // Stored: absent elements store the empty text and 0.
    PutFixture("success_result_only.xml");
    EXPECT_TRUE(m_context.ParseLoginReply(true));
    EXPECT_FALSE(m_context.m_bCodeRequired);
    EXPECT_EQ(m_context.m_nUserId, 0);
    for (const std::string* field : {&m_context.m_strLogin, &m_context.m_strLoginDate, &m_context.m_strCoopId,
                                     &m_context.m_strKey, &m_context.m_strAuth, &m_context.m_strAddiction}) {
        EXPECT_EQ(*field, "");
    }
    EXPECT_EQ(m_context.m_nLoginError, 1103);

    // A byte-order mark and CR LF line ends, entities resolved.
    PutFixture("success_bom_crlf.xml");
    EXPECT_TRUE(m_context.ParseLoginReply(true));
    EXPECT_EQ(m_context.m_nUserId, 7);
    EXPECT_EQ(m_context.m_strLogin, "x&y");
    EXPECT_EQ(m_context.m_strKey, "k2");
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{});
    EXPECT_NE(Log().find("rootXMLElement = Reply \n"), std::string::npos);
}

TEST_F(LoginTest, UnreadableReplyShowsTheFixedTextAndStoresNothing) {
    // "读取loginRes.xml失败" as code page 936 bytes.
    EXPECT_EQ(kUnreadable, "\xB6\xC1\xC8\xA1loginRes.xml\xCA\xA7\xB0\xDC");
    m_context.m_nLoginError = 1006;
    m_context.m_bCodeRequired = true;
    for (const char* fixture : {"empty.xml", "error_page.html", "truncated.xml", "no_root.xml", ""}) {
        SCOPED_TRACE(fixture);
        m_ui.ClearShown();
        if (*fixture) {
            PutFixture(fixture);
        } else {
            std::remove(m_dir.File(kLoginReplyFile).c_str());
        }
        EXPECT_FALSE(m_context.ParseLoginReply(true));
        EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{kUnreadable});
        EXPECT_EQ(m_context.m_nLoginError, 1006);
        EXPECT_TRUE(m_context.m_bCodeRequired);
    }
    EXPECT_EQ(Log().find("rootXMLElement"), std::string::npos);
}

TEST_F(LoginTest, UnreadableAnswerReportsTheLastFailureIfThereWasOne) {
    m_service.Answer("/interface/login.php", {502, ReadFile(DataPath("login/error_page.html")), {}});
    DoLogin("abc", "secret");
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{kUnreadable});

    m_service.Answer("/interface/login.php", Xml(Reply(0, "1006")));
    DoLogin("abc", "secret");
    m_service.Answer("/interface/login.php", Xml(""));
    DoLogin("abc", "secret");
    EXPECT_EQ(m_ui.Shown(), (std::vector<std::string>{kUnreadable, "m3", kUnreadable, "m3"}));
    EXPECT_TRUE(m_handovers.empty());
}

TEST_F(LoginTest, UnreachableServiceNeverReadsAnOlderReply) {
    endpoints::OverrideHostsForTests("", "", ClosedLoopbackHost());
    // What the start-up control check or an earlier login left behind.
    PutFixture("success.xml");

    DoLogin("abc", "secret");

    EXPECT_TRUE(m_handovers.empty());
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{kUnreadable});
    EXPECT_FALSE(Exists(m_dir.File(kLoginReplyFile)));

    // An earlier failure is reported again, as after any unreadable answer.
    m_context.m_nLoginError = 1008;
    PutFixture("failure_1006.xml");
    DoLogin("abc", "secret");
    EXPECT_EQ(m_ui.Shown(), (std::vector<std::string>{kUnreadable, kUnreadable, "m3"}));
    EXPECT_EQ(m_context.m_nLoginError, 1008);
}

// ---- the verification code ----

// A service that demands a code on the first login, hands out a new session and code with
// every picture, and accepts a login only with the code of its session. Its handlers run on
// the server's threads.
class CodeService {
public:
    explicit CodeService(LoopbackServer& service) {
        service.Handle("/interface/vcode.php", [this](const LoopbackServer::Request&) {
            std::lock_guard lock(m_mutex);
            const std::string session = "sess" + std::to_string(++m_sessions);
            return LoopbackServer::Reply{200,
                                         "PNG" + std::to_string(m_sessions),
                                         {{"Set-Cookie", "PHPSESSID=" + session + "; path=/"}}};
        });
        service.Handle("/interface/check_code.php", [this](const LoopbackServer::Request& request) {
            std::lock_guard lock(m_mutex);
            if (Valid(request.Param("c"), request.Param("p"))) return Xml("<r><result>1</result></r>");
            return Xml(Reply(0, m_checkError));
        });
        service.Handle("/interface/login.php", [this](const LoopbackServer::Request& request) {
            std::lock_guard lock(m_mutex);
            if (!request.HasParam("c")) return Xml(Reply(0, "1010"));
            if (!Valid(request.Param("c"), request.Param("p2"))) return Xml(Reply(0, "1103"));
            return Xml(m_loginAnswer);
        });
    }

    void SetCheckError(const std::string& error) {
        std::lock_guard lock(m_mutex);
        m_checkError = error;
    }
    void SetLoginAnswer(const std::string& body) {
        std::lock_guard lock(m_mutex);
        m_loginAnswer = body;
    }

    static constexpr const char* kRightCode = "r1 &";

private:
    bool Valid(const std::string& code, const std::string& session) const {
        return code == kRightCode && session == "sess" + std::to_string(m_sessions);
    }

    std::mutex m_mutex;
    int m_sessions = 0;
    std::string m_checkError = "1103";
    std::string m_loginAnswer = ReadFile(DataPath("login/success.xml"));
};

TEST_F(LoginTest, CodeDemandedThenPictureCheckAndLoginWithCode) {
    CodeService codes(m_service);
    DoLogin("abc", "secret");
    EXPECT_TRUE(m_context.m_bCodeRequired);
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{"m0"});

    std::vector<CodeLoginResult> results;
    std::vector<size_t> textsWhenPictureChanged;
    auto pictureChanged = [&] { textsWhenPictureChanged.push_back(m_ui.Shown().size()); };
    m_ui.onCodeDialog = [&] {
        EXPECT_EQ(ReadFile(m_dir.File(kVerificationImageFile)), "PNG1");
        results.push_back(LoginWithVerificationCode("wrong", pictureChanged));
        EXPECT_EQ(ReadFile(m_dir.File(kVerificationImageFile)), "PNG2");
        results.push_back(LoginWithVerificationCode("r1 &", pictureChanged));
    };
    DoLogin("abc", "secret");

    const std::string login = "/interface/login.php?u=abc&p=" + kDigestOfSecret + "&g=rk&t=xml";
    EXPECT_EQ(m_service.Targets(), (std::vector<std::string>{
                                       login + "&s=7",
                                       "/interface/vcode.php",
                                       "/interface/check_code.php?c=wrong&p=sess1",
                                       "/interface/vcode.php",
                                       "/interface/check_code.php?c=r1%20%26&p=sess2",
                                       login + "&c=r1%20%26&p2=sess2&s=7",
                                   }));
    EXPECT_EQ(m_ui.CodeDialogRuns(), 1);
    EXPECT_EQ(results,
              (std::vector<CodeLoginResult>{CodeLoginResult::kCodeRejected, CodeLoginResult::kGameStarted}));
    // The fresh picture is in place before the wrong code is reported.
    EXPECT_EQ(textsWhenPictureChanged, std::vector<size_t>{1});
    EXPECT_EQ(m_ui.Shown(), (std::vector<std::string>{"m0", "m1"}));
    EXPECT_FALSE(m_context.m_bCodeRequired);
    // The game start ends the process; here it returns, so each handover is observed.
    ASSERT_FALSE(m_handovers.empty());
    for (const auto& handover : m_handovers) {
        EXPECT_EQ(handover, std::make_pair(std::string("42"), std::string("abc|0||k|a")));
    }
    // Neither the digest nor a session id is written to the log.
    const std::string log = Log();
    EXPECT_EQ(log.find(kDigestOfSecret), std::string::npos);
    EXPECT_EQ(log.find("sess"), std::string::npos);
    EXPECT_NE(log.find("/interface/check_code.php?c=r1%20%26&p=*** \n"), std::string::npos);
}

TEST_F(LoginTest, CancelledDialogReportsTheDemandAgainWithoutRequests) {
    CodeService codes(m_service);
    DoLogin("abc", "secret");
    DoLogin("abc", "secret");  // the dialog closes without a try

    EXPECT_EQ(m_service.Targets(), (std::vector<std::string>{PlainTarget("abc"), "/interface/vcode.php"}));
    EXPECT_EQ(m_ui.CodeDialogRuns(), 1);
    EXPECT_EQ(m_ui.Shown(), (std::vector<std::string>{"m0", "m0"}));
    EXPECT_TRUE(m_context.m_bCodeRequired);
    EXPECT_TRUE(m_handovers.empty());
}

TEST_F(LoginTest, RejectedLoginWithCodeIsReportedByTheDialogAndAgainAfterIt) {
    CodeService codes(m_service);
    codes.SetLoginAnswer(Reply(0, "1009"));
    DoLogin("abc", "secret");

    CodeLoginResult result{};
    m_ui.onCodeDialog = [&] { result = LoginWithVerificationCode("r1 &"); };
    DoLogin("abc", "secret");

    EXPECT_EQ(result, CodeLoginResult::kLoginRejected);
    EXPECT_EQ(m_ui.Shown(), (std::vector<std::string>{"m0", "m32", "m32"}));
    EXPECT_TRUE(m_context.m_bCodeRequired);
    EXPECT_TRUE(m_handovers.empty());
}

TEST_F(LoginTest, CodeCheckAloneStoresNothing) {
    CodeService codes(m_service);
    m_context.FetchVerificationImage();
    m_context.m_bCodeRequired = true;
    m_context.m_nUserId = 5;

    EXPECT_TRUE(m_context.CheckVerificationCode("r1 &"));
    EXPECT_TRUE(m_context.m_bCodeRequired);
    EXPECT_EQ(m_context.m_nUserId, 5);

    codes.SetCheckError("1102");
    EXPECT_FALSE(m_context.CheckVerificationCode("nope"));
    EXPECT_EQ(m_context.m_nLoginError, 1102);
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{});
}

TEST_F(LoginTest, UnreadableCheckShowsTheFixedTextThenAFreshPictureAndTheError) {
    CodeService codes(m_service);
    DoLogin("abc", "secret");  // 1010
    m_service.Answer("/interface/check_code.php", {500, "oops", {}});

    bool pictureChanged = false;
    EXPECT_EQ(LoginWithVerificationCode("r1 &", [&] { pictureChanged = true; }),
              CodeLoginResult::kCodeRejected);
    EXPECT_TRUE(pictureChanged);
    EXPECT_EQ(m_ui.Shown(), (std::vector<std::string>{"m0", kUnreadable, "m0"}));
    EXPECT_EQ(m_service.Targets().back(), "/interface/vcode.php");
}

}  // namespace
