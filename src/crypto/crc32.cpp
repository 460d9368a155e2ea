#include "crypto/crc32.h"

namespace zorv {
namespace {

// Slicing-by-8: table[k][b] is the CRC register contribution of byte b
// followed by k zero bytes, so eight bytes advance the register with eight
// independent lookups. Row 0 is the classic byte-wise table.
struct CrcTables {
    uint32_t row[8][256];
};

constexpr CrcTables BuildTables() {
    CrcTables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c >> 1) ^ ((c & 1u) ? 0xEDB88320u : 0u);
        }
        t.row[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        for (int k = 1; k < 8; ++k) {
            const uint32_t prev = t.row[k - 1][i];
            t.row[k][i] = (prev >> 8) ^ t.row[0][prev & 0xFF];
        }
    }
    return t;
}

constexpr CrcTables kTables = BuildTables();

inline uint32_t Load32Le(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

uint32_t Crc32::Update(const void* data, size_t length) {
    const auto* p = static_cast<const uint8_t*>(data);
    const auto& t = kTables.row;
    uint32_t c = register_;
    for (; length >= 8; length -= 8, p += 8) {
        const uint32_t lo = c ^ Load32Le(p);
        const uint32_t hi = Load32Le(p + 4);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; length > 0; --length, ++p) {
        c = (c >> 8) ^ t[0][(c ^ *p) & 0xFF];
    }
    register_ = c;
    return c;
}

}  // namespace zorv
