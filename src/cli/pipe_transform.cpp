#include "cli/pipe_transform.h"

#include <cstring>
#include <new>
#include <utility>

#include "crypto/crc32.h"
#include "crypto/secure_zero.h"

namespace zorv {
namespace {

// Whole 8-byte groups, so any split gives the desktop's bytes.
constexpr std::size_t kPiece = kTransformChunkBytes;
constexpr std::size_t kFormatChunk = 4096;
constexpr std::size_t kCrcTextBytes = 8;
// The longest last chunk: 4096 bytes and a final stretch of 8.
constexpr std::size_t kLongestLastChunk = kFormatChunk + kCrcTextBytes;

// A heap buffer that may hold plain text: cleared before it is freed.
class ClearedBuffer {
public:
    explicit ClearedBuffer(std::size_t size)
        : data_(new (std::nothrow) std::uint8_t[size]), size_(size) {}
    ~ClearedBuffer() {
        if (data_ != nullptr) {
            SecureZero(data_, size_);
            delete[] data_;
        }
    }
    ClearedBuffer(const ClearedBuffer&) = delete;
    ClearedBuffer& operator=(const ClearedBuffer&) = delete;

    std::uint8_t* data() const { return data_; }

private:
    std::uint8_t* data_;
    std::size_t size_;
};

void FormatCrcText(std::uint32_t crc, std::uint8_t* text) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = 7; i >= 0; --i) {
        text[i] = static_cast<std::uint8_t>(kDigits[crc & 0xF]);
        crc >>= 4;
    }
}

// The last chunk of the 4096-byte split for a stream of size bytes, as
// DecryptFile decides it; 0 for 8 bytes, which have none.
std::size_t LastChunkBytes(std::uint64_t size) {
    auto rest = static_cast<std::size_t>(size % kFormatChunk);
    if (size == kCrcTextBytes) {
        return 0;
    }
    if (rest == kCrcTextBytes) {
        return kLongestLastChunk;
    }
    return rest == 0 ? kFormatChunk : rest;
}

// Reads until n bytes are in or the source ends; how many arrived, or -1
// when the source failed.
long long Fill(ByteSource& source, std::uint8_t* buffer, std::size_t n) {
    std::size_t got = source.Read(buffer, n);
    if (got < n && source.failed) {
        return -1;
    }
    return static_cast<long long>(got);
}

ResultCode DecryptAndWrite(FileCipher& cipher, std::uint8_t* data, std::size_t n, Crc32& crc,
                           ByteSink& sink) {
    std::uint32_t out = 0;
    cipher.DecryptBuffer(data, static_cast<std::uint32_t>(n), data, &out, false);
    crc.Update(data, n);
    return sink.Write(data, n) ? kResultOk : kResultWriteFailed;
}

// The end of a stream: held holds the last bytes, which are the body's tail
// (a multiple of 4096 bytes) and the last chunk of a stream of total bytes.
ResultCode DecryptTail(FileCipher& cipher, std::uint8_t* held, std::size_t n, std::uint64_t total,
                       Crc32& crc, ByteSink& sink) {
    std::size_t last = LastChunkBytes(total);
    if (last == 0) {
        return kResultWrongPassword;  // 8 bytes: no room for text and pad
    }
    std::size_t body = n - last;
    if (body > 0) {
        ResultCode result = DecryptAndWrite(cipher, held, body, crc, sink);
        if (result != kResultOk) {
            return result;
        }
    }
    std::uint8_t* chunk = held + body;
    std::uint32_t unpadded = 0;
    cipher.DecryptBuffer(chunk, static_cast<std::uint32_t>(last), chunk, &unpadded, true);
    if (unpadded < kCrcTextBytes) {
        return kResultWrongPassword;  // no room for the checksum text
    }
    std::size_t plain = unpadded - kCrcTextBytes;
    crc.Update(chunk, plain);
    if (!sink.Write(chunk, plain)) {
        return kResultWriteFailed;
    }
    std::uint8_t expected[kCrcTextBytes];
    FormatCrcText(crc.Value(), expected);
    return std::memcmp(expected, chunk + plain, kCrcTextBytes) == 0 ? kResultOk
                                                                    : kResultWrongPassword;
}

}  // namespace

ResultCode EncryptUnsized(FileCipher& cipher, ByteSource& source, ByteSink& sink) {
    // Two pieces: the one held back, and the next, whose arrival proves that
    // the held one is not the last. Room for the text and a pad block.
    ClearedBuffer buffers[2] = {ClearedBuffer(kPiece + 16), ClearedBuffer(kPiece + 16)};
    if (buffers[0].data() == nullptr || buffers[1].data() == nullptr) {
        return kResultOutOfMemory;
    }
    cipher.SetIV(FileIv);
    Crc32 crc;
    std::uint8_t* held = buffers[0].data();
    std::uint8_t* next = buffers[1].data();
    long long n = Fill(source, held, kPiece);
    if (n <= 0) {
        return n < 0 ? kResultReadFailed : kResultEmptyFile;
    }
    for (;;) {
        long long more = static_cast<std::size_t>(n) == kPiece ? Fill(source, next, kPiece) : 0;
        if (more < 0) {
            return kResultReadFailed;
        }
        auto length = static_cast<std::size_t>(n);
        crc.Update(held, length);
        bool final = more == 0;
        if (final) {
            FormatCrcText(crc.Value(), held + length);
            length += kCrcTextBytes;
        }
        std::uint32_t out = 0;
        cipher.EncryptBuffer(held, static_cast<std::uint32_t>(length), held, &out, final);
        if (!sink.Write(held, out)) {
            return kResultWriteFailed;
        }
        if (final) {
            return kResultOk;
        }
        std::swap(held, next);
        n = more;
    }
}

ResultCode DecryptUnsized(FileCipher& cipher, ByteSource& source, ByteSink& sink) {
    // A piece to decrypt and, behind it, the bytes that may be the last
    // chunk. Only whole 4096-byte chunks leave before the input ends, so the
    // split stays the desktop's.
    constexpr std::size_t kCapacity = kPiece + kLongestLastChunk;
    ClearedBuffer buffer(kCapacity);
    std::uint8_t* data = buffer.data();
    if (data == nullptr) {
        return kResultOutOfMemory;
    }
    cipher.SetIV(FileIv);
    Crc32 crc;
    std::uint64_t written = 0;
    std::size_t held = 0;
    for (;;) {
        long long got = Fill(source, data + held, kCapacity - held);
        if (got < 0) {
            return kResultReadFailed;
        }
        held += static_cast<std::size_t>(got);
        if (held < kCapacity) {
            break;  // the input ended
        }
        // Full: the last chunk cannot begin before the held-back tail.
        ResultCode result = DecryptAndWrite(cipher, data, kPiece, crc, sink);
        if (result != kResultOk) {
            return result;
        }
        written += kPiece;
        std::memmove(data, data + kPiece, kLongestLastChunk);
        held = kLongestLastChunk;
    }
    if (written + held == 0) {
        return kResultEmptyFile;
    }
    return DecryptTail(cipher, data, held, written + held, crc, sink);
}

}  // namespace zorv
