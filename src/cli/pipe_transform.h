// The .crp transforms over streams whose length is only known when they end
// (a pipe on standard input). The format allows it: only the last chunk is
// special, so encryption holds back one piece until the input ends, and
// decryption holds back the bytes that may still turn out to be the last
// chunk. The output is byte for byte what EncryptFile and DecryptFile give
// for the same bytes in a file.
#pragma once

#include <cstdint>

#include "crypto/file_cipher.h"
#include "crypto/file_transform.h"
#include "crypto/result_code.h"

namespace zorv {

// Both read source until a Read returns fewer bytes than asked; a short read
// with source.failed set is a failed read (82), without it the end of the
// input. Both start the cipher from FileIv.

// Returns 0; 80 when the input is empty (nothing is written); 72, 82, or 83
// when the sink refuses a write. threaded: encrypting and writing run on a
// thread of their own while this one reads and checksums (for a second
// processor).
ResultCode EncryptUnsized(FileCipher& cipher, ByteSource& source, ByteSink& sink,
                          bool threaded = false);

// Writes the plain bytes as they are decrypted, before the checksum text at
// the end is known. Returns 0 when it matches, 75 when it does not, 80 for
// an empty input, 72, 82, 83.
ResultCode DecryptUnsized(FileCipher& cipher, ByteSource& source, ByteSink& sink);

}  // namespace zorv
