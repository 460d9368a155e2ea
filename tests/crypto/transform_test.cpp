// Every form of the transforms (transforms_under_test.h) against the
// desktop program's FileCipher on files: the same bytes over the sizes
// around every boundary of the chunking, pieces and ranges, and the same
// result as DecryptFile for damaged, truncated and foreign inputs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "crypto/crc32.h"
#include "crypto_test_util.h"
#include "transforms_under_test.h"

namespace zorv {
namespace {

using test::Bytes;
using test::kImplementations;
using test::Pattern;
using test::ReadBytes;
using test::WriteBytes;

constexpr char kKey[] = "transform key";

FileCipher KeyedCipher() {
    return FileCipher(kKey, sizeof kKey - 1);
}

// Sizes around 8, the 4096-byte format chunk, the 256 KiB pieces of the
// encryption ring (one piece is encrypted without threads), the ranges, and
// the piece and held-back last chunk of an unsized decryption (266232 and
// 266240 give .crp files that just fill and just overflow it).
const size_t kSizes[] = {1,      7,      8,      9,      4088,   4095,   4096,   4097,
                         4104,   4105,   39999,  40000,  80008,  262136, 262143, 262144,
                         262145, 262152, 266232, 266240, 524297, 1100000};

TEST(Transforms, EveryFormGivesTheDesktopBytesAndRestoresThem) {
    test::ScratchDir dir;
    const std::string plainPath = dir.File("plain");
    const std::string crpPath = dir.File("plain.crp");
    for (size_t size : kSizes) {
        const Bytes plain = Pattern(size, static_cast<uint32_t>(size));
        WriteBytes(plainPath, plain);
        ASSERT_EQ(KeyedCipher().EncryptFile(plainPath.c_str(), crpPath.c_str()), kResultOk);
        const Bytes reference = ReadBytes(crpPath);
        for (const test::Implementation& form : kImplementations) {
            Bytes out;
            if (form.encrypt != nullptr) {
                ASSERT_EQ(form.encrypt(KeyedCipher(), plain, &out), kResultOk)
                    << form.name << ", size " << size;
                EXPECT_TRUE(out == reference) << form.name << ", size " << size;
            }
            if (form.decrypt != nullptr) {
                ASSERT_EQ(form.decrypt(KeyedCipher(), reference, &out), kResultOk)
                    << form.name << ", size " << size;
                EXPECT_TRUE(form.checksOnly || out == plain) << form.name << ", size " << size;
            }
        }
    }
}

// A .crp of plain whose checksum text is crc's with the character at `at`
// changed, encrypted in one piece.
Bytes WithCrcText(const Bytes& plain, uint32_t crc, size_t at) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
    text[at] = text[at] == '0' ? '1' : '0';
    Bytes crp = plain;
    crp.insert(crp.end(), text, text + 8);
    crp.resize(crp.size() + 8);  // room for the pad
    FileCipher cipher = KeyedCipher();
    cipher.SetIV(FileIv);
    uint32_t n = 0;
    cipher.EncryptBuffer(crp.data(), static_cast<uint32_t>(plain.size() + 8), crp.data(), &n, true);
    crp.resize(n);
    return crp;
}

// Damaged, truncated and foreign inputs: the same result as DecryptFile, and
// the same bytes whenever that result is success.
TEST(Transforms, EveryFormDecidesAnyInputAsDecryptFileDoes) {
    test::ScratchDir dir;
    const Bytes plain = Pattern(300000 + 3, 7);
    FileCipher cipher = KeyedCipher();
    const Bytes good = test::EncryptBytes(cipher, plain);
    std::vector<Bytes> inputs;
    for (size_t size : {0, 1, 5, 8, 15, 16, 17, 24, 4104, 4112, 4113, 8200}) {
        inputs.push_back(Pattern(size, static_cast<uint32_t>(size) + 100));
    }
    inputs.push_back(Bytes(good.begin(), good.end() - 8));  // lost its pad block
    inputs.push_back(Bytes(good.begin(), good.end() - 3));  // not a multiple of 8
    Bytes flipped = good;
    flipped[150000] ^= 1;  // a changed byte in the middle of a range
    inputs.push_back(flipped);
    Bytes lastByte = good;
    lastByte.back() ^= 0x40;  // the pad digit
    inputs.push_back(lastByte);
    inputs.push_back(good);
    // Well formed, but with a checksum text wrong in its first or its last
    // character only: both must be refused, whatever DecryptFile says.
    const size_t firstRefused = inputs.size();
    Crc32 crc;
    crc.Update(plain.data(), plain.size());
    for (size_t at : {0, 7}) {
        inputs.push_back(WithCrcText(plain, crc.Value(), at));
    }
    const std::string input = dir.File("input");
    const std::string expected = dir.File("expected");
    for (size_t i = 0; i < inputs.size(); ++i) {
        WriteBytes(input, inputs[i]);
        std::remove(expected.c_str());
        const ResultCode reference = KeyedCipher().DecryptFile(input.c_str(), expected.c_str());
        if (i >= firstRefused) {
            EXPECT_EQ(reference, kResultWrongPassword) << "input " << i;
        }
        for (const test::Implementation& form : kImplementations) {
            if (form.decrypt == nullptr) {
                continue;
            }
            Bytes out;
            EXPECT_EQ(form.decrypt(KeyedCipher(), inputs[i], &out), reference)
                << form.name << ", input " << i;
            if (reference == kResultOk && !form.checksOnly) {
                EXPECT_TRUE(out == ReadBytes(expected)) << form.name << ", input " << i;
            }
        }
    }
}

// The parallel forms count every byte as done, a wrong password's too, and
// stop before the next piece once interrupted.
TEST(Transforms, ParallelProgressAndInterruption) {
    FileCipher cipher = KeyedCipher();
    const Bytes crp = test::EncryptBytes(cipher, Pattern(600000, 3));
    test::MemoryFile source(crp, 0);
    std::atomic<uint64_t> done{0};
    TransformOptions options;
    options.threads = 2;
    options.progress = &done;
    const FileCipher wrong("another key", 11);
    EXPECT_EQ(DecryptToFile(wrong, source, crp.size(), nullptr, options), kResultWrongPassword);
    EXPECT_EQ(done.load(), crp.size());
    options.interrupted = [] { return true; };
    test::MemoryFile target({}, crp.size());
    EXPECT_EQ(DecryptToFile(cipher, source, crp.size(), &target, options), kResultInterrupted);
    EXPECT_EQ(EncryptToFile(cipher, source, crp.size(), target, options), kResultInterrupted);
    EXPECT_TRUE(target.Contents().empty());
}

}  // namespace
}  // namespace zorv
