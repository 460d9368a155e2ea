#include "crypto/crp_format.h"

#include <cstring>

#include "crypto/secure_zero.h"

namespace zorv {

uint64_t LastChunkBytes(uint64_t size) {
    const uint64_t rest = size % kCrpChunkBytes;
    if (size == kCrcTextBytes) {
        return 0;
    }
    if (rest == kCrcTextBytes) {
        return kLongestLastChunk;
    }
    return rest == 0 ? kCrpChunkBytes : rest;
}

void FormatCrcText(uint32_t crc, uint8_t* text) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = 7; i >= 0; --i) {
        text[i] = static_cast<uint8_t>(kDigits[crc & 0xF]);
        crc >>= 4;
    }
}

bool OpenLastChunk(FileCipher& cipher, uint8_t* chunk, size_t n, size_t* plain) {
    uint32_t unpadded = 0;
    cipher.DecryptBuffer(chunk, static_cast<uint32_t>(n), chunk, &unpadded, true);
    // A damaged file or a wrong password can leave less than the checksum
    // text after unpadding; nothing outside the chunk is ever read.
    *plain = unpadded < kCrcTextBytes ? 0 : unpadded - kCrcTextBytes;
    return unpadded >= kCrcTextBytes;
}

bool CrcTextMatches(uint32_t crc, const uint8_t* text) {
    uint8_t expected[kCrcTextBytes];
    FormatCrcText(crc, expected);
    const bool match = std::memcmp(expected, text, kCrcTextBytes) == 0;
    SecureZero(expected, sizeof expected);
    return match;
}

}  // namespace zorv
