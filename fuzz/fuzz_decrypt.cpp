// Feeds arbitrary bytes to the decryption paths: DecryptBuffer on a chunk of
// any length (in place and into a separate buffer) and DecryptStream over a
// .crp body of any length, sometimes with a read cut short. Whatever the
// input, nothing may be read or written outside the buffers, the stream must
// end with a defined result, and no more plain text may come out than went in.
// The same bytes taken as plain text must also survive a round trip, and
// the command-line program's parallel decryption of them as a .crp file must
// give DecryptFile's result, and its plain bytes when both succeed.
//
// The corpus (fuzz/corpus/decrypt) holds bodies of the interesting sizes
// (0, 1, 7, 8, 9, 15, 16, 17, 24, 4095, 4096, 4104, 4112, 4120, 8200) and
// .crp files of 1, 7, 8, 4088, 4096 and 4097 plain bytes under the target's
// key, each also with a short read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "crypto/file_cipher.h"
#include "crypto/file_handle.h"
#include "crypto/file_transform.h"

namespace {

// Layout of an input: one byte choosing how the source splits its reads, then
// the cipher text. The key is fixed: keying costs 521 block encryptions, and
// no path of the decryption depends on the key's value.
struct FuzzInput {
    uint8_t readPattern;
    const uint8_t* body;
    size_t bodyLength;
};

bool Split(const uint8_t* data, size_t size, FuzzInput* in) {
    if (size < 1) {
        return false;
    }
    in->readPattern = data[0];
    in->body = data + 1;
    in->bodyLength = size - 1;
    return true;
}

// A source over the input; patterns above 200 cut one read short, which
// must end the transform with result 82 whatever was read before.
class PieceSource : public zorv::ByteSource {
public:
    PieceSource(const uint8_t* data, size_t size, uint8_t pattern)
        : data_(data), size_(size), pattern_(pattern) {}
    size_t Read(uint8_t* buffer, size_t n) override {
        const size_t left = size_ - pos_;
        const size_t take = n < left ? n : left;
        std::memcpy(buffer, data_ + pos_, take);
        pos_ += take;
        ++reads_;
        const bool cutShort = pattern_ > 200 && reads_ == pattern_ % 3u + 1 && take > 0;
        return cutShort ? take - 1 : take;
    }

private:
    const uint8_t* data_;
    size_t size_;
    uint8_t pattern_;
    size_t pos_ = 0;
    size_t reads_ = 0;
};

class VectorSink : public zorv::ByteSink {
public:
    bool Write(const uint8_t* data, size_t n) override {
        bytes.insert(bytes.end(), data, data + n);
        return true;
    }
    std::vector<uint8_t> bytes;
};

class CountingSink : public zorv::ByteSink {
public:
    bool Write(const uint8_t* data, size_t n) override {
        if (n > 0) {
            checksum_ ^= data[0] ^ data[n - 1];  // touch both ends of every write
        }
        total += n;
        return true;
    }
    size_t total = 0;

private:
    uint8_t checksum_ = 0;
};

void FuzzBuffer(zorv::FileCipher& cipher, const FuzzInput& in) {
    const auto count = static_cast<uint32_t>(in.bodyLength);
    std::vector<uint8_t> inPlace(in.body, in.body + in.bodyLength);
    std::vector<uint8_t> separate(in.bodyLength);
    uint32_t outInPlace = 0;
    uint32_t outSeparate = 0;
    cipher.SetIV(zorv::FileIv);
    cipher.DecryptBuffer(inPlace.data(), count, inPlace.data(), &outInPlace, true);
    cipher.SetIV(zorv::FileIv);
    cipher.DecryptBuffer(in.body, count, separate.data(), &outSeparate, true);
    if (outInPlace > count || outInPlace != outSeparate || inPlace != separate) {
        std::abort();
    }
}

void FuzzStream(zorv::FileCipher& cipher, const FuzzInput& in) {
    PieceSource source(in.body, in.bodyLength, in.readPattern);
    CountingSink sink;
    const zorv::ResultCode rc = zorv::DecryptStream(cipher, source, in.bodyLength, sink);
    const bool known = rc == zorv::kResultOk || rc == zorv::kResultWrongPassword ||
                       rc == zorv::kResultEmptyFile || rc == zorv::kResultReadFailed;
    if (!known || sink.total > in.bodyLength || (rc == zorv::kResultOk && in.bodyLength < 16)) {
        std::abort();
    }
}

// The same bytes taken as plain text must survive a round trip.
void FuzzRoundTrip(zorv::FileCipher& cipher, const FuzzInput& in) {
    PieceSource plain(in.body, in.bodyLength, 0);
    VectorSink encrypted;
    if (zorv::EncryptStream(cipher, plain, in.bodyLength, encrypted) != zorv::kResultOk) {
        std::abort();
    }
    PieceSource crp(encrypted.bytes.data(), encrypted.bytes.size(), in.readPattern % 200);
    VectorSink decrypted;
    const zorv::ResultCode rc = zorv::DecryptStream(cipher, crp, encrypted.bytes.size(), decrypted);
    if (rc != zorv::kResultOk || decrypted.bytes.size() != in.bodyLength ||
        std::memcmp(decrypted.bytes.data(), in.body, in.bodyLength) != 0) {
        std::abort();
    }
}

// A folder of this process for the files the file transforms need, removed
// with them when the run ends.
const std::string& ScratchFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/zorv-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return pattern;
    }();
    return folder;
}

void RemoveScratchFolder() {
    for (const char* name : {"/in.crp", "/desktop", "/ours"}) {
        unlink((ScratchFolder() + name).c_str());
    }
    rmdir(ScratchFolder().c_str());
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    zorv::FileHandle file;
    std::vector<uint8_t> bytes;
    const int64_t size = file.OpenRegularForRead(path.c_str()) ? file.Size() : -1;
    if (size > 0) {
        bytes.resize(static_cast<size_t>(size));
        if (!file.ReadAt(0, bytes.data(), bytes.size())) {
            std::abort();
        }
    }
    return bytes;
}

// The body as a .crp file, decrypted by DecryptFile and by the parallel
// transform split into ranges of 64 bytes on three threads.
void FuzzParallel(const zorv::FileCipher& cipher, const FuzzInput& in) {
    // The folder first: the removal then runs before its name is destroyed.
    static const int registered = (ScratchFolder(), std::atexit(RemoveScratchFolder));
    (void)registered;
    const std::string crp = ScratchFolder() + "/in.crp";
    const std::string desktop = ScratchFolder() + "/desktop";
    const std::string ours = ScratchFolder() + "/ours";
    unlink(crp.c_str());
    unlink(ours.c_str());
    zorv::FileHandle source, target;
    if (!source.CreateNewPrivate(crp.c_str()) || !source.WriteAt(0, in.body, in.bodyLength)) {
        std::abort();
    }
    source.Close();
    if (!source.OpenRegularForRead(crp.c_str())) {
        std::abort();
    }
    zorv::FileCipher own = cipher;
    const zorv::ResultCode expected = own.DecryptFile(crp.c_str(), desktop.c_str());
    if (!target.CreateNewPrivate(ours.c_str())) {
        std::abort();
    }
    zorv::TransformOptions options;
    options.threads = 3;
    options.minRangeBytes = 64;
    const zorv::ResultCode rc =
        zorv::DecryptToFile(cipher, source, in.bodyLength, &target, options);
    if (rc != expected || (rc == zorv::kResultOk && FileBytes(ours) != FileBytes(desktop))) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in;
    if (!Split(data, size, &in)) {
        return 0;
    }
    static const zorv::FileCipher keyed("fuzz key", 8);
    zorv::FileCipher cipher = keyed;
    FuzzBuffer(cipher, in);
    FuzzStream(cipher, in);
    if (in.bodyLength > 0) {
        FuzzRoundTrip(cipher, in);
    }
    FuzzParallel(keyed, in);
    return 0;
}
