// Blowfish at word level: published vectors, the initial tables, the key
// schedule's folding of the key into the subkeys.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "crypto/blowfish_cipher.h"
#include "crypto/file_cipher.h"

namespace zorv {
namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

struct Vector {
    const char* key;  // hexadecimal key bytes
    uint64_t plain;   // the published 64-bit values: L is the upper half
    uint64_t cipher;
};

// The published electronic-codebook vectors (8-byte keys), and the variable
// key-length vectors (key lengths 1 to 24 taken from one long key).
const Vector kVectors[] = {
    {"0000000000000000", 0x0000000000000000, 0x4EF997456198DD78},
    {"FFFFFFFFFFFFFFFF", 0xFFFFFFFFFFFFFFFF, 0x51866FD5B85ECB8A},
    {"3000000000000000", 0x1000000000000001, 0x7D856F9A613063F2},
    {"1111111111111111", 0x1111111111111111, 0x2466DD878B963C9D},
    {"0123456789ABCDEF", 0x1111111111111111, 0x61F9C3802281B096},
    {"1111111111111111", 0x0123456789ABCDEF, 0x7D0CC630AFDA1EC7},
    {"FEDCBA9876543210", 0x0123456789ABCDEF, 0x0ACEAB0FC6A0A28D},
    {"7CA110454A1A6E57", 0x01A1D6D039776742, 0x59C68245EB05282B},
    {"0131D9619DC1376E", 0x5CD54CA83DEF57DA, 0xB1B8CC0B250F09A0},
    {"07A1133E4A0B2686", 0x0248D43806F67172, 0x1730E5778BEA1DA4},
    {"3849674C2602319E", 0x51454B582DDF440A, 0xA25E7856CF2651EB},
    {"04B915BA43FEB5B6", 0x42FD443059577FA2, 0x353882B109CE8F1A},
    {"0113B970FD34F2CE", 0x059B5E0851CF143A, 0x48F4D0884C379918},
    {"0170F175468FB5E6", 0x0756D8E0774761D2, 0x432193B78951FC98},
    {"43297FAD38E373FE", 0x762514B829BF486A, 0x13F04154D69D1AE5},
    {"07A7137045DA2A16", 0x3BDD119049372802, 0x2EEDDA93FFD39C79},
    {"04689104C2FD3B2F", 0x26955F6835AF609A, 0xD887E0393C2DA6E3},
    {"37D06BB516CB7546", 0x164D5E404F275232, 0x5F99D04F5B163969},
    {"1F08260D1AC2465E", 0x6B056E18759F5CCA, 0x4A057A3B24D3977B},
    {"584023641ABA6176", 0x004BD6EF09176062, 0x452031C1E4FADA8E},
    {"025816164629B007", 0x480D39006EE762F2, 0x7555AE39F59B87BD},
    {"49793EBC79B3258F", 0x437540C8698F3CFA, 0x53C55F9CB49FC019},
    {"4FB05E1515AB73A7", 0x072D43A077075292, 0x7A8E7BFA937E89A3},
    {"49E95D6D4CA229BF", 0x02FE55778117F12A, 0xCF9C5D7A4986ADB5},
    {"018310DC409B26D6", 0x1D9D5C5018F728C2, 0xD1ABB290658BC778},
    {"1C587F1C13924FEF", 0x305532286D6F295A, 0x55CB3774D13EF201},
    {"0101010101010101", 0x0123456789ABCDEF, 0xFA34EC4847B268B2},
    {"1F1F1F1F0E0E0E0E", 0x0123456789ABCDEF, 0xA790795108EA3CAE},
    {"E0FEE0FEF1FEF1FE", 0x0123456789ABCDEF, 0xC39E072D9FAC631D},
    {"0000000000000000", 0xFFFFFFFFFFFFFFFF, 0x014933E0CDAFF6E4},
    {"FFFFFFFFFFFFFFFF", 0x0000000000000000, 0xF21E9A77B71C49BC},
    {"0123456789ABCDEF", 0x0000000000000000, 0x245946885754369A},
    {"FEDCBA9876543210", 0xFFFFFFFFFFFFFFFF, 0x6B5C5A9C5D9E0A5A},
};

const char kLongKey[] = "F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677";
const uint64_t kKeyLengthCipher[24] = {
    0xF9AD597C49DB005E, 0xE91D21C1D961A6D6, 0xE9C2B70A1BC65CF3, 0xBE1E639408640F05,
    0xB39E44481BDB1E6E, 0x9457AA83B1928C0D, 0x8BB77032F960629D, 0xE87A244E2CC85E82,
    0x15750E7A4F4EC577, 0x122BA70B3AB64AE0, 0x3A833C9AFFC537F6, 0x9409DA87A90F6BF2,
    0x884F80625060B8B4, 0x1F85031C19E11968, 0x79D9373A714CA34F, 0x93142887EE3BE15C,
    0x03429E838CE2D14B, 0xA4299E27469FF67B, 0xAFD5AED1C1BC96A8, 0x10851C0E3858DA9F,
    0xE6F51ED79B9DB21F, 0x64A6E14AFD36B46F, 0x80C7D7D45A5479AD, 0x05044B62FA52D080,
};

void ExpectVector(const std::vector<uint8_t>& key, uint64_t plain, uint64_t cipher) {
    BlowfishCipher bf(key.data(), static_cast<int32_t>(key.size()));
    uint32_t L = 0;
    uint32_t R = 0;
    bf.EncryptBlock(static_cast<uint32_t>(plain >> 32), static_cast<uint32_t>(plain), &L, &R);
    EXPECT_EQ((uint64_t{L} << 32) | R, cipher) << "key length " << key.size();
    bf.DecryptBlock(L, R, &L, &R);
    EXPECT_EQ((uint64_t{L} << 32) | R, plain);
}

TEST(Blowfish, PublishedVectorsAtWordLevel) {
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(v.key);
        ExpectVector(FromHex(v.key), v.plain, v.cipher);
    }
    const std::vector<uint8_t> longKey = FromHex(kLongKey);
    for (size_t n = 1; n <= 24; ++n) {
        ExpectVector(std::vector<uint8_t>(longKey.begin(), longKey.begin() + n), 0xFEDCBA9876543210,
                     kKeyLengthCipher[n - 1]);
    }
}

TEST(Blowfish, BytesAreLoadedLittleEndianPerHalf) {
    // The byte layer reverses each half of the published byte order.
    const uint8_t bytes[8] = {0x67, 0x45, 0x23, 0x01, 0xEF, 0xCD, 0xAB, 0x89};
    EXPECT_EQ(load32_le(bytes), 0x01234567u);
    EXPECT_EQ(load32_le(bytes + 4), 0x89ABCDEFu);
    uint8_t out[4];
    store32_le(out, 0xA1B2C3D4u);
    EXPECT_EQ(out[0], 0xD4);
    EXPECT_EQ(out[3], 0xA1);
}

TEST(Blowfish, InitialTableCheckpoints) {
    const struct {
        int index;
        uint32_t word;
    } kCheckpoints[] = {{0, 0x243F6A88},        {17, 0x8979FB1B},       {18, 0xD1310BA6},
                        {18 + 255, 0x6E85076A}, {18 + 768, 0x3A39CE37}, {1041, 0x3AC372E6}};
    for (const auto& c : kCheckpoints) {
        EXPECT_EQ(kBlowfishInitialTables[c.index], c.word) << c.index;
    }
    const BlowfishCipher unkeyed(nullptr, 0);
    EXPECT_EQ(unkeyed.Subkey(17), 0x8979FB1Bu);
    EXPECT_EQ(unkeyed.SboxEntry(3, 255), 0x3AC372E6u);
}

// Two keys whose folded words are equal give the same schedule, and keys
// whose folded words differ give different ones.
TEST(Blowfish, KeyFolding) {
    auto sameSchedule = [](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        const BlowfishCipher x(a.data(), static_cast<int32_t>(a.size()));
        const BlowfishCipher y(b.data(), static_cast<int32_t>(b.size()));
        for (int i = 0; i < 18; ++i) {
            if (x.Subkey(i) != y.Subkey(i)) {
                return false;
            }
        }
        return x.SboxEntry(3, 255) == y.SboxEntry(3, 255);
    };
    // A one-byte key folds like the same byte four times; a key written twice
    // folds like the key once; a 5-byte key wraps across its end.
    EXPECT_TRUE(sameSchedule({0x5A}, {0x5A, 0x5A, 0x5A, 0x5A}));
    EXPECT_TRUE(sameSchedule({1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(sameSchedule({0x81, 0xFE, 0x90}, {0x81, 0xFE, 0x90, 0x81, 0xFE, 0x90}));
    EXPECT_FALSE(sameSchedule({1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 0}));
    // Bytes of 0x80 and above are unsigned: a sign-extending fold would make
    // 0x80 in the low byte wipe out the three bytes above it.
    EXPECT_FALSE(sameSchedule({0x01, 0x02, 0x03, 0x80}, {0xFF, 0xFF, 0xFF, 0x80}));
}

TEST(Blowfish, DecryptInvertsEncryptForManyKeys) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int keyLength = 1; keyLength <= 56; keyLength += 5) {
        std::vector<uint8_t> key(static_cast<size_t>(keyLength));
        for (auto& k : key) {
            k = static_cast<uint8_t>(next() >> 16);
        }
        BlowfishCipher bf(key.data(), keyLength);
        const uint32_t L = next();
        const uint32_t R = next();
        uint32_t cL = 0;
        uint32_t cR = 0;
        bf.EncryptBlock(L, R, &cL, &cR);
        EXPECT_FALSE(cL == L && cR == R);
        bf.DecryptBlock(cL, cR, &cL, &cR);
        EXPECT_EQ(cL, L);
        EXPECT_EQ(cR, R);
    }
}

// The clearing must survive optimisation: a plain memset in a destructor is a
// dead store the compiler may drop. Everything after the vtable pointer must
// be zero once the destructor has run.
TEST(Blowfish, DestructionClearsTheKeySchedule) {
    alignas(FileCipher) unsigned char storage[sizeof(FileCipher)];
    auto* cipher = new (storage) FileCipher("secret", 6);
    auto nonZero = [&storage] {
        size_t count = 0;
        for (size_t i = sizeof(void*); i < sizeof storage; ++i) {
            count += storage[i] != 0;
        }
        return count;
    };
    EXPECT_GT(nonZero(), sizeof(FileCipher) / 2);
    cipher->~FileCipher();
    EXPECT_EQ(nonZero(), 0u);
}

}  // namespace
}  // namespace zorv
