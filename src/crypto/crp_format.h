// The rules of the .crp format that every transform follows, whether it
// reads a file, a pipe or ranges of a file on several threads: the chunk
// grid, the last chunk, the checksum text and the room for the pad (the
// layout itself is described in file_cipher.h). A transform may move the
// bytes in any pieces of whole 8-byte groups; only these rules decide where
// decryption looks for the checksum text and what it compares.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/file_cipher.h"

namespace zorv {

// Decryption splits a .crp file into chunks of this many bytes; the last one
// holds the checksum text and the pad.
constexpr size_t kCrpChunkBytes = 4096;
// The checksum text: the CRC-32 of the plain bytes as "%08lX".
constexpr size_t kCrcTextBytes = 8;
// The longest last chunk: a whole chunk and a final stretch of 8 bytes.
constexpr size_t kLongestLastChunk = kCrpChunkBytes + kCrcTextBytes;
// What encryption adds after the last plain byte, at most: the checksum text
// and a whole pad block. A buffer for the last piece needs this much room.
constexpr size_t kCrpTrailerBytes = kCrcTextBytes + 8;

// The transforms read and write in pieces of this many bytes (the last piece
// of a stream may be shorter, or up to 4104 bytes when decrypting); their one
// buffer holds at most this much (small inputs get a smaller one). Any
// multiple of 4096 gives the same output; tests use it to place faults
// between pieces.
constexpr size_t kTransformChunkBytes = 64 * kCrpChunkBytes;

// The size of the last chunk of a .crp file of `size` bytes: up to 4104
// bytes, since a final stretch of 8 bytes past a chunk boundary joins the
// chunk before it. 0 for a file of 8 bytes, which has no last chunk at all
// (and so no room for the checksum text and the pad).
uint64_t LastChunkBytes(uint64_t size);

// Writes the checksum text of crc to text: eight upper-case hexadecimal
// digits, no terminator.
void FormatCrcText(uint32_t crc, uint8_t* text);

// Decrypts the last chunk (n bytes, from the cipher's current register) in
// place and removes the pad. True when the unpadded chunk has room for the
// checksum text: *plain is then the number of plain bytes before it. False
// for a wrong password or a damaged file; *plain is then 0.
bool OpenLastChunk(FileCipher& cipher, uint8_t* chunk, size_t n, size_t* plain);

// Whether the kCrcTextBytes at text are the checksum text of crc.
// Case-sensitive: a lower-case text from another producer does not match.
// The expected text, a checksum of the plain text, is cleared before this
// returns.
bool CrcTextMatches(uint32_t crc, const uint8_t* text);

}  // namespace zorv
