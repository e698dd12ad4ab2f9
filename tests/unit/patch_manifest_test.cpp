#include <gtest/gtest.h>

#include <cstdio>

#include "platform/Signature.h"
#include "update/PatchManifest.h"

using nb::ManifestFile;
using nb::ParsePatchManifest;
using nb::PatchManifest;
namespace platform = nb::platform;

namespace {

template <size_t N>
std::array<uint8_t, N> FromHex(const char* hex) {
    std::array<uint8_t, N> out{};
    for (size_t i = 0; i < N; ++i) {
        unsigned v = 0;
        std::sscanf(hex + 2 * i, "%2x", &v);
        out[i] = static_cast<uint8_t>(v);
    }
    return out;
}

// The first test key of RFC 8032, with its signature of the empty message.
const auto kSeed = FromHex<32>("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
const auto kPublic = FromHex<32>("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
const auto kEmptySignature = FromHex<64>(
    "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bb"
    "e24655141438e7a100b");

std::string Signed(const std::string& body, const platform::Ed25519Seed& seed = kSeed) {
    const auto signature = platform::SignEd25519(seed, body);
    EXPECT_TRUE(signature);
    return nb::AppendManifestSignature(body, signature.value_or(platform::Ed25519Signature{}));
}

const std::string kDigestA(64, 'a');
const std::string kHead = "nb-patch-manifest 1\nbfrom 41\nbto 45\nfinal_version 1.0.45\narchive_size 1234\n"
                          "archive_sha256 " + std::string(64, '0') + "\n";

std::string Parse(const std::string& text, PatchManifest* out = nullptr) {
    PatchManifest m;
    std::string error;
    const bool ok = ParsePatchManifest(text, {kPublic}, m, error);
    EXPECT_EQ(ok, error.empty()) << error;
    if (out) *out = m;
    return ok ? "ok" : error;
}

}  // namespace

TEST(SignatureTest, Ed25519MatchesTheStandardsVectorAndRefusesAnyChange) {
    EXPECT_EQ(platform::Ed25519PublicKeyOf(kSeed), kPublic);
    EXPECT_EQ(platform::SignEd25519(kSeed, ""), kEmptySignature);
    EXPECT_TRUE(platform::VerifyEd25519(kPublic, "", kEmptySignature));
    EXPECT_FALSE(platform::VerifyEd25519(kPublic, std::string(1, '\0'), kEmptySignature));
    auto flipped = kEmptySignature;
    flipped[63] ^= 0x01;
    EXPECT_FALSE(platform::VerifyEd25519(kPublic, "", flipped));
    auto otherKey = kPublic;
    otherKey[0] ^= 0x01;
    EXPECT_FALSE(platform::VerifyEd25519(otherKey, "", kEmptySignature));
    // Not a point of the curve: refused, not a crash.
    platform::Ed25519PublicKey junk;
    junk.fill(0xFF);
    EXPECT_FALSE(platform::VerifyEd25519(junk, "", kEmptySignature));
}

TEST(SignatureTest, Base64HasOneSpellingPerValue) {
    EXPECT_EQ(platform::EncodeBase64(""), "");
    EXPECT_EQ(platform::EncodeBase64("f"), "Zg==");
    EXPECT_EQ(platform::EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(platform::EncodeBase64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(platform::EncodeBase64(std::string("\xfb\xff\xbf", 3)), "+/+/");
    EXPECT_EQ(platform::DecodeBase64("Zm9vYg=="), "foob");
    EXPECT_EQ(platform::DecodeBase64("+/+/"), std::string("\xfb\xff\xbf", 3));
    EXPECT_EQ(platform::DecodeBase64(""), "");
    for (const char* bad : {"Zg=", "Zg", "Zh==", "Zm9=", "Zg==Zg==", "Z===", "Zm 9v", "Zm9v\n", "Zm-_", "=Zm9"})
        EXPECT_FALSE(platform::DecodeBase64(bad)) << bad;

    EXPECT_EQ(platform::DecodePublicKey("11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo="), kPublic);
    EXPECT_FALSE(platform::DecodePublicKey("11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHUQ=="));  // 31 bytes
    EXPECT_FALSE(platform::DecodePublicKey("not a key"));
}

TEST(PatchManifestTest, WritesAndReadsBackEveryByteOfNames) {
    PatchManifest m;
    m.buildFrom = -3;
    m.buildTo = 2147483647;
    m.finalVersion = "1.0 \xB5\xE7\xD0\xC5 100%";
    m.archiveSize = 18446744073709551615ull;
    m.archiveSha256.fill(0xAB);
    ManifestFile a{"NbLauncher.exe", 0, {}, 0755};
    ManifestFile b{"data/\xB5\xE7 x\n%\x7F\x01.pak", 42, {}, 0600};
    b.sha256[0] = 0x01;
    m.files = {a, b};
    const std::string body = nb::FormatManifestBody(m);
    EXPECT_EQ(body,
              "nb-patch-manifest 1\nbfrom -3\nbto 2147483647\nfinal_version 1.0%20\xB5\xE7\xD0\xC5%20100%25\n"
              "archive_size 18446744073709551615\narchive_sha256 abababababababababababababababab"
              "abababababababababababababababab\nfile 0 "  + std::string(64, '0') + " 0755 NbLauncher.exe\nfile 42 01" + std::string(62, '0') +
                  " 0600 data/\xB5\xE7%20x%0A%25%7F%01.pak\n");

    PatchManifest back;
    ASSERT_EQ(Parse(Signed(body), &back), "ok");
    EXPECT_EQ(back.buildFrom, -3);
    EXPECT_EQ(back.buildTo, 2147483647);
    EXPECT_EQ(back.finalVersion, m.finalVersion);
    EXPECT_EQ(back.archiveSize, m.archiveSize);
    EXPECT_EQ(back.archiveSha256, m.archiveSha256);
    ASSERT_EQ(back.files.size(), 2u);
    EXPECT_EQ(back.files[1].path, b.path);
    EXPECT_EQ(back.files[1].size, 42u);
    EXPECT_EQ(back.files[1].sha256, b.sha256);
    EXPECT_EQ(back.files[1].mode, 0600u);
    EXPECT_EQ(back.files[0].mode, 0755u);

    // A three-digit mode, as an operator's own tools may write it, reads the same.
    EXPECT_EQ(Parse(Signed(kHead + "file 1 " + kDigestA + " 644 a\n"), &back), "ok");
    EXPECT_EQ(back.files.at(0).mode, 0644u);
}

TEST(PatchManifestTest, RefusesMalformedManifestsWithTheLineAtFault) {
    const std::string file = "file 1 " + kDigestA + " 0644 ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"nb-patch-manifest 2\n" + kHead.substr(20), "line 1: not a patch manifest of a known format"},
        {"bfrom 41\n", "line 1: not a patch manifest"},
        {"nb-patch-manifest 1\nbfrom 41\nfinal_version v\n", "line 3: expected 'bto VALUE'"},
        {"nb-patch-manifest 1\nbfrom 41\n", "line 3: expected 'bto', found the signature"},
        {"nb-patch-manifest 1\nbfrom 041\n", "line 2: bfrom is not a build number"},
        {"nb-patch-manifest 1\nbfrom 2147483648\n", "line 2: bfrom is not a build number"},
        {"nb-patch-manifest 1\nbfrom  41\n", "line 2: expected 'bfrom VALUE'"},
        {"nb-patch-manifest 1\r\nbfrom 41\r\n", "line 1: not a patch manifest"},
        {"nb-patch-manifest 1\nbfrom 5\nbto 4\n", "line 3: bto is below bfrom"},
        {"nb-patch-manifest 1\nbfrom 4\nbto 5\nfinal_version a b\n", "line 4: expected 'final_version VALUE'"},
        {"nb-patch-manifest 1\nbfrom 4\nbto 5\nfinal_version a%0Ab\n", "line 4: final_version must be one line"},
        {"nb-patch-manifest 1\nbfrom 4\nbto 5\nfinal_version a%2\n", "line 4: final_version: '%' must be"},
        {"nb-patch-manifest 1\nbfrom 4\nbto 5\nfinal_version a%2f\n", "line 4: final_version: '%' must be"},
        {"nb-patch-manifest 1\nbfrom 4\nbto 5\nfinal_version a\tb\n", "line 4: final_version: a byte that"},
        {"nb-patch-manifest 1\nbfrom 4\nbto 5\nfinal_version v\narchive_size 18446744073709551616\n",
         "line 5: archive_size is not a byte count"},
        {"nb-patch-manifest 1\nbfrom 4\nbto 5\nfinal_version v\narchive_size 1\narchive_sha256 " +
             std::string(64, 'A') + "\n",
         "line 6: archive_sha256 is not 64 lower-case"},
        {"nb-patch-manifest 1\nbfrom 4\nbto 5\nfinal_version v\narchive_size 1\narchive_sha256 " +
             std::string(63, 'a') + "\n",
         "line 6: archive_sha256 is not 64 lower-case"},
        {kHead + "file 1 " + kDigestA + " 0644\n", "line 7: expected 'file SIZE SHA256 MODE PATH'"},
        {kHead + "file 1 " + kDigestA + " 0644 a b\n", "line 7: expected 'file SIZE SHA256 MODE PATH'"},
        {kHead + "file -1 " + kDigestA + " 0644 a\n", "line 7: the size is not a byte count"},
        {kHead + "file 1 " + kDigestA + " 1777 a\n", "line 7: the mode is not octal permission bits"},
        {kHead + "file 1 " + kDigestA + " 0844 a\n", "line 7: the mode is not octal permission bits"},
        {kHead + "file 1 " + kDigestA.substr(1) + "g 0644 a\n", "line 7: the SHA-256 is not 64"},
        {kHead + file + "a\n" + file + "b\n" + file + "a\n", "line 9: the path is listed twice: a"},
        {kHead + file + "%2E%2E/etc/passwd\n", "line 7: the path has a '..' part: ../etc/passwd"},
        {kHead + file + "data/../../x\n", "line 7: the path has a '..' part"},
        {kHead + file + "./x\n", "line 7: the path has a '.' part"},
        {kHead + file + "/etc/passwd\n", "line 7: the path is absolute"},
        {kHead + file + "a//b\n", "line 7: the path has an empty part"},
        {kHead + file + "a/\n", "line 7: the path has an empty part"},
        {kHead + file + "..\\..\\x\n", "line 7: the path holds a backslash"},
        {kHead + file + "C:x\n", "line 7: the path holds a colon"},
        {kHead + file + "a%00b\n", "line 7: the path holds a zero byte"},
        {kHead + file + "ncheck_v.txt\n", "line 7: the top-level name ncheck_v.txt is reserved"},
        {kHead + file + "data/x\n" + file + "data\n", "the path data is listed as a file and as a folder"},
        {kHead + "signature x\n", "line 7: expected 'file SIZE SHA256 MODE PATH'"},
    };
    for (const auto& [body, expected] : cases) {
        const std::string error = Parse(Signed(body));
        EXPECT_EQ(error.substr(0, expected.size()), expected) << body;
    }
    EXPECT_EQ(Parse(Signed(kHead + file + "data/x\n" + file + "data/xy\n")), "ok");
}

TEST(PatchManifestTest, TrustsOnlyExactBytesSignedByAGivenKey) {
    const std::string text = Signed(kHead + "file 3 " + kDigestA + " 0644 a.txt\n");
    ASSERT_EQ(Parse(text), "ok");

    // Every single changed byte of the signed part, and any truncation, is refused.
    const size_t sigLine = text.find("signature ");
    for (size_t i = 0; i < sigLine; ++i) {
        std::string changed = text;
        changed[i] = changed[i] == '1' ? '2' : '1';
        EXPECT_NE(Parse(changed), "ok") << i;
    }
    for (size_t n = 0; n < text.size(); ++n) EXPECT_NE(Parse(text.substr(0, n)), "ok") << n;
    EXPECT_EQ(Parse(""), "the manifest is empty");
    EXPECT_EQ(Parse(text.substr(0, text.size() - 1)), "the manifest is truncated: its last line has no line end");
    EXPECT_EQ(Parse(text.substr(0, sigLine)), "the manifest has no signature line at its end (is it truncated?)");
    EXPECT_EQ(Parse(text + "\n"), "the manifest has no signature line at its end (is it truncated?)");
    const std::string signature = text.substr(sigLine + 10, 88);
    EXPECT_EQ(Parse(text.substr(0, sigLine) + "signature " + signature.substr(0, 84) + "\n"),
              "the signature is not the base64 of 64 bytes");
    EXPECT_EQ(Parse(text.substr(0, sigLine) + "signature !" + signature.substr(1) + "\n"),
              "the signature is not the base64 of 64 bytes");

    const char* kMismatch = "the signature does not match: the manifest was changed or signed by another key";
    platform::Ed25519Seed otherSeed = kSeed;
    otherSeed[0] ^= 0x80;
    EXPECT_EQ(Parse(Signed(kHead, otherSeed)), kMismatch);
    std::string changed = text;
    changed[text.find("a.txt")] = 'b';
    EXPECT_EQ(Parse(changed), kMismatch);

    // Any one of several keys will do (keys can be rotated); none at all trusts nothing.
    PatchManifest m;
    std::string error;
    const auto otherKey = platform::Ed25519PublicKeyOf(otherSeed).value();
    EXPECT_TRUE(ParsePatchManifest(text, {otherKey, kPublic}, m, error)) << error;
    EXPECT_EQ(m.files.at(0).path, "a.txt");
    PatchManifest untouched;
    untouched.buildFrom = 99;
    EXPECT_FALSE(ParsePatchManifest(text, {}, untouched, error));
    EXPECT_EQ(error, "no public key to check the signature with");
    EXPECT_EQ(untouched.buildFrom, 99);
}
