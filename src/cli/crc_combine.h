// Joins the CRC-32 values of two consecutive pieces of data into the CRC-32
// of the whole, so that threads can checksum separate ranges of one file.
#pragma once

#include <cstdint>

namespace zorv {

// crcA: CRC-32 of piece A; crcB: CRC-32 of piece B, which has lengthB bytes.
// Returns the CRC-32 of A followed by B (the standard CRC-32 of Crc32).
std::uint32_t Crc32Combine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB);

}  // namespace zorv
