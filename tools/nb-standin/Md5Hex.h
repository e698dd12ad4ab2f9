#pragma once
#include <string>
#include <string_view>

namespace nbstandin {

// MD5 of the bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

// What the launcher sends as `p`: the hex MD5 of the password bytes, salted, hashed again.
std::string PasswordDigest(std::string_view passwordBytes);

}  // namespace nbstandin
