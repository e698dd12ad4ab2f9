#include <gtest/gtest.h>

#include <string>

#include "login/Md5Digest.h"

using namespace nb;

namespace {
std::string Md5Hex(std::string_view bytes) {
    Md5Digest digest;
    digest.Compute(bytes);
    return digest.ToHex();
}
}  // namespace

TEST(Md5Digest, MatchesTheReferenceVectors) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Digest, StartsZeroAndNeverCarriesStateOver) {
    Md5Digest digest;
    EXPECT_EQ(digest.ToHex(), std::string(32, '0'));
    digest.Compute("a");
    digest.Compute("abc");
    EXPECT_EQ(digest.ToHex(), "900150983cd24fb0d6963f7d28e17f72");
    // Exactly the given length: no terminating zero, embedded zero bytes count.
    const char withZero[] = {'a', '\0', 'b'};
    digest.Compute(withZero, 1);
    EXPECT_EQ(digest.ToHex(), "0cc175b9c0f1b6a831c399e269772661");
    digest.Compute(withZero, sizeof withZero);
    EXPECT_NE(digest.ToHex(), "0cc175b9c0f1b6a831c399e269772661");
}

TEST(DigestPassword, TwoPassesWithTheSaltInTheSecondOnly) {
    // md5hex(md5hex(password) + "rq4@8"), worked out independently of this code.
    EXPECT_EQ(DigestPassword("secret"), "1e17674f5ef3da2adcd4d725e67de0e3");
    EXPECT_EQ(DigestPassword("x"), "235138d9f449aedd568eca25f14d36f3");
    // Not one pass, not the salt in the first pass.
    EXPECT_NE(DigestPassword("secret"), Md5Hex("secret"));
    EXPECT_NE(DigestPassword("secret"), Md5Hex(Md5Hex("secretrq4@8") + "rq4@8"));
}

TEST(DigestPassword, CaseAndCodePageMatter) {
    const std::string upper = DigestPassword("Secret");
    EXPECT_EQ(upper, "af3936195561dbfd8e3f63a7166d6c8f");
    EXPECT_NE(upper, DigestPassword("secret"));
    // "密码" as code page 936 bytes, and the same characters in UTF-8.
    EXPECT_EQ(DigestPassword("\xC3\xDC\xC2\xEB"), "a2f3f70e97eebeab05ccc0212e14f5c4");
    EXPECT_EQ(DigestPassword("\xE5\xAF\x86\xE7\xA0\x81"), "180125b1893619fdb0fff55384f4b581");
    // Always 32 lower-case hex digits; a leading blank is part of the password.
    for (const char* password : {"a", " a", "a ", "ABCDEFGHIJKLMNOPQRST"}) {
        const std::string digest = DigestPassword(password);
        EXPECT_EQ(digest.size(), 32u);
        EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos) << digest;
    }
    EXPECT_NE(DigestPassword(" a"), DigestPassword("a"));
}
