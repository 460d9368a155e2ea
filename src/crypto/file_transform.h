// The .crp transforms at stream level: what EncryptFile and DecryptFile do
// between two files, over any source of bytes and any destination, in three
// forms that give the same bytes and the same results:
//   - serial (EncryptStream, DecryptStream): a source of known size, read in
//     order on the calling thread; the desktop program's files, and
//     zorv-cli's files sent to standard output;
//   - unsized (EncryptUnsized, DecryptUnsized): a source whose length is
//     known only when it ends (a pipe on standard input);
//   - parallel (EncryptToFile, DecryptToFile): files read and written at
//     offsets, over several threads.
//
// The contract they share: each starts the cipher from FileIv and writes
// exactly the .crp format's bytes (crp_format.h; docs/crp-vectors.txt).
// Results: 0 done; 80 an empty input (nothing is written); 72 no memory for
// a chunk buffer (nothing is written); 82 a read failed, or the input ended
// before the size given; 83 a write failed; decryption also 75 when the
// stored checksum text does not match the plain bytes or the input has no
// room for it (sizes 1 to 8 among others). After 75 the destination has
// received the wrongly decrypted bytes; after 82 or 83 part of the output.
// Memory: a few chunk buffers, whatever the size.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "crypto/crp_format.h"  // kTransformChunkBytes
#include "crypto/file_cipher.h"
#include "crypto/file_handle.h"
#include "crypto/positional_file.h"
#include "crypto/result_code.h"

namespace zorv {

// Where a transform reads its input.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to n bytes into buffer and returns how many arrived. It returns
    // fewer than n only at the end of the data or on failure; the transforms
    // know how many bytes to expect, so either is a failed read (82) when more
    // was expected. Set `failed` on an error to let callers tell them apart.
    virtual size_t Read(uint8_t* buffer, size_t n) = 0;
    bool failed = false;
};

// Where a transform writes its output.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all n bytes; false when they could not all be written (83).
    virtual bool Write(const uint8_t* data, size_t n) = 0;
};

// Accepts everything and keeps nothing: decrypting into it checks a password
// without putting plain text anywhere.
class DiscardSink : public ByteSink {
public:
    bool Write(const uint8_t*, size_t) override { return true; }
};

// Adapters over an open FileHandle, which stays owned by the caller.
class FileSource : public ByteSource {
public:
    explicit FileSource(FileHandle& file) : file_(file) {}
    size_t Read(uint8_t* buffer, size_t n) override;

private:
    FileHandle& file_;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(FileHandle& file) : file_(file) {}
    bool Write(const uint8_t* data, size_t n) override;

private:
    FileHandle& file_;
};

struct TransformOptions {
    // Processors this file may use: decryption ranges at once; encryption
    // runs its stages on threads of their own when above 1.
    unsigned threads = 1;
    // Decryption: no range is split off below this size (a thread costs more
    // than it saves on less). Tests lower it to split small files.
    uint64_t minRangeBytes = 4 * 1024 * 1024;
    std::atomic<uint64_t>* progress = nullptr;  // source bytes done, if set
    // Told of the same bytes, if set, from any of the run's threads at once.
    TransformProgress* report = nullptr;
    // Polled before every piece, if set: true ends the run with -1
    // (kResultInterrupted).
    bool (*interrupted)() = nullptr;
};

// Serial. Encrypts exactly `size` bytes of source into sink; fewer is 82.
ResultCode EncryptStream(FileCipher& cipher, ByteSource& source, uint64_t size, ByteSink& sink);
// Decrypts exactly `size` bytes of .crp cipher text from source, writing the
// plain bytes (without checksum text and pad) to sink.
ResultCode DecryptStream(FileCipher& cipher, ByteSource& source, uint64_t size, ByteSink& sink);

// Unsized. Both read source until a Read returns fewer bytes than asked; a
// short read with source.failed set is a failed read (82), without it the
// end of the input. Encryption holds back one piece until the input ends,
// since only the last gets the checksum text and the pad; threaded:
// encrypting and writing run on a thread of their own while this one reads
// and checksums (for a second processor).
ResultCode EncryptUnsized(FileCipher& cipher, ByteSource& source, ByteSink& sink,
                          bool threaded = false);
// Writes the plain bytes as they are decrypted, holding back only the bytes
// that may still turn out to be the last chunk.
ResultCode DecryptUnsized(FileCipher& cipher, ByteSource& source, ByteSink& sink);

// Parallel. Encryption is one chain of dependent blocks (each needs the
// cipher text before it), so it cannot be split; instead, when
// options.threads is above 1, reading and checksumming, encrypting, and
// writing run on three threads over a small ring of buffers. Decryption
// blocks are independent (plain block t is cipher block t XOR the encrypted
// cipher block t - 1), so the body is split into ranges, each decrypted by
// its own thread from the cipher block before it and checksummed on its
// own, and the checksums are joined (Crc32Combine). Both also return -1
// when options.interrupted says so. The target's times are not touched.
//
// Encrypts size bytes of source into target, from offset 0 of each.
ResultCode EncryptToFile(const FileCipher& cipher, const PositionalFile& source, uint64_t size,
                         const PositionalFile& target, const TransformOptions& options);
// Decrypts size bytes of source into target, or checks them only when
// target is null (nothing is written anywhere). On a failure the target
// holds an unspecified part of the plain text: the caller destroys it.
ResultCode DecryptToFile(const FileCipher& cipher, const PositionalFile& source, uint64_t size,
                         const PositionalFile* target, const TransformOptions& options);

}  // namespace zorv
