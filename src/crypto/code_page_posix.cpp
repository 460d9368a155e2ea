// Code page 932 through iconv (glibc's and libiconv's "CP932" follow the
// Windows table).
#include <iconv.h>

#include <cstdint>

#include "crypto/code_page_backend.h"
#include "crypto/secure_zero.h"

namespace zorv {
namespace backend {
namespace {

// Converts in (inLength bytes) from one encoding to another into out
// (outRoom bytes); the number of bytes written, or 0 when iconv fails or
// leaves input unconverted.
std::size_t Convert(const char* to, const char* from, const char* in, std::size_t inLength,
                    char* out, std::size_t outRoom) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return 0;
    }
    char* input = const_cast<char*>(in);  // iconv's signature; it does not write
    std::size_t inLeft = inLength;
    char* output = out;
    std::size_t outLeft = outRoom;
    const std::size_t converted = iconv(converter, &input, &inLeft, &output, &outLeft);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1) || inLeft != 0) {
        return 0;
    }
    return outRoom - outLeft;
}

}  // namespace

std::size_t EncodeCp932(char32_t c, unsigned char out[2]) {
    // A password's characters pass through here: the copies are cleared.
    char units[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                     static_cast<char>((c >> 16) & 0xFF), static_cast<char>(c >> 24)};
    char bytes[8];
    std::size_t length = Convert("CP932", "UTF-32LE", units, sizeof units, bytes, sizeof bytes);
    if (length > 2) {
        length = 0;
    }
    if (length != 0) {
        out[0] = static_cast<unsigned char>(bytes[0]);
        out[1] = static_cast<unsigned char>(length == 2 ? bytes[1] : 0);
    }
    SecureZero(units, sizeof units);
    SecureZero(bytes, sizeof bytes);
    return length;
}

char32_t DecodeCp932(const unsigned char* bytes, std::size_t length) {
    unsigned char units[8];
    const std::size_t size = Convert("UTF-32LE", "CP932", reinterpret_cast<const char*>(bytes),
                                     length, reinterpret_cast<char*>(units), sizeof units);
    const char32_t c = size != 4 ? 0
                                 : static_cast<char32_t>(units[0]) |
                                       static_cast<char32_t>(units[1]) << 8 |
                                       static_cast<char32_t>(units[2]) << 16 |
                                       static_cast<char32_t>(units[3]) << 24;
    SecureZero(units, sizeof units);
    return c;
}

}  // namespace backend
}  // namespace zorv
