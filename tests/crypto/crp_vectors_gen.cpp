// Writes docs/crp-vectors.txt: .crp test vectors made with the desktop's own
// transform (FileCipher::EncryptFile) from a table of passwords and plain
// texts chosen to reach every rule of the format. Built on request only:
//
//   cmake --build --preset native --target zorv_crp_vectors
//   build/native/tests/crypto/zorv_crp_vectors > docs/crp-vectors.txt
//
// crp_vectors_test.cpp checks the committed file both ways.
#include <cstdio>
#include <cstring>
#include <string>

#include "crypto/cfb_cipher.h"
#include "crypto/file_cipher.h"
#include "crypto_test_util.h"

namespace {

using zorv::test::Bytes;

struct Vector {
    const char* note;
    std::string password;  // the key bytes: the password in code page 932
    size_t size;
    const char* text;           // the plain text when given, else Pattern(size, size)
    const char* appended = "";  // bytes put after the encrypted file (reader-only vectors)
};

// 56 bytes, the longest key.
const std::string kLongest = "The quick brown fox jumps over the lazy dog, 56 bytes ok";

const Vector kVectors[] = {
    {"size 0: never written (the programs refuse empty files), accepted by a reader", "password", 0,
     ""},
    {"size 1: the byte, the CRC text, 6 zero bytes and \"7\"", "password", 1, "A"},
    {"size 7: one pad byte, \"1\"", "password", 7, "Zorv 1."},
    {"size 8: a whole pad block, 7 zero bytes and \"8\"", "password", 8, "12345678"},
    {"size 9", "password", 9, "123456789"},
    {"size 4095: the .crp file has 4104 bytes, read as one last chunk", "password", 4095, nullptr},
    {"size 4096: a full chunk, then a last chunk of 16 bytes", "password", 4096, nullptr},
    {"size 4097", "password", 4097, nullptr},
    {"size 4104", "password", 4104, nullptr},
    {"begins like size 9, same password: the cipher text begins alike (the fixed IV)", "password",
     12, "123456789abc"},
    // "sofuto hyouji" in katakana and kanji: both 0x5C trailing bytes of code
    // page 932 (0x83 0x5C, 0x95 0x5C) are in it.
    {"a Japanese password (cp932), a Japanese plain text (cp932, CR LF)",
     "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6", 12,
     "\x94\xE9\x96\xA7\x82\xCC\x83\x81\x83\x82\r\n"},
    {"a password of half-width katakana (single bytes 0xA1-0xDF)", "\xCA\xDF\xBD\xDC\xB0\xC4\xDE",
     16, nullptr},
    {"the longest password, 56 bytes", kLongest, 100, nullptr},
    {"the shortest password, 1 byte", "x", 33, nullptr},
    // The reader copies a trailing partial group as it is and takes the
    // file's last byte as the pad digit: "8" removes itself and the 7 pad
    // bytes before it, and the check passes.
    {"size 1 with \"8\" appended: a trailing partial group, read undecrypted", "password", 1, "A",
     "8"},
};

std::string Hex(const uint8_t* bytes, size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

std::string Hex(const std::string& s) {
    return Hex(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// The .crp bytes of an empty plain text, which EncryptFile refuses to write:
// the CRC text of nothing and a whole pad block, as one final buffer.
Bytes EmptyCrp(const std::string& password) {
    zorv::FileCipher cipher(password.data(), static_cast<int32_t>(password.size()));
    cipher.SetIV(zorv::FileIv);
    uint8_t block[16] = {'0', '0', '0', '0', '0', '0', '0', '0'};
    uint32_t count = 0;
    cipher.EncryptBuffer(block, 8, block, &count, true);
    return Bytes(block, block + count);
}

}  // namespace

int main() {
    zorv::test::ScratchDir dir;
    std::printf(
        "# Zorv .crp test vectors (see crp-format.md), one a line:\n"
        "#   PASSWORD_HEX PLAIN_HEX CRP_HEX\n"
        "# separated by single spaces; PASSWORD_HEX is the key, the password's\n"
        "# code page 932 bytes. An empty PLAIN_HEX (two spaces in a row) is an\n"
        "# empty plain file. Lines starting with # are comments and empty lines\n"
        "# separate the vectors; each vector follows the comment that describes it.\n"
        "# A CRP_HEX that is not a whole number of 8-byte groups is for readers only:\n"
        "# no writer makes it, and its whole groups are what encryption writes.\n"
        "# Made by tests/crypto/crp_vectors_gen.cpp.\n");
    for (const Vector& v : kVectors) {
        const Bytes plain = v.text ? Bytes(v.text, v.text + v.size)
                                   : zorv::test::Pattern(v.size, static_cast<uint32_t>(v.size));
        Bytes crp;
        if (plain.empty()) {
            crp = EmptyCrp(v.password);
        } else {
            zorv::test::WriteBytes(dir.File("plain"), plain);
            zorv::FileCipher cipher(v.password.data(), static_cast<int32_t>(v.password.size()));
            if (cipher.EncryptFile(dir.File("plain").c_str(), dir.File("crp").c_str()) != 0) {
                std::fprintf(stderr, "EncryptFile failed: %s\n", v.note);
                return 1;
            }
            crp = zorv::test::ReadBytes(dir.File("crp"));
        }
        if (*v.appended != '\0') {
            // Appended bytes make a vector only if the reader really gives
            // back the plain text from it.
            crp.insert(crp.end(), v.appended, v.appended + std::strlen(v.appended));
            zorv::test::WriteBytes(dir.File("crp"), crp);
            zorv::FileCipher cipher(v.password.data(), static_cast<int32_t>(v.password.size()));
            if (cipher.DecryptFile(dir.File("crp").c_str(), dir.File("back").c_str()) != 0 ||
                zorv::test::ReadBytes(dir.File("back")) != plain) {
                std::fprintf(stderr, "DecryptFile does not accept: %s\n", v.note);
                return 1;
            }
        }
        std::printf("\n# %s\n%s %s %s\n", v.note, Hex(v.password).c_str(),
                    Hex(plain.data(), plain.size()).c_str(), Hex(crp.data(), crp.size()).c_str());
    }
    return 0;
}
