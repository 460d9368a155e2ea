// Minimal PNG output for the harness's screenshots: 8-bit RGB, stored
// (uncompressed) deflate blocks. Big files, but no dependency.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorv::e2e {

// Writes width x height pixels (top row first, 0x00RRGGBB) to a PNG file at
// the Windows path. False when the file cannot be written.
bool WritePng(const std::string& path, int width, int height,
              const std::vector<std::uint32_t>& pixels);

}  // namespace zorv::e2e
