// A minimal PNG writer for test screenshots: 8-bit RGB, no filtering,
// stored (uncompressed) deflate blocks. Portable; no library needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorv {

// The PNG file of a width x height image whose pixels are rgb: rows top-down,
// 3 bytes (R, G, B) per pixel, no row padding. Empty when width or height is
// not positive or rgb is null.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::uint8_t* rgb);

// Writes EncodePng's result to path (ANSI). False when the image is empty or
// the file cannot be written completely.
bool WritePng(const char* path, int width, int height, const std::uint8_t* rgb);

}  // namespace zorv
