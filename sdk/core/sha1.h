// The SHA-1 digest, used to name an applet's settings folder.
#ifndef HALV_SHA1_H
#define HALV_SHA1_H

namespace sha1 {

// Writes the 20-byte digest of `byteLength` bytes at `source` into `hash`.
// The bit count is carried in 32 bits: inputs must be shorter than 2^29 bytes.
void calc(const void* source, const long byteLength, unsigned char* hash);

// Writes the digest as 40 lowercase hexadecimal digits and a NUL (41 bytes).
void toHexString(const unsigned char* hash, char* hexString);

// One 64-byte block step: `w` holds the block as 16 big-endian words and is
// used as scratch (80 words); `result` holds the five chaining words.
void innerHash(unsigned int* result, unsigned int* w);

} // namespace sha1

#endif
