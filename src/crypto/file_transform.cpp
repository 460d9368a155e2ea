#include "crypto/file_transform.h"

#include "crypto/crc32.h"
#include "crypto/secret_buffer.h"

namespace zorv {
namespace {

// The format is defined over 4096-byte chunks, but any split into whole
// 8-byte groups gives the same cipher text, so the body streams in larger
// pieces: 256 KiB, which still sits in the processor's second-level cache
// while it is read, transformed, checksummed and written, and needs a quarter
// of the system calls of 64 KiB (measured: decrypting a file in the page cache
// costs about 5% less). The last chunk is the one of the 4096-byte split, as
// it decides where decryption looks for the checksum text.
constexpr size_t kStreamChunk = kTransformChunkBytes;

// The largest piece a stream of `size` bytes needs: small files get a small
// buffer.
size_t PieceBytes(uint64_t size) {
    return size < kStreamChunk ? static_cast<size_t>(size) : kStreamChunk;
}

// Decrypts `bytes` (a multiple of 8) of a .crp body, passing plain text on.
ResultCode DecryptBody(FileCipher& cipher, ByteSource& source, uint64_t bytes, ByteSink& sink,
                       uint8_t* buffer, Crc32& crc) {
    while (bytes > 0) {
        const size_t n = PieceBytes(bytes);
        if (source.Read(buffer, n) != n) {
            return kResultReadFailed;
        }
        uint32_t plain = 0;
        cipher.DecryptBuffer(buffer, static_cast<uint32_t>(n), buffer, &plain, false);
        crc.Update(buffer, n);
        if (!sink.Write(buffer, n)) {
            return kResultWriteFailed;
        }
        bytes -= n;
    }
    return kResultOk;
}

// What both transforms begin with: 80 for an empty stream; else one cleared
// buffer for a piece and `extra` bytes (72 when there is none), the cipher
// set to FileIv, and the steps run over the buffer.
template <typename Steps>
ResultCode WithBuffer(FileCipher& cipher, uint64_t size, size_t extra, Steps steps) {
    if (size == 0) {
        return kResultEmptyFile;
    }
    ClearedBuffer buffer(PieceBytes(size) + extra);
    if (buffer.data() == nullptr) {
        return kResultOutOfMemory;
    }
    cipher.SetIV(FileIv);
    return steps(buffer.data());
}

}  // namespace

size_t FileSource::Read(uint8_t* buffer, size_t n) {
    return file_.Read(buffer, n);
}

bool FileSink::Write(const uint8_t* data, size_t n) {
    return file_.Write(data, n) == n;
}

ResultCode EncryptStream(FileCipher& cipher, ByteSource& source, uint64_t size, ByteSink& sink) {
    // Room for the checksum text and a whole pad block after a full piece.
    return WithBuffer(cipher, size, kCrpTrailerBytes, [&](uint8_t* data) -> ResultCode {
        Crc32 crc;
        uint64_t remaining = size;
        for (;;) {
            const size_t n = PieceBytes(remaining);
            if (source.Read(data, n) != n) {
                return kResultReadFailed;
            }
            crc.Update(data, n);
            remaining -= n;
            const bool final = remaining == 0;
            size_t plain = n;
            if (final) {
                FormatCrcText(crc.Value(), data + n);
                plain += kCrcTextBytes;
            }
            uint32_t out = 0;
            cipher.EncryptBuffer(data, static_cast<uint32_t>(plain), data, &out, final);
            if (!sink.Write(data, out)) {
                return kResultWriteFailed;
            }
            if (final) {
                return kResultOk;
            }
        }
    });
}

ResultCode DecryptStream(FileCipher& cipher, ByteSource& source, uint64_t size, ByteSink& sink) {
    return WithBuffer(cipher, size, kCrcTextBytes, [&](uint8_t* data) -> ResultCode {
        const uint64_t last = LastChunkBytes(size);
        if (last == 0) {
            return kResultWrongPassword;  // 8 bytes: no room for text and pad
        }
        Crc32 crc;
        const ResultCode body = DecryptBody(cipher, source, size - last, sink, data, crc);
        if (body != kResultOk) {
            return body;
        }
        const auto n = static_cast<size_t>(last);
        if (source.Read(data, n) != n) {
            return kResultReadFailed;
        }
        size_t plain = 0;
        if (!OpenLastChunk(cipher, data, n, &plain)) {
            return kResultWrongPassword;
        }
        if (!sink.Write(data, plain)) {
            return kResultWriteFailed;
        }
        crc.Update(data, plain);
        return CrcTextMatches(crc.Value(), data + plain) ? kResultOk : kResultWrongPassword;
    });
}

}  // namespace zorv
