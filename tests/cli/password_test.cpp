// Password sources and the code page 932 key: the same key bytes as the
// desktop program gets from its edit control, or a clear refusal. The rows
// with a wide text check the desktop's entry into the same rule.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cli/password_input.h"
#include "crypto/password_key.h"
#include "support/cli_test_util.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zorv {
namespace {

SecretBuffer Secret(const std::string& text) {
    SecretBuffer buffer;
    buffer.Assign(text.data(), text.size());
    return buffer;
}

std::string Text(const SecretBuffer& buffer) {
    return std::string(buffer.data(), buffer.size());
}

struct KeyCase {
    const char* utf8;
    KeyRefusal refusal;
    const char* cp932;               // expected key bytes when accepted
    const char16_t* wide = nullptr;  // the same text as an edit holds it
};

std::size_t WideLength(const char16_t* text) {
    std::size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

TEST(PasswordToKey, ConvertsToCodePage932OrRefuses) {
    const std::string kanji28 = [] {
        std::string s;
        for (int i = 0; i < 28; ++i)
            s += "\xE6\xBC\xA2";  // 漢, two bytes in code page 932
        return s;
    }();
    const std::string kanji29 = kanji28 + "\xE6\xBC\xA2";
    const std::string ascii57(57, 'a');
    const std::string tags = "\xF3\xA0\x81\x81\xF3\xA0\x81\xBF";  // U+E0041, U+E007F
    const std::string abcTag = "abc\xF3\xA0\x81\x81";
    const KeyCase cases[] = {
        {"secret", KeyRefusal::kNone, "secret", u"secret"},
        // パスワード
        {"\xE3\x83\x91\xE3\x82\xB9\xE3\x83\xAF\xE3\x83\xBC\xE3\x83\x89", KeyRefusal::kNone,
         "\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68", u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
        {"\xCE\x91\xCE\xB2", KeyRefusal::kNone, "\x83\x9F\x83\xC0", u"\u0391\u03B2"},  // Greek
        // The mappings Windows makes itself, which keyed earlier files.
        {"\xC2\xA5", KeyRefusal::kNone, "\x5C", u"\u00A5"},          // yen sign
        {"\xE2\x80\xBE", KeyRefusal::kNone, "\x7E", u"\u203E"},      // overline
        {"\xE2\x80\x94", KeyRefusal::kNone, "\x81\x5C", u"\u2014"},  // em dash
        {"\xE2\x80\x95", KeyRefusal::kNone, "\x81\x5C", u"\u2015"},  // horizontal bar
        {"\xEF\xBD\xB1", KeyRefusal::kNone, "\xB1"},  // half-width katakana A: one byte
        // The wave dash of Japanese systems other than Windows keys as
        // Windows' full-width tilde.
        {"a\xE3\x80\x9C", KeyRefusal::kNone, "a\x81\x60", u"a\u301C"},
        {"a\xEF\xBD\x9E", KeyRefusal::kNone, "a\x81\x60"},
        {"\xE2\x88\x92", KeyRefusal::kNone, "\x81\x7C"},  // minus sign
        {kanji28.c_str(), KeyRefusal::kNone, nullptr},
        {kanji29.c_str(), KeyRefusal::kTooLong, nullptr},
        {ascii57.c_str(), KeyRefusal::kTooLong, nullptr},
        {"", KeyRefusal::kEmpty, nullptr},
        {"caf\xC3\xA9", KeyRefusal::kNotCodePage, nullptr, u"caf\u00E9"},  // é, no look-alike
        {"\xC2\xA6", KeyRefusal::kNotCodePage, nullptr, u"\u00A6"},        // broken bar
        {"\xEA\xB0\x80", KeyRefusal::kNotCodePage, nullptr, u"\uAC00"},    // Hangul
        {"\xF0\x9F\x98\x80", KeyRefusal::kNotCodePage, nullptr, u"\U0001F600"},  // an emoji
        // Tag characters have no bytes at all: never an empty key, never
        // dropped from a longer one.
        {tags.c_str(), KeyRefusal::kNotCodePage, nullptr, u"\U000E0041\U000E007F"},
        {abcTag.c_str(), KeyRefusal::kNotCodePage, nullptr, u"abc\U000E0041"},
        {"\xC3", KeyRefusal::kNotUtf8, nullptr},          // cut sequence
        {"\xC0\xAF", KeyRefusal::kNotUtf8, nullptr},      // overlong '/'
        {"\xED\xA0\x80", KeyRefusal::kNotUtf8, nullptr},  // a surrogate
    };
    for (const KeyCase& c : cases) {
        SecretBuffer key;
        key.Assign("left over", 9);
        EXPECT_EQ(PasswordToKey(Secret(c.utf8), &key), c.refusal) << c.utf8;
        if (c.refusal != KeyRefusal::kNone) {
            EXPECT_TRUE(key.empty()) << c.utf8;
        } else if (c.cp932 != nullptr) {
            EXPECT_EQ(Text(key), c.cp932) << c.utf8;
        } else {
            EXPECT_EQ(key.size(), kMaxKeyBytes);
        }
        if (c.wide != nullptr) {
            SecretBuffer wideKey;
            wideKey.Assign("left over", 9);
            EXPECT_EQ(WidePasswordToKey(c.wide, WideLength(c.wide), &wideKey), c.refusal) << c.utf8;
            EXPECT_EQ(Text(wideKey), Text(key)) << c.utf8;
        }
    }
    // The desktop's edit holds up to 56 characters: beyond 56 bytes its key
    // is the first 56 bytes, as its ANSI text was, even half a character.
    const std::u16string kanji29Wide(29, u'\u6F22');
    SecretBuffer key;
    EXPECT_EQ(WidePasswordToKey(kanji29Wide.data(), kanji29Wide.size(), &key),
              KeyRefusal::kTooLong);
    EXPECT_EQ(key.size(), 56u);
    const std::u16string oddLength = u"a" + std::u16string(28, u'\u6F22');
    EXPECT_EQ(WidePasswordToKey(oddLength.data(), oddLength.size(), &key), KeyRefusal::kTooLong);
    std::string cut = "a";
    for (int i = 0; i < 27; ++i) {
        cut += "\x8A\xBF";
    }
    EXPECT_EQ(Text(key), cut + "\x8A");
}

#ifdef _WIN32
int MakePipe(int ends[2]) {
    return _pipe(ends, 4096, _O_BINARY);
}
int WriteEnd(int fd, const std::string& s) {
    return _write(fd, s.data(), static_cast<unsigned>(s.size()));
}
void CloseEnd(int fd) {
    _close(fd);
}
#else
int MakePipe(int ends[2]) {
    return pipe(ends);
}
int WriteEnd(int fd, const std::string& s) {
    return static_cast<int>(write(fd, s.data(), s.size()));
}
void CloseEnd(int fd) {
    close(fd);
}
#endif

TEST(PasswordInput, ReadsOneLineAtATimeFromADescriptor) {
    int ends[2];
    ASSERT_EQ(MakePipe(ends), 0);
    WriteEnd(ends[1],
             "\xEF\xBB\xBF"
             "first\r\nsecond\nlast");
    CloseEnd(ends[1]);
    SecretBuffer line;
    for (const char* expected : {"first", "second", "last", ""}) {
        ASSERT_EQ(ReadPasswordFromDescriptor(ends[0], &line), PasswordStatus::kOk);
        EXPECT_EQ(Text(line), expected);
    }
    CloseEnd(ends[0]);
}

TEST(PasswordInput, RefusesALineLongerThanTheBufferAndAMissingFile) {
    test::ScratchFolder folder;
    std::string path = folder / "password";
    ASSERT_TRUE(test::WriteText(path, std::string(SecretBuffer::kCapacity, 'x') + "\n"));
    SecretBuffer line;
    EXPECT_EQ(ReadPasswordFromFile(path.c_str(), &line), PasswordStatus::kOk);
    EXPECT_EQ(line.size(), SecretBuffer::kCapacity);
    ASSERT_TRUE(test::WriteText(path, std::string(SecretBuffer::kCapacity + 1, 'x')));
    EXPECT_EQ(ReadPasswordFromFile(path.c_str(), &line), PasswordStatus::kTooLong);
    EXPECT_TRUE(line.empty());
    EXPECT_EQ(ReadPasswordFromFile((folder / "missing").c_str(), &line),
              PasswordStatus::kReadFailed);
}

}  // namespace
}  // namespace zorv
