// The PNG writer checked against zlib: every chunk CRC and the inflated
// image data, over sizes that put the data in one and in several stored
// blocks.
#include "support/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

namespace zorv {
namespace {

std::uint32_t ReadBigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

TEST(PngWriterTest, ChunksAndImageDataAreWhatZlibReads) {
    const struct {
        int width;
        int height;
    } sizes[] = {{1, 1}, {7, 3}, {300, 100}, {200, 400}};  // the last two need several blocks
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.width);
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(size.width * size.height * 3));
        for (std::size_t i = 0; i < rgb.size(); ++i) {
            rgb[i] = static_cast<std::uint8_t>(i * 7 + i / 5);
        }
        const std::vector<std::uint8_t> png = EncodePng(size.width, size.height, rgb.data());
        ASSERT_GT(png.size(), 8u);
        ASSERT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));

        std::vector<std::uint8_t> zlibData;
        std::vector<std::string> types;
        for (std::size_t at = 8; at < png.size();) {
            const std::uint32_t length = ReadBigEndian32(&png[at]);
            ASSERT_LE(at + 12 + length, png.size());
            const std::uint8_t* type = &png[at + 4];
            types.emplace_back(reinterpret_cast<const char*>(type), 4);
            const uLong crc = crc32(0L, type, static_cast<uInt>(length + 4));
            EXPECT_EQ(crc, ReadBigEndian32(type + 4 + length)) << types.back();
            if (types.back() == "IHDR") {
                EXPECT_EQ(static_cast<std::uint32_t>(size.width), ReadBigEndian32(type + 4));
                EXPECT_EQ(static_cast<std::uint32_t>(size.height), ReadBigEndian32(type + 8));
            }
            if (types.back() == "IDAT") {
                zlibData.insert(zlibData.end(), type + 4, type + 4 + length);
            }
            at += 12 + length;
        }
        EXPECT_EQ((std::vector<std::string>{"IHDR", "IDAT", "IEND"}), types);

        const std::size_t rowBytes = static_cast<std::size_t>(size.width) * 3 + 1;
        std::vector<std::uint8_t> raw(rowBytes * static_cast<std::size_t>(size.height) + 1);
        uLongf rawLength = static_cast<uLongf>(raw.size());
        ASSERT_EQ(Z_OK, uncompress(raw.data(), &rawLength, zlibData.data(),
                                   static_cast<uLong>(zlibData.size())));
        ASSERT_EQ(raw.size() - 1, rawLength);
        for (int y = 0; y < size.height; ++y) {
            const std::uint8_t* row = &raw[static_cast<std::size_t>(y) * rowBytes];
            EXPECT_EQ(0, row[0]);
            EXPECT_EQ(0, std::memcmp(row + 1, &rgb[static_cast<std::size_t>(y * size.width * 3)],
                                     rowBytes - 1));
        }
    }
}

TEST(PngWriterTest, EmptyImagesAreRefused) {
    const std::uint8_t pixel[3] = {1, 2, 3};
    EXPECT_TRUE(EncodePng(0, 1, pixel).empty());
    EXPECT_TRUE(EncodePng(1, -1, pixel).empty());
    EXPECT_TRUE(EncodePng(1, 1, nullptr).empty());
    EXPECT_FALSE(WritePng("unused.png", 0, 0, pixel));
}

}  // namespace
}  // namespace zorv
