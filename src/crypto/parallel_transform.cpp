// The parallel transforms (see file_transform.h).
#include <thread>
#include <vector>

#include "crypto/file_transform.h"
#include "crypto/secret_buffer.h"
#include "crypto/secure_zero.h"
#include "crypto/stage_gate.h"
#include "crypto/transform_steps.h"

namespace zorv {
namespace {

constexpr std::size_t kRingSlots = 4;
// Ask the kernel to start writing every so many bytes, so the final flush
// finds little left to do and the page cache stays small.
constexpr std::uint64_t kWriteBackStep = 1024 * 1024;

void AddProgress(const TransformOptions& options, std::uint64_t n) {
    if (options.progress != nullptr) {
        options.progress->fetch_add(n, std::memory_order_relaxed);
    }
    if (options.report != nullptr) {
        options.report->OnBytesRead(n);
    }
}

bool Interrupted(const TransformOptions& options) {
    return options.interrupted != nullptr && options.interrupted();
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
    EncryptionRing(const FileCipher& cipher, const PositionalFile& source, std::uint64_t size,
                   const PositionalFile& target, const TransformOptions& options)
        : cipher_(cipher), source_(source), target_(target), options_(options), remaining_(size) {
        blocks_.reserve(kRingSlots);
        for (std::size_t i = 0; i < kRingSlots; ++i) {
            // Room for the checksum text and a whole pad block after a piece;
            // a small file gets small buffers (allocating and clearing four
            // whole pieces cost more than encrypting a 4 KiB file).
            blocks_.emplace_back(PieceBytes(size) + kCrpTrailerBytes);
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
        if (Interrupted(options_)) {
            return Abandon(kResultInterrupted);
        }
        const std::size_t n = PieceBytes(remaining_);
        if (!source_.ReadAt(readOffset_, slot->data, n)) {
            return Abandon(kResultReadFailed);
        }
        readOffset_ += n;
        remaining_ -= n;
        slot->plainBytes = n;
        slot->final = remaining_ == 0;
        slot->length = SealPiece(crc_, slot->data, n, slot->final);
        return Pass(slot, kFilled);
    }

    bool EncryptStep(std::uint64_t index) {
        Slot* slot = Wait(kFilled, index);
        if (slot == nullptr) {
            return false;
        }
        slot->length = EncryptPiece(cipher_, slot->data, slot->length, slot->final);
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
    const PositionalFile& source_;
    const PositionalFile& target_;
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
bool LoadRegister(FileCipher& cipher, const PositionalFile& source, std::uint64_t offset) {
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
    RangeDecryptor(const FileCipher& cipher, const PositionalFile& source,
                   const PositionalFile* target, const TransformOptions& options)
        : cipher_(cipher), source_(source), target_(target), options_(options) {}

    // Decrypts [job->start, job->start + job->length), a multiple of 8 long.
    void Run(RangeJob* job) {
        FileCipher cipher(cipher_);
        LockInMemory(&cipher, sizeof cipher);
        // A short range gets a short buffer: clearing a whole piece costs
        // more than decrypting a few kilobytes.
        ClearedBuffer buffer(PieceBytes(job->length));
        std::uint8_t* data = buffer.data();
        if (data == nullptr) {
            return Fail(job, kResultOutOfMemory);
        }
        if (!LoadRegister(cipher, source_, job->start)) {
            return Fail(job, kResultReadFailed);
        }
        Crc32 crc;
        std::uint64_t writtenBack = 0;
        const ResultCode result = DecryptPieces(
            cipher, crc, job->length, data,
            [&](std::uint64_t done, std::size_t n) {
                if (Interrupted(options_)) {
                    return kResultInterrupted;
                }
                return source_.ReadAt(job->start + done, data, n) ? kResultOk : kResultReadFailed;
            },
            [&](std::uint64_t done, std::size_t n) {
                if (target_ != nullptr && !target_->WriteAt(job->start + done, data, n)) {
                    return kResultWriteFailed;
                }
                AddProgress(options_, n);
                if (target_ != nullptr && done + n - writtenBack >= kWriteBackStep) {
                    target_->StartWriteBack(job->start + writtenBack, done + n - writtenBack);
                    writtenBack = done + n;
                }
                return kResultOk;
            },
            [&] { return stop_.load(std::memory_order_relaxed); });
        if (result != kResultOk) {
            return Fail(job, result);
        }
        job->crc = crc.Value();
    }

private:
    void Fail(RangeJob* job, ResultCode code) {
        job->result = code;
        stop_.store(true);
    }

    const FileCipher& cipher_;
    const PositionalFile& source_;
    const PositionalFile* target_;
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

ResultCode DecryptBody(const FileCipher& cipher, const PositionalFile& source, std::uint64_t body,
                       const PositionalFile* target, const TransformOptions& options,
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

// The last chunk: unpad it, check for room for the checksum text, write the
// plain bytes before it and compare the text with the whole file's checksum.
ResultCode DecryptLastChunk(const FileCipher& master, const PositionalFile& source,
                            std::uint64_t offset, std::size_t n, const PositionalFile* target,
                            std::uint32_t bodyCrc) {
    FileCipher cipher(master);
    LockInMemory(&cipher, sizeof cipher);
    std::uint8_t chunk[kLongestLastChunk];
    ResultCode result = kResultReadFailed;
    if (LoadRegister(cipher, source, offset) && source.ReadAt(offset, chunk, n)) {
        Crc32 crc(bodyCrc);
        result = FinishLastChunk(
            cipher, chunk, n, crc, [&](const std::uint8_t* plain, std::size_t count) {
                return target == nullptr || target->WriteAt(offset, plain, count);
            });
    }
    SecureZero(chunk, sizeof chunk);
    return result;
}

}  // namespace

ResultCode EncryptToFile(const FileCipher& cipher, const PositionalFile& source, std::uint64_t size,
                         const PositionalFile& target, const TransformOptions& options) {
    if (size == 0) {
        return kResultEmptyFile;
    }
    EncryptionRing ring(cipher, source, size, target, options);
    // The three stages get threads of their own only when this file may use
    // more than one processor; otherwise they take turns on this thread.
    return ring.Run(size > kPieceBytes && options.threads > 1);
}

ResultCode DecryptToFile(const FileCipher& cipher, const PositionalFile& source, std::uint64_t size,
                         const PositionalFile* target, const TransformOptions& options) {
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
