#include "core/sha1.h"

namespace sha1 {
namespace {

inline unsigned int rol(unsigned int value, int steps) {
    return (value << steps) | (value >> (32 - steps));
}

inline void clearW(unsigned int* w) {
    for (int i = 0; i < 16; ++i)
        w[i] = 0;
}

} // namespace

void innerHash(unsigned int* result, unsigned int* w) {
    for (int i = 16; i < 80; ++i)
        w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    unsigned int a = result[0], b = result[1], c = result[2], d = result[3], e = result[4];
    for (int i = 0; i < 80; ++i) {
        unsigned int f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5a827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ed9eba1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8f1bbcdc;
        } else {
            f = b ^ c ^ d;
            k = 0xca62c1d6;
        }
        const unsigned int t = rol(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rol(b, 30);
        b = a;
        a = t;
    }
    result[0] += a;
    result[1] += b;
    result[2] += c;
    result[3] += d;
    result[4] += e;
}

void calc(const void* source, const long byteLength, unsigned char* hash) {
    unsigned int result[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
    const unsigned char* bytes = static_cast<const unsigned char*>(source);
    unsigned int w[80];
    clearW(w);

    const long fullBlocksEnd = byteLength - 64;
    long block = 0;
    for (; block <= fullBlocksEnd; block += 64) {
        for (int i = 0; i < 64; i += 4)
            w[i >> 2] = (static_cast<unsigned int>(bytes[block + i]) << 24) |
                        (static_cast<unsigned int>(bytes[block + i + 1]) << 16) |
                        (static_cast<unsigned int>(bytes[block + i + 2]) << 8) | bytes[block + i + 3];
        innerHash(result, w);
    }

    // The tail, the 0x80 marker and the bit count, in one or two blocks.
    clearW(w);
    const long tail = byteLength - block;
    long i = 0;
    for (; i < tail; ++i)
        w[i >> 2] |= static_cast<unsigned int>(bytes[block + i]) << ((3 - (i & 3)) << 3);
    w[i >> 2] |= 0x80u << ((3 - (i & 3)) << 3);
    if (tail >= 56) {
        innerHash(result, w);
        clearW(w);
    }
    w[15] = static_cast<unsigned int>(byteLength) << 3;
    innerHash(result, w);

    for (int j = 19; j >= 0; --j)
        hash[j] = static_cast<unsigned char>((result[j >> 2] >> (((3 - j) & 3) << 3)) & 0xff);
}

void toHexString(const unsigned char* hash, char* hexString) {
    const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 20; ++i) {
        hexString[i * 2] = digits[(hash[i] >> 4) & 0xf];
        hexString[i * 2 + 1] = digits[hash[i] & 0xf];
    }
    hexString[40] = 0;
}

} // namespace sha1
