// Every .crp transform in one table, each run over memory: the serial,
// unsized and parallel forms must give the same bytes and results, so the
// tests that check one check them all.
#pragma once

#include <algorithm>
#include <cstring>
#include <mutex>

#include "crypto/file_transform.h"
#include "crypto_test_util.h"

namespace zorv::test {

// A file of the parallel transforms in memory: reads within its contents,
// writes within its capacity, by several threads at once.
class MemoryFile : public PositionalFile {
public:
    MemoryFile(const Bytes& contents, size_t capacity)
        : bytes_(std::max(contents.size(), capacity)), end_(contents.size()) {
        std::copy(contents.begin(), contents.end(), bytes_.begin());
    }
    bool ReadAt(uint64_t offset, void* buffer, size_t n) const override {
        if (offset > end_ || n > end_ - offset) {
            return false;
        }
        std::memcpy(buffer, bytes_.data() + offset, n);
        return true;
    }
    bool WriteAt(uint64_t offset, const void* data, size_t n) const override {
        if (offset > bytes_.size() || n > bytes_.size() - offset) {
            return false;
        }
        std::memcpy(bytes_.data() + offset, data, n);
        std::lock_guard<std::mutex> lock(mutex_);
        end_ = std::max(end_, static_cast<size_t>(offset + n));
        return true;
    }
    void StartWriteBack(uint64_t, uint64_t) const override {}
    Bytes Contents() const { return Bytes(bytes_.begin(), bytes_.begin() + end_); }

private:
    mutable Bytes bytes_;
    mutable std::mutex mutex_;
    mutable size_t end_;
};

// Ranges this small split the test inputs among the threads.
constexpr uint64_t kSmallRange = 40000;

// One form of the transforms: encrypt or decrypt input with a copy of
// cipher, output what reached the destination. A null function: the form
// has no such direction of its own.
struct Implementation {
    const char* name;
    ResultCode (*encrypt)(const FileCipher& cipher, const Bytes& input, Bytes* output);
    ResultCode (*decrypt)(const FileCipher& cipher, const Bytes& input, Bytes* output);
    bool checksOnly = false;  // decryption writes nowhere: compare results only
};

template <bool kThreaded>
ResultCode EncryptUnsizedOver(const FileCipher& cipher, const Bytes& input, Bytes* output) {
    FileCipher own = cipher;
    MemorySource source(input);
    MemorySink sink;
    const ResultCode result = EncryptUnsized(own, source, sink, kThreaded);
    *output = sink.bytes;
    return result;
}

inline ResultCode DecryptUnsizedOver(const FileCipher& cipher, const Bytes& input, Bytes* output) {
    FileCipher own = cipher;
    MemorySource source(input);
    MemorySink sink;
    const ResultCode result = DecryptUnsized(own, source, sink);
    *output = sink.bytes;
    return result;
}

inline ResultCode SerialEncrypt(const FileCipher& cipher, const Bytes& input, Bytes* output) {
    FileCipher own = cipher;
    ResultCode result = kResultOk;
    *output = EncryptBytes(own, input, &result);
    return result;
}

inline ResultCode SerialDecrypt(const FileCipher& cipher, const Bytes& input, Bytes* output) {
    FileCipher own = cipher;
    ResultCode result = kResultOk;
    *output = DecryptBytes(own, input, &result);
    return result;
}

inline TransformOptions OnThreads(unsigned threads) {
    TransformOptions options;
    options.threads = threads;
    options.minRangeBytes = kSmallRange;
    return options;
}

template <unsigned kThreads>
ResultCode EncryptToMemory(const FileCipher& cipher, const Bytes& input, Bytes* output) {
    MemoryFile source(input, 0), target({}, input.size() + kCrpTrailerBytes);
    const ResultCode result =
        EncryptToFile(cipher, source, input.size(), target, OnThreads(kThreads));
    *output = target.Contents();
    return result;
}

template <unsigned kThreads, bool kWrites = true>
ResultCode DecryptToMemory(const FileCipher& cipher, const Bytes& input, Bytes* output) {
    MemoryFile source(input, 0), target({}, input.size());
    const ResultCode result = DecryptToFile(cipher, source, input.size(),
                                            kWrites ? &target : nullptr, OnThreads(kThreads));
    *output = target.Contents();
    return result;
}

inline const Implementation kImplementations[] = {
    {"serial", SerialEncrypt, SerialDecrypt},
    {"unsized", EncryptUnsizedOver<false>, DecryptUnsizedOver},
    {"unsized, threaded", EncryptUnsizedOver<true>, nullptr},
    {"parallel, 1 thread", EncryptToMemory<1>, DecryptToMemory<1>},
    {"parallel, 2 threads", EncryptToMemory<2>, DecryptToMemory<2>},
    {"parallel, 3 threads", nullptr, DecryptToMemory<3>},
    {"parallel, checking only", nullptr, DecryptToMemory<3, false>, true},
};

}  // namespace zorv::test
