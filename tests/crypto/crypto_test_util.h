// Shared helpers of the cipher core's tests: scratch folders, whole-file
// reads and writes, deterministic test data and in-memory streams.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "crypto/file_transform.h"

namespace zorv::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with all its
// contents when the test ends.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("zorv-crypto-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The path of a file name in the folder, as the narrow string the core
    // takes.
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // The names in the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline Bytes Pattern(size_t n, uint32_t seed) {
    std::mt19937 generator(seed);
    Bytes bytes(n);
    for (auto& b : bytes) {
        b = static_cast<uint8_t>(generator());
    }
    return bytes;
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// A source over memory: full reads until the bytes run out.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(const Bytes& bytes) : bytes_(bytes) {}
    size_t Read(uint8_t* buffer, size_t n) override {
        const size_t take = std::min(n, bytes_.size() - pos_);
        if (take > 0) {
            std::memcpy(buffer, bytes_.data() + pos_, take);
        }
        pos_ += take;
        return take;
    }

private:
    const Bytes& bytes_;
    size_t pos_ = 0;
};

class MemorySink : public ByteSink {
public:
    bool Write(const uint8_t* data, size_t n) override {
        bytes.insert(bytes.end(), data, data + n);
        return true;
    }
    Bytes bytes;
};

inline Bytes EncryptBytes(FileCipher& cipher, const Bytes& plain, ResultCode* rc = nullptr) {
    MemorySource source(plain);
    MemorySink sink;
    const ResultCode result = EncryptStream(cipher, source, plain.size(), sink);
    if (rc != nullptr) {
        *rc = result;
    }
    return sink.bytes;
}

inline Bytes DecryptBytes(FileCipher& cipher, const Bytes& crp, ResultCode* rc) {
    MemorySource source(crp);
    MemorySink sink;
    *rc = DecryptStream(cipher, source, crp.size(), sink);
    return sink.bytes;
}

// The plain message M of the format for a plain text: the bytes, the given
// checksum text and the pad. Used to build .crp files independently.
inline Bytes FormatMessage(const Bytes& plain, const std::string& crcText) {
    Bytes m = plain;
    m.insert(m.end(), crcText.begin(), crcText.end());
    const size_t r = plain.size() % 8;
    m.insert(m.end(), 7 - r, 0);
    m.push_back(static_cast<uint8_t>('0' + (8 - r)));
    return m;
}

}  // namespace zorv::test
