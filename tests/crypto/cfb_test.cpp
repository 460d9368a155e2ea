// The CFB stream: padding, chunking, the register, error spread, and the bulk
// routes against one virtual block step per group.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "crypto/cfb_cipher.h"
#include "crypto/file_cipher.h"
#include "crypto_test_util.h"

namespace zorv {
namespace {

using test::Bytes;
using test::Pattern;

// Double-byte password text (code page 932 bytes), so key bytes of 0x80 and
// above go through the stream.
const char kKey[] = "\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68";
const auto kKeyLength = static_cast<int32_t>(sizeof kKey - 1);

// Encrypts a whole message with the buffer operations in chunks of `chunk`
// bytes (a multiple of 8), the last call final.
Bytes EncryptChunked(CfbCipher& cipher, const Bytes& plain, size_t chunk) {
    Bytes out(plain.size() + 8);
    size_t pos = 0;
    size_t written = 0;
    do {
        const size_t n = std::min(chunk, plain.size() - pos);
        const bool final = pos + n == plain.size();
        uint32_t count = 0;
        EXPECT_EQ(cipher.EncryptBuffer(plain.data() + pos, static_cast<uint32_t>(n),
                                       out.data() + written, &count, final),
                  0);
        pos += n;
        written += count;
    } while (pos < plain.size());
    out.resize(written);
    return out;
}

// One CFB step per group through the virtual block slot, as the reference
// for the bulk routes.
Bytes BlockByBlock(CfbCipher& cipher, const Bytes& in, bool encrypt) {
    Bytes out(in.size());
    for (size_t t = 0; t + 8 <= in.size(); t += 8) {
        uint32_t L = 0;
        uint32_t R = 0;
        BlowfishCipher& base = cipher;
        if (encrypt) {
            base.EncryptBlock(load32_le(&in[t]), load32_le(&in[t + 4]), &L, &R);
        } else {
            base.DecryptBlock(load32_le(&in[t]), load32_le(&in[t + 4]), &L, &R);
        }
        store32_le(&out[t], L);
        store32_le(&out[t + 4], R);
    }
    return out;
}

TEST(Cfb, FinalEncryptPadsWithTheDigitOfThePadLength) {
    // count % 8 = r leaves 7 - r zeros and '0' + (8 - r); decrypting the block
    // shows the pad.
    for (uint32_t count = 0; count <= 17; ++count) {
        SCOPED_TRACE(count);
        const Bytes plain = Pattern(count, count);
        CfbCipher enc(kKey, kKeyLength, FileIv);
        Bytes buffer = plain;
        buffer.resize(count + 8);
        uint32_t out = 0;
        enc.EncryptBuffer(buffer.data(), count, buffer.data(), &out, true);
        const uint32_t r = count % 8;
        ASSERT_EQ(out, count - r + 8);

        CfbCipher dec(kKey, kKeyLength, FileIv);
        uint32_t plainCount = 0;
        dec.DecryptBuffer(buffer.data(), out, buffer.data(), &plainCount, false);
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), buffer.begin()));
        for (uint32_t i = count; i < out - 1; ++i) {
            EXPECT_EQ(buffer[i], 0) << i;
        }
        EXPECT_EQ(buffer[out - 1], '0' + (8 - r));
    }
}

TEST(Cfb, FinalDecryptStripsByTheLastByteOnly) {
    // Encrypt chosen last blocks and see what the final decryption keeps.
    const struct {
        uint8_t last;
        uint32_t count;
        uint32_t expected;
    } kCases[] = {{'8', 16, 8}, {'1', 16, 15}, {'0', 16, 16}, {'9', 16, 7},
                  {'9', 8, 0},  {'A', 16, 16}, {0x00, 8, 8},  {'5', 24, 19}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.last);
        Bytes block = Pattern(c.count, 7);
        block.back() = c.last;
        CfbCipher enc(kKey, kKeyLength, FileIv);
        uint32_t n = 0;
        enc.EncryptBuffer(block.data(), c.count, block.data(), &n, false);
        CfbCipher dec(kKey, kKeyLength, FileIv);
        Bytes separate(c.count);
        dec.DecryptBuffer(block.data(), c.count, separate.data(), &n, true);
        EXPECT_EQ(n, c.expected);
        EXPECT_EQ(separate.back(), c.last);
    }
}

TEST(Cfb, FinalDecryptOfAPartialGroupIsTheSameInPlaceAndApart) {
    // A malformed chunk whose length is not a multiple of 8: the tail stays as
    // it came, whichever buffers are used.
    for (uint32_t count : {1u, 5u, 13u, 4100u}) {
        const Bytes crp = Pattern(count, count);
        Bytes inPlace = crp;
        Bytes apart(count, 0xEE);
        uint32_t n1 = 0;
        uint32_t n2 = 0;
        CfbCipher a(kKey, kKeyLength, FileIv);
        a.DecryptBuffer(inPlace.data(), count, inPlace.data(), &n1, true);
        CfbCipher b(kKey, kKeyLength, FileIv);
        b.DecryptBuffer(crp.data(), count, apart.data(), &n2, true);
        EXPECT_EQ(inPlace, apart) << count;
        EXPECT_EQ(n1, n2);
        EXPECT_LE(n1, count);
    }
}

TEST(Cfb, ChunkingLeavesNoTrace) {
    const Bytes plain = Pattern(10000, 1);
    CfbCipher reference(kKey, kKeyLength, FileIv);
    const Bytes whole = EncryptChunked(reference, plain, plain.size());
    for (size_t chunk : {8u, 16u, 24u, 4096u, 8192u, 65536u}) {
        CfbCipher cipher(kKey, kKeyLength, FileIv);
        EXPECT_EQ(EncryptChunked(cipher, plain, chunk), whole) << chunk;
    }
}

TEST(Cfb, BulkRoutesMatchOneVirtualStepPerGroup) {
    // Every length up to and past the eight blocks that the decryption route
    // keeps in flight, in place and between separate buffers.
    for (size_t groups = 0; groups <= 13; ++groups) {
        const Bytes in = Pattern(groups * 8, static_cast<uint32_t>(groups));
        for (bool encrypt : {true, false}) {
            CfbCipher single(kKey, kKeyLength, FileIv);
            const Bytes expected = BlockByBlock(single, in, encrypt);
            CfbCipher bulk(kKey, kKeyLength, FileIv);
            Bytes inPlace = in;
            Bytes apart(in.size());
            uint32_t n = 0;
            if (encrypt) {
                bulk.EncryptBuffer(inPlace.data(), static_cast<uint32_t>(in.size()), inPlace.data(),
                                   &n, false);
            } else {
                bulk.DecryptBuffer(inPlace.data(), static_cast<uint32_t>(in.size()), inPlace.data(),
                                   &n, false);
            }
            EXPECT_EQ(inPlace, expected) << groups << (encrypt ? " encrypt" : " decrypt");
            CfbCipher bulk2(kKey, kKeyLength, FileIv);
            if (encrypt) {
                bulk2.EncryptBuffer(in.data(), static_cast<uint32_t>(in.size()), apart.data(), &n,
                                    false);
            } else {
                bulk2.DecryptBuffer(in.data(), static_cast<uint32_t>(in.size()), apart.data(), &n,
                                    false);
            }
            EXPECT_EQ(apart, expected);
        }
    }
}

TEST(Cfb, RegisterStartsFromTheVectorAndSetIvRestartsTheStream) {
    // A null vector is eight zero bytes.
    const uint8_t zeros[8] = {};
    CfbCipher nullIv(kKey, kKeyLength, nullptr);
    CfbCipher zeroIv(kKey, kKeyLength, zeros);
    const Bytes plain = Pattern(64, 3);
    EXPECT_EQ(EncryptChunked(nullIv, plain, 64), EncryptChunked(zeroIv, plain, 64));

    // The first key-stream block is the encryption of the vector itself.
    BlowfishCipher block(kKey, kKeyLength);
    uint32_t L = 0;
    uint32_t R = 0;
    block.EncryptBlock(load32_le(FileIv), load32_le(FileIv + 4), &L, &R);
    FileCipher file(kKey, kKeyLength);
    const Bytes zeroPlain(8, 0);
    const Bytes first = EncryptChunked(file, zeroPlain, 8);
    EXPECT_EQ(load32_le(first.data()), L);
    EXPECT_EQ(load32_le(first.data() + 4), R);

    // After SetIV a second message does not depend on the first.
    const Bytes second = EncryptChunked(file, plain, 64);
    file.SetIV(FileIv);
    const Bytes again = EncryptChunked(file, plain, 64);
    FileCipher fresh(kKey, kKeyLength);
    EXPECT_EQ(again, EncryptChunked(fresh, plain, 64));
    EXPECT_NE(second, again);
}

TEST(Cfb, ChangedCipherByteGarblesOnlyItsByteAndTheNextBlock) {
    const Bytes plain = Pattern(64, 4);
    CfbCipher enc(kKey, kKeyLength, FileIv);
    Bytes crp = EncryptChunked(enc, plain, 64);
    crp.resize(64);  // drop the pad block
    crp[19] ^= 0x01;
    CfbCipher dec(kKey, kKeyLength, FileIv);
    Bytes out(64);
    uint32_t n = 0;
    dec.DecryptBuffer(crp.data(), 64, out.data(), &n, false);
    for (size_t i = 0; i < 64; ++i) {
        if (i == 19) {
            EXPECT_EQ(out[i], plain[i] ^ 0x01);
        } else if (i >= 24 && i < 32) {
            continue;  // the following block is garbled
        } else {
            EXPECT_EQ(out[i], plain[i]) << i;
        }
    }
    EXPECT_FALSE(std::equal(out.begin() + 24, out.begin() + 32, plain.begin() + 24));
}

TEST(Cfb, CopiesCarryTheKeyAndTheRegister) {
    FileCipher original(kKey, kKeyLength);
    const Bytes plain = Pattern(40, 5);
    EncryptChunked(original, plain, 40);  // moves the register
    FileCipher copy = original;
    EXPECT_EQ(EncryptChunked(copy, plain, 40), EncryptChunked(original, plain, 40));
}

}  // namespace
}  // namespace zorv
