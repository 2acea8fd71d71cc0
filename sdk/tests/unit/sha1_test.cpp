#include "core/sha1.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string hexDigest(const std::string& input) {
    unsigned char digest[20];
    char hex[41];
    sha1::calc(input.data(), static_cast<long>(input.size()), digest);
    sha1::toHexString(digest, hex);
    return hex;
}

} // namespace

TEST(Sha1, MatchesKnownDigestsAcrossBlockBoundaries) {
    EXPECT_EQ(hexDigest(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hexDigest("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // 56 bytes: the length no longer fits in the first padding block.
    EXPECT_EQ(hexDigest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(hexDigest("The quick brown fox jumps over the lazy dog"),
              "2fd4e1c67a2d28fced849ee1bb76e7391b93eb12");
    EXPECT_EQ(hexDigest(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha1, PadsCorrectlyAtEveryBlockEdge) {
    // 55 fits the bit count into the last block; 63, 64 and 119 do not.
    EXPECT_EQ(hexDigest(std::string(55, 'x')), "cef734ba81a024479e09eb5a75b6ddae62e6abf1");
    EXPECT_EQ(hexDigest(std::string(63, 'x')), "0ddc4e0cccd9a12850deb5abb0853a4425559fec");
    EXPECT_EQ(hexDigest(std::string(64, 'x')), "bb2fa3ee7afb9f54c6dfb5d021f14b1ffe40c163");
    EXPECT_EQ(hexDigest(std::string(119, 'x')), "4300320394f7ee239bcdce7d3b8bcee173a0cd5c");
}
