#include <gtest/gtest.h>

#include <cstdint>

#include "crypto/crc32.h"
#include "crypto_test_util.h"

namespace zorv {
namespace {

// The definition, one bit at a time: the reference for the table route.
uint32_t BitwiseCrc(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) {
            c = (c >> 1) ^ ((c & 1u) ? 0xEDB88320u : 0u);
        }
    }
    return ~c;
}

TEST(Crc32, KnownValues) {
    EXPECT_EQ(Crc32().Value(), 0x00000000u);
    Crc32 whole;
    whole.Update("123456789", 9);
    EXPECT_EQ(whole.Value(), 0xCBF43926u);
    Crc32 bytewise;
    for (char c : std::string("123456789")) {
        bytewise.Update(&c, 1);
    }
    EXPECT_EQ(bytewise.Value(), 0xCBF43926u);
    Crc32 nothing;
    nothing.Update("x", 0);
    EXPECT_EQ(nothing.Value(), 0u);
}

TEST(Crc32, AgreesWithTheBitwiseDefinitionAtEverySplit) {
    const test::Bytes data = test::Pattern(9000, 11);
    for (size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 64u, 65u, 79u, 80u, 127u, 128u, 129u,
                          200u, 4096u, 9000u}) {
        const uint32_t expected = BitwiseCrc(data.data(), length);
        for (size_t split = 0; split <= length; split += (length > 64 ? 509 : 1)) {
            Crc32 crc;
            crc.Update(data.data(), split);
            crc.Update(data.data() + split, length - split);
            ASSERT_EQ(crc.Value(), expected) << length << " split at " << split;
        }
    }
    // Reading the value in between does not disturb the register.
    Crc32 crc;
    crc.Update(data.data(), 100);
    (void)crc.Value();
    crc.Update(data.data() + 100, 900);
    EXPECT_EQ(crc.Value(), BitwiseCrc(data.data(), 1000));
}

uint32_t CrcOf(const uint8_t* data, size_t n) {
    Crc32 crc;
    crc.Update(data, n);
    return crc.Value();
}

TEST(Crc32Combine, EqualsTheChecksumOfTheWholeAtEverySplit) {
    const test::Bytes data = test::Pattern(3000, 1);
    const uint32_t whole = CrcOf(data.data(), data.size());
    for (size_t split : {0, 1, 7, 8, 9, 100, 1024, 2999, 3000}) {
        uint32_t a = CrcOf(data.data(), split);
        uint32_t b = CrcOf(data.data() + split, data.size() - split);
        EXPECT_EQ(Crc32Combine(a, b, data.size() - split), whole) << "split at " << split;
    }
}

TEST(Crc32Combine, HandlesLengthsBeyondFourGigabytes) {
    // Zero bytes multiply the remainder by x^8 each: combining with the CRC
    // of n zero bytes twice must equal combining once with 2n.
    const test::Bytes zeros(1 << 16, 0);
    const uint32_t crcZeros = CrcOf(zeros.data(), zeros.size());
    const uint32_t start = CrcOf(reinterpret_cast<const uint8_t*>("abc"), 3);
    uint32_t stepwise =
        Crc32Combine(Crc32Combine(start, crcZeros, zeros.size()), crcZeros, zeros.size());
    EXPECT_EQ(stepwise,
              Crc32Combine(start, CrcOf(test::Bytes(2 << 16, 0).data(), 2 << 16), 2 << 16));
    // 2^32 + 8 is not 8 modulo the order of x: a 32-bit length would alias.
    const uint64_t large = (uint64_t{1} << 32) + 8;
    EXPECT_NE(Crc32Combine(start, 0, large), Crc32Combine(start, 0, 8));
}

}  // namespace
}  // namespace zorv
