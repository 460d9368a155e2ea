// The .crp transforms at stream level: what EncryptFile and DecryptFile do
// between two files, over any source of bytes and any destination. The
// command-line companion drives them with standard input and output, or with
// a sink that discards plain text to check a password without writing it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/crp_format.h"  // kTransformChunkBytes
#include "crypto/file_cipher.h"
#include "crypto/file_handle.h"
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

// Encrypts exactly `size` bytes of source into the .crp format on sink,
// starting the cipher from FileIv. Returns 0; 80 when size is 0 (nothing is
// written); 72 when the chunk buffer cannot be allocated; 82 when the source
// delivers fewer than `size` bytes; 83 when the sink refuses a write. Memory:
// one chunk buffer, whatever the size.
ResultCode EncryptStream(FileCipher& cipher, ByteSource& source, uint64_t size, ByteSink& sink);

// Decrypts exactly `size` bytes of .crp cipher text from source, writing the
// plain bytes (without checksum text and pad) to sink. Returns 0 when the
// stored checksum text matches, 75 when it does not or the input has no room
// for it (sizes 1 to 8 among others), 80 for size 0, and 72, 82, 83 as
// EncryptStream. On 75 the sink has received the wrongly decrypted bytes.
ResultCode DecryptStream(FileCipher& cipher, ByteSource& source, uint64_t size, ByteSink& sink);

}  // namespace zorv
