// FileCipher: the cipher of one batch, keyed with the password bytes and
// started from FileIv, with the transforms between a plain file and its .crp
// file.
//
// The .crp format is the CFB-64 encryption, from FileIv, of
//   plain bytes (S >= 1) | CRC-32 of them as "%08lX" (8 upper-case hex digits)
//   | 7 - S % 8 zero bytes | the digit '0' + (8 - S % 8)
// so a .crp file has 8 * floor(S / 8) + 16 bytes; nothing else is stored.
#pragma once

#include <cstdint>

#include "crypto/cfb_cipher.h"
#include "crypto/result_code.h"

// <windows.h> maps EncryptFile and DecryptFile onto the system's own file
// encryption calls. Undo that here so the transforms keep their names in every
// file that includes <windows.h> first; files that include it later must not
// call the transforms after it.
#ifdef EncryptFile
#undef EncryptFile
#endif
#ifdef DecryptFile
#undef DecryptFile
#endif

namespace zorv {

// Told how a FileCipher's file transforms advance. Called once per piece
// (256 KiB at most), so an implementation should only count and store, never
// wait. OnFileStart comes on the thread that runs the transform; OnBytesRead
// comes from several threads at once when a file runs on the parallel
// transform (SetThreads), so it must count safely.
class TransformProgress {
public:
    TransformProgress() = default;
    virtual ~TransformProgress() = default;
    TransformProgress(const TransformProgress&) = delete;
    TransformProgress& operator=(const TransformProgress&) = delete;

    // A transform opened sourcePath, of size bytes (more than 0), and is
    // about to read it.
    virtual void OnFileStart(const char* sourcePath, uint64_t size) = 0;
    // bytes more of that source were read (the parallel transform: were
    // transformed). Over a whole transform they add up to the size.
    virtual void OnBytesRead(uint64_t bytes) = 0;
};

// A source of at least this many bytes runs on the parallel transform when
// the cipher may use several threads: twice the range below which the
// parallel decryption splits off no range (TransformOptions), so it is the
// smallest file that decryption splits in two, and a file whose threads cost
// a few hundredths of its time.
constexpr uint64_t kParallelFileBytes = 8 * 1024 * 1024;

class FileHandle;

class FileCipher : public CfbCipher {
public:
    // key: the password bytes as typed (ANSI code page), 1 to 56 of them.
    FileCipher(const void* key, int32_t keyLength);
    // Copies carry the key schedule: each job of a parallel run gets its own.
    FileCipher(const FileCipher&) = default;
    FileCipher& operator=(const FileCipher&) = default;
    ~FileCipher() override;

    // Where EncryptFile and DecryptFile report their progress from now on
    // (borrowed; null: nowhere, as after construction). Copies share it.
    void SetProgress(TransformProgress* progress) { progress_ = progress; }

    // How many threads the file transforms into a held target may use from
    // now on (1, as after construction: the serial transform). Above 1, a
    // source of at least parallelBytes runs on the parallel transform with
    // that many threads, decryption splitting it into ranges of at least
    // half parallelBytes (tests lower it). Copies carry the setting.
    void SetThreads(unsigned threads, uint64_t parallelBytes = kParallelFileBytes) {
        threads_ = threads;
        parallelBytes_ = parallelBytes;
    }
    unsigned Threads() const { return static_cast<unsigned>(threads_); }

    // Encrypts sourcePath into targetPath (created or truncated), then gives
    // the target the source's times. Returns
    //   0  done;
    //   70 the source cannot be opened or the target created (no target made
    //      when the source fails), or the target names the source itself
    //      (both left as they were);
    //   72 no memory for the chunk buffer (no target made);
    //   80 the source is empty (no target made);
    //   82 a read failed or came up short; 83 a write failed;
    //   85 the source's size or last-write time, read again on the open
    //      source once all is written, differs from the start (someone wrote
    //      to it meanwhile): the target misses or mixes what was written.
    // On 82/83/85 the target holds an incomplete or stale cipher text; the
    // transform never deletes it (callers destroy their temporary targets).
    ResultCode EncryptFile(const char* sourcePath, const char* targetPath);

    // Decrypts sourcePath into targetPath. Returns 0 when the stored checksum
    // text matches the decrypted bytes, 75 when it does not (wrong password,
    // damaged file, or one with no room for the checksum), and 70, 72, 80, 82,
    // 83 as EncryptFile. On 75 the target holds the wrongly decrypted bytes.
    ResultCode DecryptFile(const char* sourcePath, const char* targetPath);

    // The same transforms into a target the caller has open for writing (a
    // VanishingFile, say), written from its current position, or from its
    // offset 0 when the parallel transform runs (SetThreads; a new target's
    // position either way). The results are those above, the same bytes and
    // results on either transform; the target is never closed nor removed,
    // and is left empty when the source is missing, empty or has no buffer
    // (the parallel decryption: unless only some of its ranges get one).
    ResultCode EncryptFile(const char* sourcePath, FileHandle& target);
    ResultCode DecryptFile(const char* sourcePath, FileHandle& target);

private:
    TransformProgress* progress_ = nullptr;
    uint64_t threads_ = 1;  // as wide as the next: no padding left uncleared
    uint64_t parallelBytes_ = kParallelFileBytes;
};

}  // namespace zorv
