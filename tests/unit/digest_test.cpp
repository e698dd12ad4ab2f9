#include "platform/Digest.h"

#include "update/BackgroundDigest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace nb::platform;

namespace {

template <size_t N>
std::string Hex(const std::array<uint8_t, N>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

template <size_t N>
std::string Finish(Digest& digest) {
    std::array<uint8_t, N> value{};
    EXPECT_TRUE(digest.Finish(value.data(), value.size()));
    return Hex(value);
}

const std::string kNist2 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

}  // namespace

TEST(Digest, Sha256MatchesTheReferenceVectorsOneShotAndInPieces) {
    EXPECT_EQ(Hex(Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex(Sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Hex(Sha256(kNist2)), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    // Every split of the 56-byte vector, across the 64-byte block edge included.
    for (size_t cut = 0; cut <= kNist2.size(); ++cut) {
        Digest digest(DigestKind::kSha256);
        digest.Update(kNist2.substr(0, cut));
        digest.Update(nullptr, 0);
        digest.Update(kNist2.substr(cut));
        EXPECT_EQ(Finish<32>(digest), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1") << cut;
    }
    // A million 'a' as a download would deliver it: in uneven chunks.
    const std::string million(1000000, 'a');
    Digest digest(DigestKind::kSha256);
    for (size_t pos = 0, n = 1; pos < million.size(); pos += n, n = n * 7 % 65521 + 1) {
        digest.Update(std::string_view(million).substr(pos, n));
    }
    EXPECT_EQ(Finish<32>(digest), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(Hex(Sha256(million)), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Digest, FinishStartsAfreshAndRefusesAWrongSize) {
    Digest md5(DigestKind::kMd5);
    md5.Update("message ");
    md5.Update("digest");
    EXPECT_EQ(Finish<16>(md5), "f96b697d7cb7938d525a2f31aaf161d0");
    md5.Update("abc");  // nothing of the first message carries over
    EXPECT_EQ(Finish<16>(md5), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(Md5("abc")), "900150983cd24fb0d6963f7d28e17f72");

    Digest sha(DigestKind::kSha256);
    sha.Update("abc");
    std::array<uint8_t, 16> tooSmall;
    tooSmall.fill(0xAA);
    EXPECT_FALSE(sha.Finish(tooSmall.data(), tooSmall.size()));
    EXPECT_EQ(Hex(tooSmall), std::string(32, '0'));
    EXPECT_EQ(Finish<32>(sha), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

// The hashing thread of a checked download: blocks of every size, some larger than the
// chunks it gathers, with a Wait now and then (a resumed transfer's new reply), must give
// the digest of the bytes in order.
TEST(Digest, BackgroundDigestHashesEveryByteInOrderAcrossChunkEdges) {
    std::string bytes(5 * 1048576 + 12345, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 2654435761u >> 13);
    Digest digest(DigestKind::kSha256);
    {
        nb::BackgroundDigest hasher(digest);
        size_t pos = 0;
        for (size_t n = 1, round = 0; pos < bytes.size(); ++round, n = n * 31 % 3000017 + 1) {
            n = std::min(n, bytes.size() - pos);
            hasher.Update(bytes.data() + pos, n);
            pos += n;
            if (round % 5 == 4) hasher.Wait();
        }
        hasher.Wait();
    }
    EXPECT_EQ(Finish<32>(digest), Hex(Sha256(bytes)));
}
