// docs/crp-vectors.txt, the published .crp test vectors, checked both ways
// with the desktop transforms on files and with every form of the
// transforms in memory: every plain text encrypts to exactly its .crp bytes
// and every .crp decrypts back to its plain text with the password
// accepted. The empty plain text is the one the programs never write but a
// reader must accept, and so is a .crp with a trailing partial group, whose
// whole groups are what encryption writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "crypto/file_cipher.h"
#include "crypto_test_util.h"
#include "transforms_under_test.h"

namespace zorv {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::WriteBytes;

#ifdef _WIN32
// The test runs under Wine, which maps the build machine's / to drive Z:.
constexpr char kVectorsPath[] = "Z:" ZORV_CRP_VECTORS;
#else
constexpr char kVectorsPath[] = ZORV_CRP_VECTORS;
#endif

struct Vector {
    int line;
    Bytes key, plain, crp;
};

bool Unhex(const std::string& hex, Bytes* out) {
    if (hex.size() % 2 != 0) {
        return false;
    }
    out->clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(hex.c_str() + i, "%2x", &value) != 1) {
            return false;
        }
        out->push_back(static_cast<uint8_t>(value));
    }
    return true;
}

std::vector<Vector> ReadVectors() {
    std::ifstream in(kVectorsPath);
    EXPECT_TRUE(in.is_open()) << kVectorsPath;
    std::vector<Vector> vectors;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.empty() || text[0] == '#') {
            continue;
        }
        // Exactly three fields between single spaces; the plain one may be empty.
        const size_t first = text.find(' ');
        const size_t second = text.find(' ', first + 1);
        Vector v{line, {}, {}, {}};
        const bool ok = first != std::string::npos && second != std::string::npos &&
                        text.find(' ', second + 1) == std::string::npos &&
                        Unhex(text.substr(0, first), &v.key) &&
                        Unhex(text.substr(first + 1, second - first - 1), &v.plain) &&
                        Unhex(text.substr(second + 1), &v.crp);
        EXPECT_TRUE(ok) << "line " << line;
        if (ok) {
            vectors.push_back(v);
        }
    }
    return vectors;
}

TEST(CrpVectors, EveryVectorEncryptsAndDecryptsWithTheDesktopTransforms) {
    test::ScratchDir dir;
    const std::string plainPath = dir.File("plain");
    const std::string crpPath = dir.File("plain.crp");
    const std::string backPath = dir.File("back");
    std::set<size_t> sizes;
    std::set<size_t> keyLengths;
    bool doubleByteKey = false;
    bool partialGroup = false;
    for (const Vector& v : ReadVectors()) {
        SCOPED_TRACE("docs/crp-vectors.txt line " + std::to_string(v.line));
        ASSERT_GE(v.key.size(), 1u);
        ASSERT_LE(v.key.size(), 56u);
        sizes.insert(v.plain.size());
        keyLengths.insert(v.key.size());
        doubleByteKey = doubleByteKey || (v.key[0] >= 0x81 && v.key[0] <= 0x9F);
        FileCipher cipher(v.key.data(), static_cast<int32_t>(v.key.size()));

        WriteBytes(plainPath, v.plain);
        std::remove(crpPath.c_str());
        if (v.plain.empty()) {
            EXPECT_EQ(kResultEmptyFile, cipher.EncryptFile(plainPath.c_str(), crpPath.c_str()));
        } else {
            ASSERT_EQ(kResultOk, cipher.EncryptFile(plainPath.c_str(), crpPath.c_str()));
            const size_t written = v.crp.size() - v.crp.size() % 8;
            partialGroup = partialGroup || written != v.crp.size();
            EXPECT_TRUE(ReadBytes(crpPath) == Bytes(v.crp.begin(), v.crp.begin() + written))
                << "encryption differs";
        }

        WriteBytes(crpPath, v.crp);
        ASSERT_EQ(kResultOk, cipher.DecryptFile(crpPath.c_str(), backPath.c_str()));
        EXPECT_TRUE(ReadBytes(backPath) == v.plain) << "decryption differs";

        const size_t whole = v.crp.size() - v.crp.size() % 8;
        for (const test::Implementation& form : test::kImplementations) {
            Bytes out;
            if (form.encrypt != nullptr) {
                EXPECT_EQ(form.encrypt(cipher, v.plain, &out),
                          v.plain.empty() ? kResultEmptyFile : kResultOk)
                    << form.name;
                EXPECT_TRUE(out == (v.plain.empty() ? Bytes()
                                                    : Bytes(v.crp.begin(), v.crp.begin() + whole)))
                    << form.name << ": encryption differs";
            }
            if (form.decrypt != nullptr) {
                EXPECT_EQ(form.decrypt(cipher, v.crp, &out), kResultOk) << form.name;
                EXPECT_TRUE(form.checksOnly || out == v.plain)
                    << form.name << ": decryption differs";
            }
        }
    }
    // The file keeps the cases it promises.
    for (size_t size : {0, 1, 7, 8, 9, 4095, 4096, 4097, 4104}) {
        EXPECT_EQ(1u, sizes.count(size)) << "no vector of size " << size;
    }
    EXPECT_EQ(1u, keyLengths.count(56));
    EXPECT_TRUE(doubleByteKey);
    EXPECT_TRUE(partialGroup);
}

}  // namespace
}  // namespace zorv
