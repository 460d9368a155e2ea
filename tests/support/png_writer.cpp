#include "support/png_writer.h"

#include <cstdio>

namespace zorv {
namespace {

using Bytes = std::vector<std::uint8_t>;

void AppendBigEndian32(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const Bytes& data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

// Length, type, data, and the CRC over type and data.
void AppendChunk(Bytes& out, const char* type, const Bytes& data) {
    AppendBigEndian32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    AppendBigEndian32(out, Crc32(out.data() + typeStart, out.size() - typeStart));
}

// A zlib stream holding raw in stored deflate blocks of at most 65535 bytes.
Bytes StoredZlib(const Bytes& raw) {
    Bytes out = {0x78, 0x01};  // deflate, 32 KiB window, no dictionary
    std::size_t offset = 0;
    do {
        const std::size_t length = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
        const bool last = offset + length == raw.size();
        out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored)
        out.push_back(static_cast<std::uint8_t>(length));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length));
        out.push_back(static_cast<std::uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                   raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
        offset += length;
    } while (offset < raw.size());
    AppendBigEndian32(out, Adler32(raw));
    return out;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(int width, int height, const std::uint8_t* rgb) {
    if (width <= 0 || height <= 0 || rgb == nullptr) {
        return {};
    }
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    Bytes raw;
    raw.reserve((w * 3 + 1) * h);
    for (std::size_t y = 0; y < h; ++y) {
        raw.push_back(0);  // filter type: none
        raw.insert(raw.end(), rgb + y * w * 3, rgb + (y + 1) * w * 3);
    }
    Bytes header;
    AppendBigEndian32(header, static_cast<std::uint32_t>(width));
    AppendBigEndian32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", StoredZlib(raw));
    AppendChunk(png, "IEND", {});
    return png;
}

bool WritePng(const char* path, int width, int height, const std::uint8_t* rgb) {
    const Bytes png = EncodePng(width, height, rgb);
    if (png.empty()) {
        return false;
    }
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace zorv
