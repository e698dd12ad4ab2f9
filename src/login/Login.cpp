#include "login/Login.h"

#include "app/Endpoints.h"
#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "app/NumberText.h"
#include "app/TraceLog.h"
#include "login/Md5Digest.h"
#include "login/SessionClient.h"
#include "platform/XmlDocument.h"

namespace nb {
namespace {

enum class ReplyStatus { kSuccess, kFailure, kUnreadable };

GameStartHandover& Handover() {
    static GameStartHandover handover;
    return handover;
}

// Text of the first child element of that name directly under the root; missing elements
// and elements without text read as the empty text.
std::string ChildText(const platform::XmlElement& root, const char* name) {
    const char* text = root.FirstChildElement(name).Text();
    return text ? text : "";
}

int32_t ChildNumber(const platform::XmlElement& root, const char* name) {
    return AtoiSaturating(ChildText(root, name));
}

ReplyStatus ShowUnreadableReply() {
    Ui().ShowMessageText(kUnreadableReplyText);
    return ReplyStatus::kUnreadable;
}

ReplyStatus ReadReply(LauncherContext& context, bool storeFields) {
    platform::XmlDocument document;
    // A document without a root element (only a declaration or a comment) is as unreadable
    // as a broken one: it has no answer in it.
    if (!document.LoadFile(kLoginReplyFile)) return ShowUnreadableReply();
    const platform::XmlElement root = document.Root();
    TraceLog("rootXMLElement = %s \n", root.Name());

    if (ChildNumber(root, "result") != 0) {
        if (storeFields) {
            context.m_bCodeRequired = false;
            context.m_nUserId = ChildNumber(root, "userid");
            context.m_strLoginDate = ChildText(root, "login_date");
            context.m_strCoopId = ChildText(root, "coopid");
            context.m_strLogin = ChildText(root, "login");
            context.m_strKey = ChildText(root, "key");
            context.m_strAuth = ChildText(root, "auth");
            context.m_strAddiction = ChildText(root, "addiction");
        }
        return ReplyStatus::kSuccess;
    }
    context.m_nLoginError = ChildNumber(root, "error");
    return ReplyStatus::kFailure;
}

// A request that got no answer counts as an unreadable reply; the old reply file is gone
// (see FetchToLoginReply), so nothing stale is read.
ReplyStatus FetchAndRead(LauncherContext& context, const std::string& url, bool storeFields) {
    if (!FetchToLoginReply(url)) return ShowUnreadableReply();
    return ReadReply(context, storeFields);
}

// After an unreadable reply the error of the last failed reply is reported again; before
// any failed reply there is nothing to report (code 0 would otherwise show message 0, the
// request for a verification code).
void ReportFailure(LauncherContext& context, ReplyStatus status) {
    if (status == ReplyStatus::kUnreadable && context.m_nLoginError == 0) return;
    context.ReportLoginError(context.m_nLoginError);
}

void HandOverToGame(LauncherContext& context) {
    const std::string userId = std::to_string(context.m_nUserId);
    const std::string joined = context.m_strLogin + "|" + context.m_strAddiction + "|" +
                               context.m_strLoginDate + "|" + context.m_strKey + "|" + context.m_strAuth;
    if (Handover()) {
        Handover()(userId, joined);
    } else {
        context.StartGameClient(userId, joined);
    }
}

}  // namespace

std::string BuildLoginRequest(const LauncherContext& context) {
    return endpoints::LoginUrl() + "?u=" + EncodeQueryValue(context.m_strAccount) +
           "&p=" + context.m_strPassword + "&g=rk&t=xml&s=" + std::to_string(context.m_nServerId);
}

std::string BuildCodeLoginRequest(const LauncherContext& context, const std::string& code) {
    return endpoints::LoginUrl() + "?u=" + EncodeQueryValue(context.m_strAccount) +
           "&p=" + context.m_strPassword + "&g=rk&t=xml&c=" + EncodeQueryValue(code) +
           "&p2=" + EncodeQueryValue(context.m_strSessionId) + "&s=" + std::to_string(context.m_nServerId);
}

std::string BuildCodeCheckRequest(const LauncherContext& context, const std::string& code) {
    return endpoints::CodeCheckUrl() + "?c=" + EncodeQueryValue(code) +
           "&p=" + EncodeQueryValue(context.m_strSessionId);
}

bool LauncherContext::ParseLoginReply(bool storeFields) {
    return ReadReply(*this, storeFields) == ReplyStatus::kSuccess;
}

void LauncherContext::ReportLoginError(int code) {
    switch (code) {
        case 1001:
        case 1002:
            ShowNumberedMessage(2);
            break;
        case 1003:
            TraceLog("Error:1003 MISS GAMENAME 'rk'\n");
            break;
        case 1004:
            TraceLog("Error:1004 MISS SERVERID\n");
            break;
        case 1006:
        case 1008:
            ShowNumberedMessage(3);
            break;
        case 1009:
            ShowNumberedMessage(32);
            break;
        case 1010:
            m_bCodeRequired = true;
            ShowNumberedMessage(0);
            break;
        case 1101: {
            TraceLog("Error:1101 Miss VCODE\n");
            m_bCodeRequired = true;
            const bool firstNotice = m_bFirstCodeNotice;
            m_bFirstCodeNotice = false;
            if (firstNotice) ShowNumberedMessage(3);
            break;
        }
        case 1102:
            TraceLog("Error:1102 Miss PHPSESSID\n");
            m_bCodeRequired = true;
            break;
        case 1103:
            m_bCodeRequired = true;
            ShowNumberedMessage(1);
            break;
        case 9999:
            TraceLog("Error:9999");
            break;
        default:
            TraceLog("Error:Unknown Error %d\n", code);
            // Codes outside the table's 256 slots show an empty text, like the empty slots.
            ShowNumberedMessage(code);
            break;
    }
}

bool LauncherContext::CheckVerificationCode(const std::string& code) {
    return FetchAndRead(*this, BuildCodeCheckRequest(*this, code), false) == ReplyStatus::kSuccess;
}

CodeLoginResult LoginWithVerificationCode(const std::string& code,
                                          const std::function<void()>& pictureChanged) {
    LauncherContext* context = TheContext();
    if (!context) return CodeLoginResult::kLoginRejected;

    ReplyStatus status = FetchAndRead(*context, BuildCodeCheckRequest(*context, code), false);
    if (status != ReplyStatus::kSuccess) {
        // Each check is made against a new picture.
        context->FetchVerificationImage();
        if (pictureChanged) pictureChanged();
        ReportFailure(*context, status);
        return CodeLoginResult::kCodeRejected;
    }

    status = FetchAndRead(*context, BuildCodeLoginRequest(*context, code), true);
    if (status != ReplyStatus::kSuccess) {
        ReportFailure(*context, status);
        return CodeLoginResult::kLoginRejected;
    }
    HandOverToGame(*context);
    return CodeLoginResult::kGameStarted;
}

void DoLogin(const std::string& user, const std::string& password) {
    LauncherContext* context = TheContext();
    if (!context) return;
    context->m_strAccount = user;
    context->m_strPassword = DigestPassword(password);

    ReplyStatus status;
    if (!context->m_bCodeRequired) {
        status = FetchAndRead(*context, BuildLoginRequest(*context), true);
    } else {
        // The dialog sends the requests; whatever way it closes, the reply file it leaves
        // (or the one that demanded the code) decides what happens here.
        context->FetchVerificationImage();
        Ui().RunVerificationCodeDialog();
        status = ReadReply(*context, true);
    }

    if (status == ReplyStatus::kSuccess) {
        HandOverToGame(*context);
    } else {
        ReportFailure(*context, status);
    }
}

void SetGameStartHandoverForTests(GameStartHandover handover) {
    Handover() = std::move(handover);
}

}  // namespace nb
