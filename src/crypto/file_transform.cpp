#include "crypto/file_transform.h"

#include "crypto/secret_buffer.h"
#include "crypto/transform_steps.h"

namespace zorv {
namespace {

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
            remaining -= n;
            const bool final = remaining == 0;
            const size_t out = EncryptPiece(cipher, data, SealPiece(crc, data, n, final), final);
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
        const ResultCode body = DecryptPieces(
            cipher, crc, size - last, data,
            [&](uint64_t, size_t n) {
                return source.Read(data, n) == n ? kResultOk : kResultReadFailed;
            },
            [&](uint64_t, size_t n) {
                return sink.Write(data, n) ? kResultOk : kResultWriteFailed;
            },
            [] { return false; });
        if (body != kResultOk) {
            return body;
        }
        const auto n = static_cast<size_t>(last);
        if (source.Read(data, n) != n) {
            return kResultReadFailed;
        }
        return FinishLastChunk(cipher, data, n, crc, [&](const uint8_t* plain, size_t count) {
            return sink.Write(plain, count);
        });
    });
}

}  // namespace zorv
