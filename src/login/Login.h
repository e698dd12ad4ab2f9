#pragma once
#include <functional>
#include <string>

namespace nb {

class LauncherContext;

// Shown when "LoginRes.xml" is missing or not a document: "读取loginRes.xml失败" in code page 936.
inline constexpr const char* kUnreadableReplyText = "\xB6\xC1\xC8\xA1loginRes.xml\xCA\xA7\xB0\xDC";

// The login button of the main window: digests the password, stores the name and the
// digest in the context, sends the plain login request (or, when the service has asked for
// a verification code, fetches a picture and runs the code dialog), reads the reply and
// either starts the game client or reports the error. The name arrives lower-cased, name
// and password 1 to 20 bytes each (code page 936). Returns only when no game was started.
void DoLogin(const std::string& user, const std::string& password);

// The requests, built from the context. Every value that the user typed or the service
// chose is percent-encoded; the digest and the server id are plain.
std::string BuildLoginRequest(const LauncherContext& context);
std::string BuildCodeLoginRequest(const LauncherContext& context, const std::string& code);
std::string BuildCodeCheckRequest(const LauncherContext& context, const std::string& code);

enum class CodeLoginResult {
    // The code or its check failed: a fresh picture and session, the error shown; the
    // dialog stays open for another try.
    kCodeRejected,
    // The login with the code failed, its error shown; the dialog closes.
    kLoginRejected,
    // Handed over to the game start, which normally ends the process.
    kGameStarted,
};

// The login button of the verification-code dialog: checks the code against the current
// session and, only when it is right, sends the login request with the code. After a
// rejected code a fresh picture and session id are fetched and pictureChanged runs (the
// dialog redraws) before the error is shown.
CodeLoginResult LoginWithVerificationCode(const std::string& code,
                                          const std::function<void()>& pictureChanged = {});

// A successful login ends in LauncherContext::StartGameClient(userId, joinedLogin). Tests
// observe the handover here instead; an empty function restores the game start.
using GameStartHandover = std::function<void(const std::string& userId, const std::string& joinedLogin)>;
void SetGameStartHandoverForTests(GameStartHandover handover);

}  // namespace nb
