#include "core/sha1.h"

#include <gtest/gtest.h>

#include <string>

TEST(Sha1, MatchesKnownDigestsAtEveryBlockEdge) {
    // 55 bytes fit the bit count into the last block; 56, 63, 64 and 119 do not.
    const std::pair<std::string, const char*> cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(55, 'x'), "cef734ba81a024479e09eb5a75b6ddae62e6abf1"},
        {std::string(63, 'x'), "0ddc4e0cccd9a12850deb5abb0853a4425559fec"},
        {std::string(64, 'x'), "bb2fa3ee7afb9f54c6dfb5d021f14b1ffe40c163"},
        {std::string(119, 'x'), "4300320394f7ee239bcdce7d3b8bcee173a0cd5c"}};
    for (const auto& [input, expected] : cases) {
        unsigned char digest[20];
        char hex[41];
        sha1::calc(input.data(), static_cast<long>(input.size()), digest);
        sha1::toHexString(digest, hex);
        EXPECT_STREQ(hex, expected) << input.size() << " bytes";
    }
}
