#include "decrypt/reencrypt_session_files.h"

#include <cstring>

#include "app/path_utils.h"
#include "batch/batch_steps.h"
#include "crypto/file_handle.h"
#include "crypto/file_transform.h"
#include "crypto/secure_zero.h"
#include "decrypt/file_replace.h"

namespace zorv {
namespace {

// Has the system create a new, empty, uniquely named file crpXXXX.tmp in the
// folder of path and writes its name into temp (kMaxPath bytes). The folder
// is taken from the full path, cut after its last separator, so that a drive
// root stays "C:\" rather than "C:" (the drive's current folder).
bool MakeTempFileBeside(const char* path, char* temp) {
    char folder[kMaxPath] = {};
    const DWORD length = GetFullPathNameA(path, kMaxPath, folder, nullptr);
    if (length == 0 || length >= kMaxPath) {
        return false;
    }
    char* name = GetFileNamePart(folder);
    if (name == folder) {
        return false;
    }
    *name = '\0';
    return GetTempFileNameA(folder, "crp", 0, temp) != 0;
}

// Takes the decrypted plain text and compares it with the next bytes of the
// working copy. A difference ends the decryption early (as a failed write).
class ComparingSink : public ByteSink {
public:
    explicit ComparingSink(FileHandle& copy) : copy_(copy) {}
    ~ComparingSink() override { SecureZero(piece_, sizeof piece_); }
    ComparingSink(const ComparingSink&) = delete;
    ComparingSink& operator=(const ComparingSink&) = delete;

    bool Write(const uint8_t* data, size_t n) override {
        while (n > 0) {
            const size_t size = n < sizeof piece_ ? n : sizeof piece_;
            if (copy_.Read(piece_, size) != size || std::memcmp(piece_, data, size) != 0) {
                return false;
            }
            data += size;
            n -= size;
            compared_ += size;
        }
        return true;
    }

    uint64_t Compared() const { return compared_; }

private:
    FileHandle& copy_;
    uint64_t compared_ = 0;
    uint8_t piece_[64 * 1024];  // plain text of the copy: cleared when done
};

}  // namespace

ResultCode ReplaceEncryptedFile(FileCipher& cipher, const char* workingCopy,
                                const char* encryptedPath) {
    // A write that fails half-way (a full disk) must not leave a truncated
    // .crp, which would later read as a wrong password, and the move must not
    // reach the disk before the cipher text it names: the working copy is
    // wiped right after, flushing each overwrite.
    char temp[kMaxPath] = {};
    if (!MakeTempFileBeside(encryptedPath, temp)) {
        return kResultOpenFailed;
    }
    ResultCode rc = cipher.EncryptFile(workingCopy, temp);
    if (rc == kResultOk && !(FlushToDisk(temp) && ReplaceWithFile(temp, encryptedPath))) {
        rc = kResultWriteFailed;
    }
    if (rc != kResultOk) {
        // It holds cipher text at most: an ordinary delete will do.
        DeleteFileA(temp);
    }
    return rc;
}

bool MatchesEncryptedFile(FileCipher& cipher, const char* workingCopy, const char* encryptedPath) {
    FileHandle encrypted;
    FileHandle copy;
    if (!encrypted.OpenForRead(encryptedPath) || !copy.OpenForRead(workingCopy)) {
        return false;
    }
    const int64_t size = encrypted.Size();
    if (size < 0) {
        return false;
    }
    FileSource source(encrypted);
    ComparingSink sink(copy);
    if (DecryptStream(cipher, source, static_cast<uint64_t>(size), sink) != kResultOk) {
        return false;
    }
    // Equal so far; the copy must also end where the plain text does.
    return copy.Size() == static_cast<int64_t>(sink.Compared());
}

bool OpensEncryptedFile(FileCipher& cipher, const char* encryptedPath) {
    FileHandle encrypted;
    if (!encrypted.OpenForRead(encryptedPath)) {
        return true;
    }
    const int64_t size = encrypted.Size();
    FileSource source(encrypted);
    DiscardSink nowhere;
    return size < 0 || DecryptStream(cipher, source, static_cast<uint64_t>(size), nowhere) !=
                           kResultWrongPassword;
}

}  // namespace zorv
