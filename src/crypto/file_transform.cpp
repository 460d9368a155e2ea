#include "crypto/file_transform.h"

#include <cstring>
#include <new>

#include "crypto/crc32.h"
#include "crypto/secure_zero.h"

namespace zorv {
namespace {

// The format is defined over 4096-byte chunks, but any split into whole
// 8-byte groups gives the same cipher text, so the body streams in larger
// pieces: 256 KiB, which still sits in the processor's second-level cache
// while it is read, transformed, checksummed and written, and needs a quarter
// of the system calls of 64 KiB (measured: decrypting a file in the page cache
// costs about 5% less). The last chunk is the one of the 4096-byte split, as
// it decides where decryption looks for the checksum text.
constexpr size_t kFormatChunk = 4096;
constexpr size_t kStreamChunk = kTransformChunkBytes;
constexpr size_t kCrcTextBytes = 8;

// The one heap buffer of a transform; it holds plain text, so it is cleared
// before it is freed on every path.
class ChunkBuffer {
public:
    explicit ChunkBuffer(size_t size)
        : data_(BuffersRefused() ? nullptr : new (std::nothrow) uint8_t[size]), size_(size) {}
    ~ChunkBuffer() {
        if (data_ != nullptr) {
            SecureZero(data_, size_);
            delete[] data_;
        }
    }
    ChunkBuffer(const ChunkBuffer&) = delete;
    ChunkBuffer& operator=(const ChunkBuffer&) = delete;

    uint8_t* data() { return data_; }

private:
    uint8_t* data_;
    size_t size_;
};

// "%08lX": eight upper-case hexadecimal digits, no terminator.
void FormatCrcText(uint32_t crc, uint8_t* text) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = 7; i >= 0; --i) {
        text[i] = static_cast<uint8_t>(kDigits[crc & 0xF]);
        crc >>= 4;
    }
}

// Decrypts `bytes` (a multiple of 8) of a .crp body, passing plain text on.
ResultCode DecryptBody(FileCipher& cipher, ByteSource& source, uint64_t bytes, ByteSink& sink,
                       uint8_t* buffer, Crc32& crc) {
    while (bytes > 0) {
        const size_t n = bytes < kStreamChunk ? static_cast<size_t>(bytes) : kStreamChunk;
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

// The size of the last chunk of the 4096-byte split: up to 4104 bytes, since
// a final stretch of 8 bytes past a boundary joins the chunk before it. 0 for
// a source of 8 bytes, which has no last chunk at all.
uint64_t LastChunkBytes(uint64_t size) {
    const uint64_t rest = size % kFormatChunk;
    if (size == kCrcTextBytes) {
        return 0;
    }
    if (rest == kCrcTextBytes) {
        return kFormatChunk + kCrcTextBytes;
    }
    return rest == 0 ? kFormatChunk : rest;
}

// The largest piece a stream of `size` bytes needs: small files get a small
// buffer.
size_t PieceBytes(uint64_t size) {
    return size < kStreamChunk ? static_cast<size_t>(size) : kStreamChunk;
}

}  // namespace

size_t FileSource::Read(uint8_t* buffer, size_t n) {
    return file_.Read(buffer, n);
}

bool FileSink::Write(const uint8_t* data, size_t n) {
    return file_.Write(data, n) == n;
}

ResultCode EncryptStream(FileCipher& cipher, ByteSource& source, uint64_t size, ByteSink& sink) {
    if (size == 0) {
        return kResultEmptyFile;
    }
    // Room for the checksum text and a whole pad block after a full piece.
    ChunkBuffer buffer(PieceBytes(size) + kCrcTextBytes + 8);
    uint8_t* data = buffer.data();
    if (data == nullptr) {
        return kResultOutOfMemory;
    }
    Crc32 crc;
    cipher.SetIV(FileIv);
    uint64_t remaining = size;
    for (;;) {
        const size_t n = remaining < kStreamChunk ? static_cast<size_t>(remaining) : kStreamChunk;
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
}

ResultCode DecryptStream(FileCipher& cipher, ByteSource& source, uint64_t size, ByteSink& sink) {
    if (size == 0) {
        return kResultEmptyFile;
    }
    ChunkBuffer buffer(PieceBytes(size) + kCrcTextBytes);
    uint8_t* data = buffer.data();
    if (data == nullptr) {
        return kResultOutOfMemory;
    }
    Crc32 crc;
    cipher.SetIV(FileIv);
    const uint64_t last = LastChunkBytes(size);
    if (last == 0) {
        return kResultWrongPassword;  // 8 bytes: no room for text and pad
    }
    const ResultCode body = DecryptBody(cipher, source, size - last, sink, data, crc);
    if (body != kResultOk) {
        return body;
    }
    const auto n = static_cast<size_t>(last);
    if (source.Read(data, n) != n) {
        return kResultReadFailed;
    }
    uint32_t unpadded = 0;
    cipher.DecryptBuffer(data, static_cast<uint32_t>(n), data, &unpadded, true);
    // A damaged file or a wrong password can leave less than the checksum
    // text after unpadding; nothing outside the chunk is ever read.
    if (unpadded < kCrcTextBytes) {
        return kResultWrongPassword;
    }
    const size_t plain = unpadded - kCrcTextBytes;
    if (!sink.Write(data, plain)) {
        return kResultWriteFailed;
    }
    crc.Update(data, plain);
    uint8_t expected[kCrcTextBytes];
    FormatCrcText(crc.Value(), expected);
    // Case-sensitive: a lower-case text from another producer does not match.
    const bool match = std::memcmp(expected, data + plain, kCrcTextBytes) == 0;
    SecureZero(expected, sizeof expected);  // a checksum of the plain text
    return match ? kResultOk : kResultWrongPassword;
}

}  // namespace zorv
