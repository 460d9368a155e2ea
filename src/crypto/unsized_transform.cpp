// The unsized transforms (see file_transform.h): the format allows a length
// known only at the end, as only the last chunk is special.
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

#include "crypto/file_transform.h"
#include "crypto/secret_buffer.h"
#include "crypto/secure_zero.h"
#include "crypto/stage_gate.h"
#include "crypto/transform_steps.h"

namespace zorv {
namespace {

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
    DecryptPiece(cipher, crc, data, n);
    return sink.Write(data, n) ? kResultOk : kResultWriteFailed;
}

// The end of a stream: held holds the last bytes, which are the body's tail
// (a multiple of 4096 bytes) and the last chunk of a stream of total bytes.
ResultCode DecryptTail(FileCipher& cipher, std::uint8_t* held, std::size_t n, std::uint64_t total,
                       Crc32& crc, ByteSink& sink) {
    auto last = static_cast<std::size_t>(LastChunkBytes(total));
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
    return FinishLastChunk(
        cipher, held + body, last, crc,
        [&](const std::uint8_t* plain, std::size_t count) { return sink.Write(plain, count); });
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
            slot.buffer = std::make_unique<ClearedBuffer>(kPieceBytes + kCrpTrailerBytes);
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
        return gate_.Result();
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
        long long n = held == nullptr ? 0 : Fill(source_, held->buffer->data(), kPieceBytes);
        if (held != nullptr && n <= 0) {
            return Stop(n < 0 ? kResultReadFailed : kResultEmptyFile);
        }
        Crc32 crc;
        for (std::uint64_t i = 0; held != nullptr; ++i) {
            Slot* next = nullptr;
            long long more = 0;
            if (static_cast<std::size_t>(n) == kPieceBytes) {
                next = Wait(i + 1, false);
                if (next == nullptr) {
                    return;  // the writer stopped
                }
                more = Fill(source_, next->buffer->data(), kPieceBytes);
                if (more < 0) {
                    return Stop(kResultReadFailed);
                }
            }
            bool final = more == 0;
            Hand(held, SealPiece(crc, held->buffer->data(), static_cast<std::size_t>(n), final),
                 final);
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
        return gate_.WaitUntil([&] { return slot.filled == filled; }) ? &slot : nullptr;
    }

    void Hand(Slot* slot, std::size_t length, bool final) {
        gate_.Update([&] {
            slot->length = length;
            slot->final = final;
            slot->filled = true;
        });
    }

    // Encrypts and writes a filled slot and frees it; false when the run is
    // over (the final piece, or a stop).
    bool Encrypt(Slot* slot) {
        if (slot == nullptr) {
            return false;
        }
        std::uint8_t* data = slot->buffer->data();
        const std::size_t out = EncryptPiece(cipher_, data, slot->length, slot->final);
        if (!sink_.Write(data, out)) {
            Stop(kResultWriteFailed);
            return false;
        }
        SecureZero(data, slot->length);
        bool final = slot->final;
        gate_.Update([&] { slot->filled = false; });
        return !final;
    }

    void Stop(ResultCode code) { gate_.Stop(code); }

    FileCipher& cipher_;
    ByteSource& source_;
    ByteSink& sink_;
    Slot slots_[kSlots];
    bool threaded_ = false;
    StageGate gate_;
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
    constexpr std::size_t kCapacity = kPieceBytes + kLongestLastChunk;
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
        ResultCode result = DecryptAndWrite(cipher, data, kPieceBytes, crc, sink);
        if (result != kResultOk) {
            return result;
        }
        written += kPieceBytes;
        std::memmove(data, data + kPieceBytes, kLongestLastChunk);
        held = kLongestLastChunk;
    }
    if (written + held == 0) {
        return kResultEmptyFile;
    }
    return DecryptTail(cipher, data, held, written + held, crc, sink);
}

}  // namespace zorv
