// The steps of the .crp transforms, written once. The serial
// (file_transform.cpp), parallel (parallel_transform.cpp) and unsized
// (unsized_transform.cpp) transforms differ only in where their pieces come
// from and go to, and in which thread takes which step.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/crc32.h"
#include "crypto/crp_format.h"
#include "crypto/file_cipher.h"
#include "crypto/result_code.h"

namespace zorv {

// The format is defined over 4096-byte chunks, but any split into whole
// 8-byte groups gives the same cipher text, so the body streams in larger
// pieces: 256 KiB, which still sits in the processor's second-level cache
// while it is read, transformed, checksummed and written, and needs a quarter
// of the system calls of 64 KiB (measured: decrypting a file in the page cache
// costs about 5% less). The last chunk is the one of the 4096-byte split, as
// it decides where decryption looks for the checksum text.
constexpr size_t kPieceBytes = kTransformChunkBytes;

// The piece to take when `left` bytes remain: small files get small buffers.
inline size_t PieceBytes(uint64_t left) {
    return left < kPieceBytes ? static_cast<size_t>(left) : kPieceBytes;
}

// Encryption, first step: checksums the n plain bytes at data and, after the
// final piece, appends the checksum text (data has kCrpTrailerBytes of room
// after them). Returns how many bytes to encrypt.
inline size_t SealPiece(Crc32& crc, uint8_t* data, size_t n, bool final) {
    crc.Update(data, n);
    if (!final) {
        return n;
    }
    FormatCrcText(crc.Value(), data + n);
    return n + kCrcTextBytes;
}

// Encryption, second step: encrypts length bytes in place, the final piece
// with its pad. Returns how many bytes to write.
inline size_t EncryptPiece(FileCipher& cipher, uint8_t* data, size_t length, bool final) {
    uint32_t out = 0;
    cipher.EncryptBuffer(data, static_cast<uint32_t>(length), data, &out, final);
    return out;
}

// Decrypts n bytes (a multiple of 8) of a .crp body in place and checksums
// the plain bytes.
inline void DecryptPiece(FileCipher& cipher, Crc32& crc, uint8_t* data, size_t n) {
    uint32_t plain = 0;
    cipher.DecryptBuffer(data, static_cast<uint32_t>(n), data, &plain, false);
    crc.Update(data, n);
}

// Decrypts `bytes` (a multiple of 8) of a .crp body piece by piece in
// buffer, which holds PieceBytes(bytes): read(done, n) fills it with the n
// bytes from offset `done` of the body, write(done, n) passes their plain
// text on. Either returns nonzero to end the loop with that result; stopped()
// ends it early with 0 (another thread's failure decides the result).
template <typename Read, typename Write, typename Stopped>
ResultCode DecryptPieces(FileCipher& cipher, Crc32& crc, uint64_t bytes, uint8_t* buffer, Read read,
                         Write write, Stopped stopped) {
    for (uint64_t done = 0; done < bytes && !stopped();) {
        const size_t n = PieceBytes(bytes - done);
        ResultCode result = read(done, n);
        if (result != kResultOk) {
            return result;
        }
        DecryptPiece(cipher, crc, buffer, n);
        result = write(done, n);
        if (result != kResultOk) {
            return result;
        }
        done += n;
    }
    return kResultOk;
}

// Decrypts the last chunk, n bytes at chunk, in place: writes its plain
// bytes through write(data, count) (false: it failed) and compares the
// checksum text after them with crc, which holds the body's checksum.
// Returns 0 when it matches; 75 when it does not or the chunk has no room
// for the text; 83 when the write failed.
template <typename Write>
ResultCode FinishLastChunk(FileCipher& cipher, uint8_t* chunk, size_t n, Crc32& crc, Write write) {
    size_t plain = 0;
    if (!OpenLastChunk(cipher, chunk, n, &plain)) {
        return kResultWrongPassword;  // no room for the checksum text
    }
    if (!write(chunk, plain)) {
        return kResultWriteFailed;
    }
    crc.Update(chunk, plain);
    return CrcTextMatches(crc.Value(), chunk + plain) ? kResultOk : kResultWrongPassword;
}

}  // namespace zorv
