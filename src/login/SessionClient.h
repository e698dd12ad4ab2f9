#pragma once
#include <string>
#include <string_view>

namespace nb {

// Files in the working folder shared by the account requests, the reply parser, the
// client switch and the verification-code dialog. The picture has one name for writing and
// for reading, since the file system tells the cases apart.
inline constexpr const char* kLoginReplyFile = "LoginRes.xml";
inline constexpr const char* kVerificationImageFile = "vCode.png";

// The user agent of the reply fetch, and the one of the picture request (the application's
// own name, as an internet session without an agent of its own announces itself).
inline constexpr const char* kReplyFetchAgent = "Mozilla/5.0";
inline constexpr const char* kImageRequestAgent = "NbLauncher";

// GET of a full URL (http or https, redirects followed to those only); the body, whatever
// the status, becomes "LoginRes.xml". True when the exchange completed and the file holds
// its body (possibly empty). When the request fails (no network, refused connection, a
// service silent for the transfer stall limit, a transfer cut short, the file not writable)
// the reply file is removed, so that no earlier document can pass for the answer; false then.
bool FetchToLoginReply(const std::string& url);

// The value of the PHPSESSID cookie in a raw response header block, or the empty text.
// The value counts only when a ";" closes it.
std::string ExtractSessionId(const std::string& headers);

// Percent-encoding of one query value: ASCII letters, digits and "-._~" stay as they are,
// every other byte (code page 936 lead and trail bytes included) becomes %XX.
std::string EncodeQueryValue(std::string_view value);

// The URL as it may be written to the log: the values of the secret query parameters
// "p" (password digest, or session id in the code check) and "p2" (session id) become "***".
std::string MaskQuerySecrets(const std::string& url);

}  // namespace nb
