// Blowfish in 64-bit cipher-feedback mode (CFB-64), and the file cipher keyed
// by a password and started from the fixed vector every .crp file uses.
#pragma once

#include <cstdint>

#include "crypto/blowfish_cipher.h"

namespace zorv {

// The initialisation vector of every file, for every password: the 8 ASCII
// bytes "QUENDRIL" without a terminator.
extern const uint8_t FileIv[8];

class CfbCipher : public BlowfishCipher {
public:
    // Keys the block cipher (see BlowfishCipher) and loads 8 bytes of iv into
    // the feedback register, or 8 zero bytes when iv is null.
    CfbCipher(const void* key, int32_t keyLength, const uint8_t* iv);
    CfbCipher(const CfbCipher&) = default;
    CfbCipher& operator=(const CfbCipher&) = default;
    ~CfbCipher() override;

    // Loads 8 bytes into the feedback register; the key schedule stays.
    void SetIV(const uint8_t* iv);

    // One CFB step on a block of plain text (encrypt) or cipher text
    // (decrypt); the register then holds that block's cipher text. Final, so
    // that the bulk route below always matches them.
    void EncryptBlock(uint32_t L, uint32_t R, uint32_t* outL, uint32_t* outR) final;
    void DecryptBlock(uint32_t L, uint32_t R, uint32_t* outL, uint32_t* outR) final;

protected:
    void EncryptGroups(const uint8_t* src, uint8_t* dst, size_t groups) override;
    void DecryptGroups(const uint8_t* src, uint8_t* dst, size_t groups) override;

private:
    // The register as its two little-endian halves V0 (bytes 0-3) and V1.
    uint32_t iv0_ = 0;
    uint32_t iv1_ = 0;
};

}  // namespace zorv
