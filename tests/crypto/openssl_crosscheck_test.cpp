// An independent check of the whole stream: OpenSSL's word-level Blowfish and
// zlib's CRC-32 build the expected .crp bytes from the format's definition
// (CFB-64 from "QUENDRIL", halves loaded little-endian), and FileCipher must
// produce and read exactly those bytes for many keys, sizes and chunkings.
#include <gtest/gtest.h>
#include <openssl/blowfish.h>
#include <zlib.h>

#include <cstdio>
#include <random>

#include "crypto/crc32.h"
#include "crypto/file_cipher.h"
#include "crypto/file_transform.h"
#include "crypto_test_util.h"

namespace zorv {
namespace {

using test::Bytes;

struct Reference {
    BF_KEY key;

    explicit Reference(const Bytes& password) {
        BF_set_key(&key, static_cast<int>(password.size()), password.data());
    }

    Bytes Crp(const Bytes& plain) {
        char text[9];
        const uLong crc =
            crc32(crc32(0L, Z_NULL, 0), plain.data(), static_cast<uInt>(plain.size()));
        std::snprintf(text, sizeof text, "%08lX", crc);
        Bytes m = test::FormatMessage(plain, text);
        BF_LONG v[2] = {load32_le(FileIv), load32_le(FileIv + 4)};
        for (size_t t = 0; t < m.size(); t += 8) {
            BF_encrypt(v, &key);
            v[0] ^= load32_le(&m[t]);
            v[1] ^= load32_le(&m[t + 4]);
            store32_le(&m[t], static_cast<uint32_t>(v[0]));
            store32_le(&m[t + 4], static_cast<uint32_t>(v[1]));
        }
        return m;
    }
};

Bytes RandomKey(std::mt19937& rng) {
    Bytes key(1 + rng() % 56);
    for (auto& b : key) {
        b = static_cast<uint8_t>(rng());
    }
    return key;
}

// Encrypts with the buffer operations in random chunks of whole groups.
Bytes EncryptInRandomChunks(FileCipher& cipher, const Bytes& plain, std::mt19937& rng) {
    char text[9];
    Crc32 crc;
    crc.Update(plain.data(), plain.size());
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc.Value()));
    Bytes m = plain;
    m.insert(m.end(), text, text + 8);
    m.resize(m.size() + 8);
    cipher.SetIV(FileIv);
    const size_t total = plain.size() + 8;
    size_t pos = 0;
    size_t out = 0;
    for (;;) {
        size_t n = 8 * (rng() % 600);
        const bool final = n >= total - pos;
        if (final) {
            n = total - pos;
        }
        uint32_t count = 0;
        cipher.EncryptBuffer(&m[pos], static_cast<uint32_t>(n), &m[pos], &count, final);
        pos += n;
        out += count;
        if (final) {
            break;
        }
    }
    m.resize(out);
    return m;
}

TEST(CrossCheck, BlocksMatchOpenSslForRandomKeys) {
    std::mt19937 rng(1);
    for (int round = 0; round < 200; ++round) {
        const Bytes key = RandomKey(rng);
        Reference reference(key);
        BlowfishCipher ours(key.data(), static_cast<int32_t>(key.size()));
        BF_LONG block[2] = {static_cast<BF_LONG>(rng()), static_cast<BF_LONG>(rng())};
        uint32_t L = 0;
        uint32_t R = 0;
        ours.EncryptBlock(static_cast<uint32_t>(block[0]), static_cast<uint32_t>(block[1]), &L, &R);
        BF_encrypt(block, &reference.key);
        ASSERT_EQ(L, block[0]) << "key length " << key.size();
        ASSERT_EQ(R, block[1]);
        ours.DecryptBlock(L, R, &L, &R);
        BF_decrypt(block, &reference.key);
        ASSERT_EQ(L, block[0]);
        ASSERT_EQ(R, block[1]);
    }
}

TEST(CrossCheck, StreamsMatchTheReferenceBothWays) {
    std::mt19937 rng(2);
    std::vector<size_t> sizes;
    for (size_t s = 1; s <= 72; ++s) {
        sizes.push_back(s);
    }
    constexpr size_t kPiece = kTransformChunkBytes;
    for (size_t s : {size_t{4087}, size_t{4088}, size_t{4095}, size_t{4096}, size_t{4097},
                     size_t{4104}, size_t{4105}, size_t{8192}, kPiece - 1, kPiece, kPiece + 8,
                     kPiece + 9, 2 * kPiece + 4103}) {
        sizes.push_back(s);
    }
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        const Bytes key = RandomKey(rng);
        const Bytes plain = test::Pattern(size, rng());
        const Bytes expected = Reference(key).Crp(plain);
        FileCipher cipher(key.data(), static_cast<int32_t>(key.size()));

        test::MemorySource source(plain);
        test::MemorySink sink;
        ASSERT_EQ(EncryptStream(cipher, source, plain.size(), sink), kResultOk);
        ASSERT_EQ(sink.bytes, expected);
        ASSERT_EQ(EncryptInRandomChunks(cipher, plain, rng), expected);

        test::MemorySource crp(expected);
        test::MemorySink back;
        ASSERT_EQ(DecryptStream(cipher, crp, expected.size(), back), kResultOk);
        ASSERT_EQ(back.bytes, plain);
    }
}

}  // namespace
}  // namespace zorv
