#include "e2e/png_file.h"

#include "e2e/harness.h"

namespace zorv::e2e {
namespace {

std::uint32_t Crc32(const std::string& bytes, size_t from) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void PutBigEndian32(std::string* out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

void PutChunk(std::string* out, const char* type, const std::string& data) {
    PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
    size_t start = out->size();
    *out += type;
    *out += data;
    PutBigEndian32(out, Crc32(*out, start));
}

// zlib stream of stored blocks (at most 65535 bytes each) with its Adler-32.
std::string StoredZlib(const std::string& raw) {
    std::string out("\x78\x01", 2);
    size_t offset = 0;
    do {
        size_t length = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
        bool last = offset + length == raw.size();
        out.push_back(last ? '\x01' : '\x00');
        out.push_back(static_cast<char>(length & 0xFF));
        out.push_back(static_cast<char>(length >> 8));
        out.push_back(static_cast<char>(~length & 0xFF));
        out.push_back(static_cast<char>((~length >> 8) & 0xFF));
        out.append(raw, offset, length);
        offset += length;
    } while (offset < raw.size());
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (char c : raw) {
        a = (a + static_cast<unsigned char>(c)) % 65521u;
        b = (b + a) % 65521u;
    }
    PutBigEndian32(&out, (b << 16) | a);
    return out;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height,
              const std::vector<std::uint32_t>& pixels) {
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return false;
    }
    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % static_cast<size_t>(width) == 0) {
            raw.push_back('\0');  // filter type: none
        }
        raw.push_back(static_cast<char>((pixels[i] >> 16) & 0xFF));
        raw.push_back(static_cast<char>((pixels[i] >> 8) & 0xFF));
        raw.push_back(static_cast<char>(pixels[i] & 0xFF));
    }
    std::string header;
    PutBigEndian32(&header, static_cast<std::uint32_t>(width));
    PutBigEndian32(&header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
    std::string file("\x89PNG\r\n\x1a\n", 8);
    PutChunk(&file, "IHDR", header);
    PutChunk(&file, "IDAT", StoredZlib(raw));
    PutChunk(&file, "IEND", std::string());
    return WriteWholeFile(path, file);
}

}  // namespace zorv::e2e
