// The 16 Blowfish rounds, written out with the subkeys addressed directly and
// the S-box indices picked by shifts and masks. Included only by the cipher
// sources, which inline these into their loops.
#pragma once

#include "crypto/blowfish_cipher.h"

namespace zorv {

inline uint32_t BlowfishCipher::RoundFunction(uint32_t x) const {
    // One flat table: box b starts at b * 256, so each lookup is one load
    // with a constant displacement.
    const uint32_t* s = s_;
    return ((s[x >> 24] + s[256 + ((x >> 16) & 0xFF)]) ^ s[512 + ((x >> 8) & 0xFF)]) +
           s[768 + (x & 0xFF)];
}

inline void BlowfishCipher::EncryptWords(uint32_t& L, uint32_t& R) const {
    const uint32_t* p = p_;
    uint32_t l = L ^ p[0];
    uint32_t r = R;
    r ^= RoundFunction(l) ^ p[1];
    l ^= RoundFunction(r) ^ p[2];
    r ^= RoundFunction(l) ^ p[3];
    l ^= RoundFunction(r) ^ p[4];
    r ^= RoundFunction(l) ^ p[5];
    l ^= RoundFunction(r) ^ p[6];
    r ^= RoundFunction(l) ^ p[7];
    l ^= RoundFunction(r) ^ p[8];
    r ^= RoundFunction(l) ^ p[9];
    l ^= RoundFunction(r) ^ p[10];
    r ^= RoundFunction(l) ^ p[11];
    l ^= RoundFunction(r) ^ p[12];
    r ^= RoundFunction(l) ^ p[13];
    l ^= RoundFunction(r) ^ p[14];
    r ^= RoundFunction(l) ^ p[15];
    l ^= RoundFunction(r) ^ p[16];
    L = r ^ p[17];
    R = l;
}

inline void BlowfishCipher::DecryptWords(uint32_t& L, uint32_t& R) const {
    const uint32_t* p = p_;
    uint32_t l = L ^ p[17];
    uint32_t r = R;
    r ^= RoundFunction(l) ^ p[16];
    l ^= RoundFunction(r) ^ p[15];
    r ^= RoundFunction(l) ^ p[14];
    l ^= RoundFunction(r) ^ p[13];
    r ^= RoundFunction(l) ^ p[12];
    l ^= RoundFunction(r) ^ p[11];
    r ^= RoundFunction(l) ^ p[10];
    l ^= RoundFunction(r) ^ p[9];
    r ^= RoundFunction(l) ^ p[8];
    l ^= RoundFunction(r) ^ p[7];
    r ^= RoundFunction(l) ^ p[6];
    l ^= RoundFunction(r) ^ p[5];
    r ^= RoundFunction(l) ^ p[4];
    l ^= RoundFunction(r) ^ p[3];
    r ^= RoundFunction(l) ^ p[2];
    l ^= RoundFunction(r) ^ p[1];
    L = r ^ p[0];
    R = l;
}

inline void BlowfishCipher::EncryptWords4(uint32_t* L, uint32_t* R) const {
    const uint32_t* p = p_;
    uint32_t l0 = L[0] ^ p[0], l1 = L[1] ^ p[0], l2 = L[2] ^ p[0], l3 = L[3] ^ p[0];
    uint32_t r0 = R[0], r1 = R[1], r2 = R[2], r3 = R[3];
    for (int i = 1; i <= 15; i += 2) {
        const uint32_t k1 = p[i];
        const uint32_t k2 = p[i + 1];
        r0 ^= RoundFunction(l0) ^ k1;
        r1 ^= RoundFunction(l1) ^ k1;
        r2 ^= RoundFunction(l2) ^ k1;
        r3 ^= RoundFunction(l3) ^ k1;
        l0 ^= RoundFunction(r0) ^ k2;
        l1 ^= RoundFunction(r1) ^ k2;
        l2 ^= RoundFunction(r2) ^ k2;
        l3 ^= RoundFunction(r3) ^ k2;
    }
    L[0] = r0 ^ p[17];
    L[1] = r1 ^ p[17];
    L[2] = r2 ^ p[17];
    L[3] = r3 ^ p[17];
    R[0] = l0;
    R[1] = l1;
    R[2] = l2;
    R[3] = l3;
}

}  // namespace zorv
