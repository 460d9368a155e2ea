// The .crp transforms as the command-line program runs them: the same bytes
// as FileCipher::EncryptFile and DecryptFile, on open files, faster.
//
// Encryption is one chain of dependent blocks (each needs the cipher text
// before it), so it cannot be split; instead, when a second processor is
// free, reading and checksumming, encrypting, and writing run on three
// threads over a small ring of buffers, and the encrypting core does
// nothing else.
//
// Decryption blocks are independent: block t of plain text is the cipher
// block t XOR the encrypted cipher block t - 1. A file is split into ranges,
// each decrypted by its own thread from the cipher block before it (FileIv
// for the first), checksummed on its own, and the checksums are combined.
// The last chunk, which holds the checksum text and the pad, is decided as
// DecryptFile decides it.
#pragma once

#include <atomic>
#include <cstdint>

#include "cli/platform_file.h"
#include "crypto/file_cipher.h"
#include "crypto/result_code.h"

namespace zorv {

struct TransformOptions {
    // Processors this file may use: decryption ranges at once; encryption
    // runs its stages on threads of their own when above 1.
    unsigned threads = 1;
    // Decryption: no range is split off below this size (a thread costs more
    // than it saves on less). Tests lower it to split small files.
    std::uint64_t minRangeBytes = 4 * 1024 * 1024;
    std::atomic<std::uint64_t>* progress = nullptr;  // source bytes done, if set
};

// Encrypts size bytes of source into target, from offset 0 of each. Returns
// 0, 80 (size 0), 72, 82, 83 as EncryptFile, or kResultInterrupted. The
// target's times are not touched. Memory: a few buffers, whatever the size.
ResultCode EncryptToFile(const FileCipher& cipher, const PlatformFile& source, std::uint64_t size,
                         const PlatformFile& target, const TransformOptions& options);

// Decrypts size bytes of source into target, or checks them only when
// target is null (nothing is written anywhere). Returns 0, 75, 80, 72, 82,
// 83 as DecryptFile, or kResultInterrupted. On a failure the target holds
// an unspecified part of the plain text: the caller destroys it.
ResultCode DecryptToFile(const FileCipher& cipher, const PlatformFile& source, std::uint64_t size,
                         const PlatformFile* target, const TransformOptions& options);

}  // namespace zorv
