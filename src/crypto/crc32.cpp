#include "crypto/crc32.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZORV_CRC_FOLDING 1
#endif

namespace zorv {
namespace {

constexpr uint32_t kReflectedPolynomial = 0xEDB88320u;  // P, bit 31 the coefficient of x^0

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
            c = (c >> 1) ^ ((c & 1u) ? kReflectedPolynomial : 0u);
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

uint32_t UpdateByTables(uint32_t c, const uint8_t* p, size_t length) {
    const auto& t = kTables.row;
    for (; length >= 8; length -= 8, p += 8) {
        const uint32_t lo = c ^ Load32Le(p);
        const uint32_t hi = Load32Le(p + 4);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; length > 0; --length, ++p) {
        c = (c >> 8) ^ t[0][(c ^ *p) & 0xFF];
    }
    return c;
}

#ifdef ZORV_CRC_FOLDING

// Folding with carry-less multiplication: 64 bytes at a time are folded
// forward by multiplying with x^n mod P, then reduced to 32 bits (Barrett).
// The constants are those powers for the bit-reflected polynomial, each
// reflected and shifted left by one.
constexpr long long kFold512Lo = 0x154442BD4;  // x^(512+32) mod P
constexpr long long kFold512Hi = 0x1C6E41596;  // x^(512-32) mod P
constexpr long long kFold128Lo = 0x1751997D0;  // x^(128+32) mod P
constexpr long long kFold128Hi = 0x0CCAA009E;  // x^(128-32) mod P
constexpr long long kFold64 = 0x163CD6124;     // x^64 mod P
constexpr long long kPolynomial = 0x1DB710641;
constexpr long long kBarrettMu = 0x1F7011641;  // x^64 / P

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load128(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Advances register c over length bytes, a multiple of 16 and at least 64.
__attribute__((target("pclmul,sse4.1"))) uint32_t UpdateByFolding(uint32_t c, const uint8_t* p,
                                                                  size_t length) {
    const __m128i k512 = _mm_set_epi64x(kFold512Hi, kFold512Lo);
    const __m128i k128 = _mm_set_epi64x(kFold128Hi, kFold128Lo);
    __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x1 = Load128(p + 16);
    __m128i x2 = Load128(p + 32);
    __m128i x3 = Load128(p + 48);
    for (p += 64, length -= 64; length >= 64; p += 64, length -= 64) {
        x0 = Fold(x0, k512, Load128(p));
        x1 = Fold(x1, k512, Load128(p + 16));
        x2 = Fold(x2, k512, Load128(p + 32));
        x3 = Fold(x3, k512, Load128(p + 48));
    }
    x0 = Fold(Fold(Fold(x0, k128, x1), k128, x2), k128, x3);
    for (; length >= 16; p += 16, length -= 16) {
        x0 = Fold(x0, k128, Load128(p));
    }
    // 128 bits to 64, then to 32, then the Barrett reduction to the register.
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), _mm_clmulepi64_si128(x0, k128, 0x10));
    const __m128i k64 = _mm_set_epi64x(0, kFold64);
    x0 = _mm_xor_si128(_mm_srli_si128(x0, 4),
                       _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), k64, 0x00));
    const __m128i barrett = _mm_set_epi64x(kBarrettMu, kPolynomial);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), barrett, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x0, t), 1));
}

bool HaveFolding() {
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return have;
}

#endif

}  // namespace

uint32_t Crc32::Update(const void* data, size_t length) {
    const auto* p = static_cast<const uint8_t*>(data);
    uint32_t c = register_;
#ifdef ZORV_CRC_FOLDING
    if (length >= 64 && HaveFolding()) {
        const size_t folded = length / 16 * 16;
        c = UpdateByFolding(c, p, folded);
        p += folded;
        length -= folded;
    }
#endif
    register_ = UpdateByTables(c, p, length);
    return register_;
}

// The CRC register is the remainder of the data polynomial modulo P. Adding
// n zero bytes after A multiplies A's remainder by x^(8n) mod P, and the
// presetting and final complement of the standard CRC cancel out between
// the two pieces, so crc(A|B) = crcA * x^(8 * lengthB) + crcB (mod P, over
// GF(2)). Polynomials are held reflected, as the register holds them.
namespace {

constexpr uint32_t kReflectedOne = 0x80000000u;  // x^0

// a * b mod P.
uint32_t MultiplyModP(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (uint32_t bit = kReflectedOne; bit != 0; bit >>= 1) {
        if (a & bit) {
            product ^= b;
        }
        // b *= x: a shift towards the high powers, reduced by P.
        b = (b & 1) ? (b >> 1) ^ kReflectedPolynomial : b >> 1;
    }
    return product;
}

// x^(8n) mod P by squaring: x^(2^k) for k = 3, 4, ... multiplied in for the
// set bits of n.
uint32_t PowerOfXModP(uint64_t n) {
    uint32_t square = kReflectedOne >> 8;  // x^8
    uint32_t result = kReflectedOne;
    while (n != 0) {
        if (n & 1) {
            result = MultiplyModP(result, square);
        }
        square = MultiplyModP(square, square);
        n >>= 1;
    }
    return result;
}

}  // namespace

uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB) {
    return MultiplyModP(crcA, PowerOfXModP(lengthB)) ^ crcB;
}

}  // namespace zorv
