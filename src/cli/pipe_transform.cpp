#include "cli/pipe_transform.h"

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
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

// Encryption of a stream: each piece is held back until the next one has
// begun to arrive (or the input has ended), since only the last piece gets
// the checksum text and the pad. Reading and checksumming run on the
// calling thread; encrypting and writing on this one or on a thread of
// their own, over a ring of pieces.
class UnsizedEncryption {
public:
    UnsizedEncryption(FileCipher& cipher, ByteSource& source, ByteSink& sink)
        : cipher_(cipher), source_(source), sink_(sink) {}

    ResultCode Run(bool threaded) {
        for (Slot& slot : slots_) {
            // Room for the checksum text and a whole pad block.
            slot.buffer = std::make_unique<ClearedBuffer>(kPiece + 16);
            if (slot.buffer->data() == nullptr) {
                return kResultOutOfMemory;
            }
        }
        cipher_.SetIV(FileIv);
        threaded_ = threaded;
        std::thread worker;
        if (threaded) {
            worker = std::thread([this] {
                for (std::uint64_t i = 0; Encrypt(Wait(i, true)); ++i) {
                }
            });
        }
        ReadAll();
        if (threaded) {
            // When the writer failed first, the read under way must end (more
            // input, its end, or an interrupt) before this returns.
            worker.join();
        }
        return result_;
    }

private:
    struct Slot {
        std::unique_ptr<ClearedBuffer> buffer;
        std::size_t length = 0;
        bool final = false;
        bool filled = false;
    };
    static constexpr std::size_t kSlots = 4;

    void ReadAll() {
        Slot* held = Wait(0, false);
        long long n = held == nullptr ? 0 : Fill(source_, held->buffer->data(), kPiece);
        if (held != nullptr && n <= 0) {
            return Stop(n < 0 ? kResultReadFailed : kResultEmptyFile);
        }
        Crc32 crc;
        for (std::uint64_t i = 0; held != nullptr; ++i) {
            Slot* next = nullptr;
            long long more = 0;
            if (static_cast<std::size_t>(n) == kPiece) {
                next = Wait(i + 1, false);
                if (next == nullptr) {
                    return;  // the writer stopped
                }
                more = Fill(source_, next->buffer->data(), kPiece);
                if (more < 0) {
                    return Stop(kResultReadFailed);
                }
            }
            std::uint8_t* data = held->buffer->data();
            auto length = static_cast<std::size_t>(n);
            crc.Update(data, length);
            bool final = more == 0;
            if (final) {
                FormatCrcText(crc.Value(), data + length);
                length += kCrcTextBytes;
            }
            Hand(held, length, final);
            // Encrypt returns false after the final piece.
            bool goOn = threaded_ ? !final : Encrypt(held);
            if (!goOn) {
                return;
            }
            held = next;
            n = more;
        }
    }

    // The slot of piece i once it is free (filled: once it is filled); null
    // when the run was stopped.
    Slot* Wait(std::uint64_t i, bool filled) {
        Slot& slot = slots_[i % kSlots];
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || slot.filled == filled; });
        return stopped_ ? nullptr : &slot;
    }

    void Hand(Slot* slot, std::size_t length, bool final) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot->length = length;
            slot->final = final;
            slot->filled = true;
        }
        changed_.notify_all();
    }

    // Encrypts and writes a filled slot and frees it; false when the run is
    // over (the final piece, or a stop).
    bool Encrypt(Slot* slot) {
        if (slot == nullptr) {
            return false;
        }
        std::uint8_t* data = slot->buffer->data();
        std::uint32_t out = 0;
        cipher_.EncryptBuffer(data, static_cast<std::uint32_t>(slot->length), data, &out,
                              slot->final);
        if (!sink_.Write(data, out)) {
            Stop(kResultWriteFailed);
            return false;
        }
        SecureZero(data, slot->length);
        bool final = slot->final;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot->filled = false;
        }
        changed_.notify_all();
        return !final;
    }

    void Stop(ResultCode code) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!stopped_) {
                result_ = code;
                stopped_ = true;
            }
        }
        changed_.notify_all();
    }

    FileCipher& cipher_;
    ByteSource& source_;
    ByteSink& sink_;
    Slot slots_[kSlots];
    bool threaded_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopped_ = false;
    ResultCode result_ = kResultOk;
};

}  // namespace

ResultCode EncryptUnsized(FileCipher& cipher, ByteSource& source, ByteSink& sink, bool threaded) {
    UnsizedEncryption encryption(cipher, source, sink);
    return encryption.Run(threaded);
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
