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

// Told how a FileCipher's file transforms advance, on the thread that runs
// them. Called once per piece read (256 KiB at most), so an implementation
// should only count and store, never wait.
class TransformProgress {
public:
    TransformProgress() = default;
    virtual ~TransformProgress() = default;
    TransformProgress(const TransformProgress&) = delete;
    TransformProgress& operator=(const TransformProgress&) = delete;

    // A transform opened sourcePath, of size bytes (more than 0), and is
    // about to read it.
    virtual void OnFileStart(const char* sourcePath, uint64_t size) = 0;
    // bytes more of that source were read.
    virtual void OnBytesRead(uint64_t bytes) = 0;
};

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
    // VanishingFile, say), written from its current position. The results
    // are those above; the target is never closed nor removed, and is left
    // empty when the source is missing, empty or has no buffer.
    ResultCode EncryptFile(const char* sourcePath, FileHandle& target);
    ResultCode DecryptFile(const char* sourcePath, FileHandle& target);

private:
    TransformProgress* progress_ = nullptr;
};

}  // namespace zorv
