// The standard CRC-32 (ISO-HDLC, as in zlib and PNG): reflected polynomial
// 0xEDB88320, register preset to all ones, result complemented. The .crp
// format stores it as text after the plain bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorv {

class Crc32 {
public:
    Crc32() = default;
    // Continues from a checksum: feeding B then gives the Crc32 of the bytes
    // that value is the checksum of, followed by B.
    explicit Crc32(uint32_t value) : register_(~value) {}
    virtual ~Crc32() = default;

    // Feeds length bytes in order; returns the new register value.
    uint32_t Update(const void* data, size_t length);
    // The checksum of everything fed so far (0 when nothing was fed); feeding
    // may continue afterwards.
    uint32_t Value() const { return ~register_; }

private:
    uint32_t register_ = 0xFFFFFFFFu;
};

// Joins the checksums of two consecutive pieces, so that threads can
// checksum separate ranges of one file. crcA: Crc32 of piece A; crcB: Crc32
// of piece B, which has lengthB bytes. Returns the Crc32 of A followed by B.
uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB);

}  // namespace zorv
