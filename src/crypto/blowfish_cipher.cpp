#include "crypto/blowfish_cipher.h"

#include <cstring>

#include "crypto/blowfish_rounds.h"
#include "crypto/secure_zero.h"

namespace zorv {

BlowfishCipher::BlowfishCipher(const void* key, int32_t keyLength) {
    std::memcpy(p_, kBlowfishInitialTables, sizeof p_);
    std::memcpy(s_, kBlowfishInitialTables + 18, sizeof s_);
    if (key != nullptr && keyLength > 0) {
        KeySchedule(static_cast<const uint8_t*>(key), keyLength);
    }
}

BlowfishCipher::~BlowfishCipher() {
    SecureZero(p_, sizeof p_);
    SecureZero(s_, sizeof s_);
}

void BlowfishCipher::KeySchedule(const uint8_t* key, int32_t keyLength) {
    // Fold the key into P in big-endian groups of four, consumed cyclically:
    // a group wraps across the end of a key whose length is not a multiple
    // of 4. Bytes are unsigned, so 0x80 and above never sign-extend.
    const auto n = static_cast<uint32_t>(keyLength);
    uint32_t j = 0;
    uint32_t word = 0;
    for (int i = 0; i < 18; ++i) {
        word = 0;
        for (int b = 0; b < 4; ++b) {
            word = word << 8 | key[j];
            j = (j + 1) % n;
        }
        p_[i] ^= word;
    }
    // Replace the subkeys in order by the running encryption of a zero block;
    // each encryption uses the tables as replaced so far.
    uint32_t L = 0;
    uint32_t R = 0;
    for (int i = 0; i < 18; i += 2) {
        EncryptWords(L, R);
        p_[i] = L;
        p_[i + 1] = R;
    }
    for (int e = 0; e < 4 * 256; e += 2) {
        EncryptWords(L, R);
        s_[e] = L;
        s_[e + 1] = R;
    }
    // The last folded key word and the running block are key material.
    SecureZero(&word, sizeof word);
    SecureZero(&L, sizeof L);
    SecureZero(&R, sizeof R);
}

void BlowfishCipher::EncryptBlock(uint32_t L, uint32_t R, uint32_t* outL, uint32_t* outR) {
    EncryptWords(L, R);
    *outL = L;
    *outR = R;
}

void BlowfishCipher::DecryptBlock(uint32_t L, uint32_t R, uint32_t* outL, uint32_t* outR) {
    DecryptWords(L, R);
    *outL = L;
    *outR = R;
}

void BlowfishCipher::EncryptGroups(const uint8_t* src, uint8_t* dst, size_t groups) {
    for (size_t t = 0; t < groups; ++t, src += 8, dst += 8) {
        uint32_t L = 0;
        uint32_t R = 0;
        EncryptBlock(load32_le(src), load32_le(src + 4), &L, &R);
        store32_le(dst, L);
        store32_le(dst + 4, R);
    }
}

void BlowfishCipher::DecryptGroups(const uint8_t* src, uint8_t* dst, size_t groups) {
    for (size_t t = 0; t < groups; ++t, src += 8, dst += 8) {
        uint32_t L = 0;
        uint32_t R = 0;
        DecryptBlock(load32_le(src), load32_le(src + 4), &L, &R);
        store32_le(dst, L);
        store32_le(dst + 4, R);
    }
}

int BlowfishCipher::EncryptBuffer(const uint8_t* src, uint32_t count, uint8_t* dst,
                                  uint32_t* outCount, bool final) {
    const uint32_t whole = count / 8 * 8;
    EncryptGroups(src, dst, whole / 8);
    *outCount = count;
    if (final) {
        // The pad: the r leftover bytes, 7 - r zeros and the digit of the pad
        // length, so a whole block of seven zeros and '8' when r = 0.
        const uint32_t r = count - whole;
        uint8_t block[8] = {};
        if (r > 0) {
            std::memcpy(block, src + whole, r);
        }
        block[7] = static_cast<uint8_t>('0' + (8 - r));
        EncryptGroups(block, dst + whole, 1);
        SecureZero(block, sizeof block);
        *outCount = whole + 8;
    }
    return 0;
}

int BlowfishCipher::DecryptBuffer(const uint8_t* src, uint32_t count, uint8_t* dst,
                                  uint32_t* outCount, bool final) {
    const uint32_t whole = count / 8 * 8;
    DecryptGroups(src, dst, whole / 8);
    *outCount = count;
    if (final && count > 0) {
        // A malformed last chunk may end in a partial group: it stays as it
        // came, so the result is the same in place and between two buffers.
        if (src != dst) {
            std::memmove(dst + whole, src + whole, count - whole);
        }
        // Only the last byte is examined: '0' strips nothing, '9' nine bytes;
        // a digit larger than the count leaves nothing rather than wrapping.
        const uint8_t c = dst[count - 1];
        if (c >= '0' && c <= '9') {
            const uint32_t strip = static_cast<uint32_t>(c - '0');
            *outCount = strip <= count ? count - strip : 0;
        }
    }
    return 0;
}

}  // namespace zorv
