// The stream transforms over memory: the discarding sink,
// short sources and refusing sinks, and sizes of 4 GiB and more.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>

#include "crypto/file_cipher.h"
#include "crypto/file_handle.h"
#include "crypto/file_transform.h"
#include "crypto_test_util.h"

namespace zorv {
namespace {

using test::Bytes;
using test::MemorySink;
using test::MemorySource;
using test::Pattern;

FileCipher Cipher(const char* password = "stream") {
    return FileCipher(password, static_cast<int32_t>(std::strlen(password)));
}

class RefusingSink : public ByteSink {
public:
    explicit RefusingSink(size_t accept) : accept_(accept) {}
    bool Write(const uint8_t*, size_t n) override {
        if (n > accept_) {
            return false;
        }
        accept_ -= n;
        return true;
    }

private:
    size_t accept_;
};

TEST(Stream, DiscardSinkChecksThePasswordOnly) {
    FileCipher cipher = Cipher();
    const Bytes crp = test::EncryptBytes(cipher, Pattern(9000, 2));
    DiscardSink discard;
    MemorySource right(crp);
    EXPECT_EQ(DecryptStream(cipher, right, crp.size(), discard), kResultOk);
    FileCipher other = Cipher("other");
    MemorySource wrong(crp);
    EXPECT_EQ(DecryptStream(other, wrong, crp.size(), discard), kResultWrongPassword);
}

TEST(Stream, ShortSourcesAndRefusingSinks) {
    FileCipher cipher = Cipher();
    const Bytes plain = Pattern(2 * kTransformChunkBytes + 1000, 3);
    const Bytes crp = test::EncryptBytes(cipher, plain);
    MemorySink sink;
    // The source ends before the promised size: a failed read, never 0.
    for (uint64_t extra : {uint64_t{1}, uint64_t{8}, uint64_t{1} << 33}) {
        MemorySource source(plain);
        EXPECT_EQ(EncryptStream(cipher, source, plain.size() + extra, sink), kResultReadFailed);
        MemorySource crpSource(crp);
        EXPECT_EQ(DecryptStream(cipher, crpSource, crp.size() + extra, sink), kResultReadFailed);
    }
    MemorySource empty(plain);
    EXPECT_EQ(EncryptStream(cipher, empty, 0, sink), kResultEmptyFile);
    EXPECT_EQ(DecryptStream(cipher, empty, 0, sink), kResultEmptyFile);
    // The sink takes the first chunk, then refuses.
    for (size_t accept : {size_t{0}, kTransformChunkBytes, crp.size() - 1}) {
        MemorySource source(plain);
        RefusingSink refusing(accept);
        EXPECT_EQ(EncryptStream(cipher, source, plain.size(), refusing), kResultWriteFailed);
        MemorySource crpSource(crp);
        RefusingSink refusing2(accept <= kTransformChunkBytes ? accept : plain.size() - 1);
        EXPECT_EQ(DecryptStream(cipher, crpSource, crp.size(), refusing2), kResultWriteFailed);
    }
}

// A bounded pipe between an encrypting thread and a decrypting one, so that a
// stream of several GiB round-trips without touching the disk.
class Pipe {
public:
    class Writer : public ByteSink {
    public:
        explicit Writer(Pipe& pipe) : pipe_(pipe) {}
        bool Write(const uint8_t* data, size_t n) override { return pipe_.Put(data, n); }

    private:
        Pipe& pipe_;
    };
    class Reader : public ByteSource {
    public:
        explicit Reader(Pipe& pipe) : pipe_(pipe) {}
        size_t Read(uint8_t* buffer, size_t n) override { return pipe_.Get(buffer, n); }

    private:
        Pipe& pipe_;
    };

    // Blocks while the pipe is full; false once the reader has gone.
    bool Put(const uint8_t* data, size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (n > 0) {
            changed_.wait(lock, [this] { return count_ < kCapacity || closed_; });
            if (closed_) {
                return false;
            }
            const size_t tail = (head_ + count_) % kCapacity;
            const size_t take = std::min({n, kCapacity - count_, kCapacity - tail});
            std::memcpy(&ring_[tail], data, take);
            count_ += take;
            data += take;
            n -= take;
            changed_.notify_all();
        }
        return true;
    }
    // Ends the stream: the reader sees the end once the pipe is drained, and
    // a writer still waiting gives up.
    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    size_t Get(uint8_t* buffer, size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        size_t done = 0;
        while (done < n) {
            changed_.wait(lock, [this] { return count_ > 0 || closed_; });
            if (count_ == 0) {
                break;
            }
            const size_t take = std::min({n - done, count_, kCapacity - head_});
            std::memcpy(buffer + done, &ring_[head_], take);
            head_ = (head_ + take) % kCapacity;
            count_ -= take;
            done += take;
            changed_.notify_all();
        }
        return done;
    }

private:
    static constexpr size_t kCapacity = 1 << 20;
    std::vector<uint8_t> ring_ = std::vector<uint8_t>(kCapacity);
    size_t head_ = 0;
    size_t count_ = 0;
    bool closed_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
};

// A sparse file of more than 4 GiB: the size query sees all of it, and the
// transforms carry every byte (a low-32-bit size would encrypt 13 bytes).
TEST(Stream, SourcesOfFourGibibytesAndMore) {
    test::ScratchDir dir;
    const std::string path = dir.File("sparse");
    const uint64_t size = (uint64_t{1} << 32) + 13;
    test::WriteBytes(path, Bytes{0x5A});
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    if (error) {
        GTEST_SKIP() << "no sparse file of 4 GiB here: " << error.message();
    }
    FileHandle file;
    ASSERT_TRUE(file.OpenForRead(path.c_str()));
    ASSERT_EQ(file.Size(), static_cast<int64_t>(size));
#ifndef NDEBUG
    GTEST_SKIP() << "the 4 GiB round trip runs in optimised builds only";
#endif
    FileCipher encryptor = Cipher();
    FileCipher decryptor = Cipher();
    Pipe pipe;
    FileSource source(file);
    Pipe::Writer writer(pipe);
    ResultCode encrypted = -1;
    std::thread producer([&] {
        encrypted = EncryptStream(encryptor, source, size, writer);
        pipe.Close();
    });
    // The plain text is one 0x5A byte and zeros; check it as it arrives.
    class CheckingSink : public ByteSink {
    public:
        bool Write(const uint8_t* data, size_t n) override {
            size_t start = 0;
            if (total == 0 && n > 0) {
                mismatches += data[0] != 0x5A;
                start = 1;
            }
            const auto zeros = std::count(data + start, data + n, uint8_t{0});
            mismatches += n - start - static_cast<size_t>(zeros);
            total += n;
            return true;
        }
        uint64_t total = 0;
        uint64_t mismatches = 0;
    } checking;
    Pipe::Reader reader(pipe);
    const ResultCode decrypted = DecryptStream(decryptor, reader, size / 8 * 8 + 16, checking);
    pipe.Close();
    producer.join();
    EXPECT_EQ(encrypted, kResultOk);
    EXPECT_EQ(decrypted, kResultOk);
    EXPECT_EQ(checking.total, size);
    EXPECT_EQ(checking.mismatches, 0u);
}

}  // namespace
}  // namespace zorv
