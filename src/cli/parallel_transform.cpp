#include "cli/parallel_transform.h"

#include <thread>
#include <vector>

#include "cli/interrupt.h"
#include "cli/key_protection.h"
#include "cli/stage_gate.h"
#include "crypto/crc32.h"
#include "crypto/crp_format.h"
#include "crypto/secret_buffer.h"
#include "crypto/secure_zero.h"

namespace zorv {
namespace {

// Pieces are whole 8-byte groups, so any split gives the desktop's bytes.
constexpr std::size_t kPiece = kTransformChunkBytes;
constexpr std::size_t kRingSlots = 4;
// Ask the kernel to start writing every so many bytes, so the final flush
// finds little left to do and the page cache stays small.
constexpr std::uint64_t kWriteBackStep = 1024 * 1024;

void AddProgress(const TransformOptions& options, std::uint64_t n) {
    if (options.progress != nullptr) {
        options.progress->fetch_add(n, std::memory_order_relaxed);
    }
}

// --- Encryption: read, encrypt and write as three stages over a ring -------

enum Stage { kFree, kFilled, kEncrypted };

struct Slot {
    std::uint8_t* data = nullptr;
    std::size_t length = 0;  // bytes to encrypt, then bytes to write
    std::size_t plainBytes = 0;
    bool final = false;
    Stage stage = kFree;
};

class EncryptionRing {
public:
    EncryptionRing(const FileCipher& cipher, const PlatformFile& source, std::uint64_t size,
                   const PlatformFile& target, const TransformOptions& options)
        : cipher_(cipher), source_(source), target_(target), options_(options), remaining_(size) {
        blocks_.reserve(kRingSlots);
        for (std::size_t i = 0; i < kRingSlots; ++i) {
            // Room for the checksum text and a whole pad block after a piece;
            // a small file gets small buffers (allocating and clearing four
            // whole pieces cost more than encrypting a 4 KiB file).
            std::size_t piece = size < kPiece ? static_cast<std::size_t>(size) : kPiece;
            blocks_.emplace_back(piece + kCrpTrailerBytes);
            slots_[i].data = blocks_.back().data();
            if (slots_[i].data == nullptr) {
                gate_.Stop(kResultOutOfMemory);
            }
        }
        LockInMemory(&cipher_, sizeof cipher_);
        cipher_.SetIV(FileIv);
    }

    ResultCode Run(bool threaded) {
        if (gate_.Stopped()) {
            return gate_.Result();
        }
        if (!threaded) {
            // One slot after the other on this thread; a step after an
            // abandoned one returns at once.
            for (std::uint64_t i = 0;; ++i) {
                bool more = ReadStep(i);
                EncryptStep(i);
                WriteStep(i);
                if (!more || gate_.Stopped()) {
                    return gate_.Result();
                }
            }
        }
        std::thread reader([this] { RunStage(&EncryptionRing::ReadStep); });
        std::thread writer([this] { RunStage(&EncryptionRing::WriteStep); });
        RunStage(&EncryptionRing::EncryptStep);
        reader.join();
        writer.join();
        return gate_.Result();
    }

private:
    using Step = bool (EncryptionRing::*)(std::uint64_t);

    void RunStage(Step step) {
        for (std::uint64_t i = 0; (this->*step)(i); ++i) {
        }
    }

    // Each step returns false when its stage is over: after the final slot,
    // or when the run was abandoned.
    bool ReadStep(std::uint64_t index) {
        Slot* slot = Wait(kFree, index);
        if (slot == nullptr) {
            return false;
        }
        if (Interrupted()) {
            return Abandon(kResultInterrupted);
        }
        std::size_t n = remaining_ < kPiece ? static_cast<std::size_t>(remaining_) : kPiece;
        if (!source_.ReadAt(readOffset_, slot->data, n)) {
            return Abandon(kResultReadFailed);
        }
        crc_.Update(slot->data, n);
        readOffset_ += n;
        remaining_ -= n;
        slot->plainBytes = n;
        slot->length = n;
        slot->final = remaining_ == 0;
        if (slot->final) {
            FormatCrcText(crc_.Value(), slot->data + n);
            slot->length += kCrcTextBytes;
        }
        return Pass(slot, kFilled);
    }

    bool EncryptStep(std::uint64_t index) {
        Slot* slot = Wait(kFilled, index);
        if (slot == nullptr) {
            return false;
        }
        std::uint32_t out = 0;
        cipher_.EncryptBuffer(slot->data, static_cast<std::uint32_t>(slot->length), slot->data,
                              &out, slot->final);
        slot->length = out;
        return Pass(slot, kEncrypted);
    }

    bool WriteStep(std::uint64_t index) {
        Slot* slot = Wait(kEncrypted, index);
        if (slot == nullptr) {
            return false;
        }
        if (!target_.WriteAt(writeOffset_, slot->data, slot->length)) {
            return Abandon(kResultWriteFailed);
        }
        writeOffset_ += slot->length;
        AddProgress(options_, slot->plainBytes);
        if (writeOffset_ - writtenBack_ >= kWriteBackStep) {
            target_.StartWriteBack(writtenBack_, writeOffset_ - writtenBack_);
            writtenBack_ = writeOffset_;
        }
        SecureZero(slot->data, slot->length);
        return Pass(slot, kFree);
    }

    Slot* Wait(Stage stage, std::uint64_t index) {
        Slot& slot = slots_[index % kRingSlots];
        return gate_.WaitUntil([&] { return slot.stage == stage; }) ? &slot : nullptr;
    }

    // Hands the slot on; false after the final slot (the stage is over).
    bool Pass(Slot* slot, Stage next) {
        bool final = slot->final;
        gate_.Update([&] { slot->stage = next; });
        return !final;
    }

    bool Abandon(ResultCode code) {
        gate_.Stop(code);
        return false;
    }

    FileCipher cipher_;  // a copy: this job's own feedback register
    const PlatformFile& source_;
    const PlatformFile& target_;
    const TransformOptions& options_;
    std::vector<ClearedBuffer> blocks_;
    Slot slots_[kRingSlots];
    StageGate gate_;
    Crc32 crc_;                      // reader only
    std::uint64_t remaining_;        // reader only
    std::uint64_t readOffset_ = 0;   // reader only
    std::uint64_t writeOffset_ = 0;  // writer only
    std::uint64_t writtenBack_ = 0;  // writer only
};

// --- Decryption: independent ranges, then the last chunk -------------------

struct RangeJob {
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    std::uint32_t crc = 0;
    ResultCode result = kResultOk;
};

// The feedback register for a block at offset: the cipher block before it.
bool LoadRegister(FileCipher& cipher, const PlatformFile& source, std::uint64_t offset) {
    if (offset == 0) {
        cipher.SetIV(FileIv);
        return true;
    }
    std::uint8_t previous[8];
    if (!source.ReadAt(offset - 8, previous, sizeof previous)) {
        return false;
    }
    cipher.SetIV(previous);
    return true;
}

class RangeDecryptor {
public:
    RangeDecryptor(const FileCipher& cipher, const PlatformFile& source, const PlatformFile* target,
                   const TransformOptions& options)
        : cipher_(cipher), source_(source), target_(target), options_(options) {}

    // Decrypts [job->start, job->start + job->length), a multiple of 8 long.
    void Run(RangeJob* job) {
        FileCipher cipher(cipher_);
        LockInMemory(&cipher, sizeof cipher);
        // A short range gets a short buffer: clearing a whole piece costs
        // more than decrypting a few kilobytes.
        ClearedBuffer buffer(job->length < kPiece ? static_cast<std::size_t>(job->length) : kPiece);
        if (buffer.data() == nullptr) {
            return Fail(job, kResultOutOfMemory);
        }
        if (!LoadRegister(cipher, source_, job->start)) {
            return Fail(job, kResultReadFailed);
        }
        Crc32 crc;
        std::uint64_t done = 0, writtenBack = 0;
        while (done < job->length && !stop_.load(std::memory_order_relaxed)) {
            std::uint64_t left = job->length - done;
            std::size_t n = left < kPiece ? static_cast<std::size_t>(left) : kPiece;
            std::uint64_t offset = job->start + done;
            if (Interrupted()) {
                return Fail(job, kResultInterrupted);
            }
            if (!source_.ReadAt(offset, buffer.data(), n)) {
                return Fail(job, kResultReadFailed);
            }
            std::uint32_t out = 0;
            cipher.DecryptBuffer(buffer.data(), static_cast<std::uint32_t>(n), buffer.data(), &out,
                                 false);
            crc.Update(buffer.data(), n);
            if (target_ != nullptr && !target_->WriteAt(offset, buffer.data(), n)) {
                return Fail(job, kResultWriteFailed);
            }
            done += n;
            AddProgress(options_, n);
            if (target_ != nullptr && done - writtenBack >= kWriteBackStep) {
                target_->StartWriteBack(job->start + writtenBack, done - writtenBack);
                writtenBack = done;
            }
        }
        job->crc = crc.Value();
    }

private:
    void Fail(RangeJob* job, ResultCode code) {
        job->result = code;
        stop_.store(true);
    }

    const FileCipher& cipher_;
    const PlatformFile& source_;
    const PlatformFile* target_;
    const TransformOptions& options_;
    std::atomic<bool> stop_{false};
};

// Several ranges per thread, taken in turn, so a thread that the machine
// slows down leaves its share to the others.
constexpr unsigned kRangesPerThread = 4;

std::vector<RangeJob> SplitBody(std::uint64_t body, const TransformOptions& options) {
    std::uint64_t minimum = options.minRangeBytes < 8 ? 8 : options.minRangeBytes;
    std::uint64_t count = body / minimum;
    std::uint64_t most =
        std::uint64_t{options.threads == 0 ? 1 : options.threads} * kRangesPerThread;
    count = count > most ? most : count == 0 ? 1 : count;
    std::uint64_t step = (body / count + 7) / 8 * 8;
    std::vector<RangeJob> jobs;
    for (std::uint64_t start = 0; start < body || jobs.empty(); start += step) {
        RangeJob job;
        job.start = start;
        job.length = body - start < step ? body - start : step;
        jobs.push_back(job);
    }
    return jobs;
}

ResultCode DecryptBody(const FileCipher& cipher, const PlatformFile& source, std::uint64_t body,
                       const PlatformFile* target, const TransformOptions& options,
                       std::uint32_t* crc) {
    std::vector<RangeJob> jobs = SplitBody(body, options);
    RangeDecryptor decryptor(cipher, source, target, options);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            decryptor.Run(&jobs[i]);
        }
    };
    std::size_t threads = options.threads == 0 ? 1 : options.threads;
    std::vector<std::thread> helpers;
    for (std::size_t i = 1; i < threads && i < jobs.size(); ++i) {
        helpers.emplace_back(work);
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    *crc = 0;
    for (const RangeJob& job : jobs) {
        if (job.result != kResultOk) {
            return job.result;
        }
        *crc = Crc32Combine(*crc, job.crc, job.length);
    }
    return kResultOk;
}

// Writes the plain bytes of the opened last chunk and compares the checksum
// text that follows them with the checksum of the whole file.
ResultCode CheckLastChunk(const std::uint8_t* chunk, std::size_t plain, std::uint64_t offset,
                          const PlatformFile* target, std::uint32_t bodyCrc) {
    if (target != nullptr && !target->WriteAt(offset, chunk, plain)) {
        return kResultWriteFailed;
    }
    Crc32 crc;
    crc.Update(chunk, plain);
    return CrcTextMatches(Crc32Combine(bodyCrc, crc.Value(), plain), chunk + plain)
               ? kResultOk
               : kResultWrongPassword;
}

// The last chunk: unpad it, check for room for the checksum text, write the
// plain bytes before it and compare the text.
ResultCode DecryptLastChunk(const FileCipher& master, const PlatformFile& source,
                            std::uint64_t offset, std::size_t n, const PlatformFile* target,
                            std::uint32_t bodyCrc) {
    FileCipher cipher(master);
    LockInMemory(&cipher, sizeof cipher);
    std::uint8_t chunk[kLongestLastChunk];
    ResultCode result = kResultReadFailed;
    if (LoadRegister(cipher, source, offset) && source.ReadAt(offset, chunk, n)) {
        std::size_t plain = 0;
        result = OpenLastChunk(cipher, chunk, n, &plain)
                     ? CheckLastChunk(chunk, plain, offset, target, bodyCrc)
                     : kResultWrongPassword;  // no room for the checksum text
    }
    SecureZero(chunk, sizeof chunk);
    return result;
}

}  // namespace

ResultCode EncryptToFile(const FileCipher& cipher, const PlatformFile& source, std::uint64_t size,
                         const PlatformFile& target, const TransformOptions& options) {
    if (size == 0) {
        return kResultEmptyFile;
    }
    EncryptionRing ring(cipher, source, size, target, options);
    // The three stages get threads of their own only when this file may use
    // more than one processor; otherwise they take turns on this thread.
    return ring.Run(size > kPiece && options.threads > 1);
}

ResultCode DecryptToFile(const FileCipher& cipher, const PlatformFile& source, std::uint64_t size,
                         const PlatformFile* target, const TransformOptions& options) {
    if (size == 0) {
        return kResultEmptyFile;
    }
    std::uint64_t last = LastChunkBytes(size);
    if (last == 0) {
        return kResultWrongPassword;  // 8 bytes: no room for text and pad
    }
    std::uint64_t body = size - last;
    std::uint32_t bodyCrc = 0;
    ResultCode result = DecryptBody(cipher, source, body, target, options, &bodyCrc);
    if (result != kResultOk) {
        return result;
    }
    result =
        DecryptLastChunk(cipher, source, body, static_cast<std::size_t>(last), target, bodyCrc);
    AddProgress(options, last);
    return result;
}

}  // namespace zorv
