// The CRC register is the remainder of the data polynomial modulo P. Adding
// n zero bytes after A multiplies A's remainder by x^(8n) mod P, and the
// presetting and final complement of the standard CRC cancel out between
// the two pieces, so crc(A|B) = crcA * x^(8 * lengthB) + crcB (mod P, over
// GF(2)). Polynomials are held reflected, as the CRC itself holds them: bit
// 31 is the coefficient of x^0.
#include "cli/crc_combine.h"

namespace zorv {
namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;  // P, reflected
constexpr std::uint32_t kOne = 0x80000000u;         // x^0, reflected

// a * b mod P.
std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b) {
    std::uint32_t product = 0;
    for (std::uint32_t bit = kOne; bit != 0; bit >>= 1) {
        if (a & bit) {
            product ^= b;
        }
        // b *= x: a shift towards the high powers, reduced by P.
        b = (b & 1) ? (b >> 1) ^ kPolynomial : b >> 1;
    }
    return product;
}

// x^(8n) mod P by squaring: x^(2^k) for k = 3, 4, ... multiplied in for the
// set bits of n.
std::uint32_t PowerOfXModP(std::uint64_t n) {
    std::uint32_t square = kOne >> 8;  // x^8
    std::uint32_t result = kOne;
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

std::uint32_t Crc32Combine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB) {
    return MultiplyModP(crcA, PowerOfXModP(lengthB)) ^ crcB;
}

}  // namespace zorv
