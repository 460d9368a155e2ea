// The one check every name entering zorv.exe passes: its wide form must
// convert to code page 932 and back exactly, with no best-fit look-alike and
// no default character; and the shown form of a name that fails.
#include "app/exact_name.h"

#include <gtest/gtest.h>

#include <string>

namespace zorv {
namespace {

TEST(ExactName, RoundTripsPassBestFitAndDefaultCharactersFail) {
    ASSERT_EQ(932u, GetACP());
    const struct {
        const wchar_t* name;
        bool exact;
        const char* shown;
    } cases[] = {
        {L"", true, ""},
        {L"report.doc", true, "report.doc"},
        {L"\u30D1\u30B9.txt", true, "\x83\x70\x83\x58.txt"},  // katakana
        {L"\u8868", true, "\x95\x5C"},                        // second byte 0x5C
        {L"\uFF71", true, "\xB1"},                            // half-width katakana
        {L"\u0391\u03B2", true, "\x83\x9F\x83\xC0"},          // Greek is in the code page
        {L"\u2015", true, "\x81\x5C"},                        // the code page's own dash
        // Best fit: a look-alike that is another name.
        {L"caf\u00E9.txt", false, "caf?.txt"},
        {L"..\u00A5victim.txt", false, "..?victim.txt"},
        {L"\u00A6", false, "?"},
        // Default character: nothing in the code page.
        {L"dir_\uD55C\uAD6D", false, "dir_??"},
        {L"\U0001F600.txt", false, "?.txt"},  // a surrogate pair is one character
        {L"a\U000E0041", false, "a?"},        // a tag character
        {L"x\xD800y", false, "x?y"},          // a lone surrogate
        {L"\u301C", false, "?"},              // the other wave dash
    };
    for (const auto& c : cases) {
        const std::wstring name = c.name;
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(HasExactAnsiForm(name.c_str(), -1), c.exact);
        EXPECT_EQ(HasExactAnsiForm(name.c_str(), static_cast<int>(name.size())), c.exact);
        const int length = ToAnsiName(name.c_str(), -1, nullptr, 0);
        EXPECT_EQ(length, static_cast<int>(std::string(c.shown).size()));
        char shown[64];
        ASSERT_EQ(ToAnsiName(name.c_str(), -1, shown, sizeof shown), length);
        EXPECT_EQ(std::string(shown), c.shown);
        EXPECT_EQ(ToAnsiName(name.c_str(), -1, shown, length), -1);  // no room for the NUL
    }
}

}  // namespace
}  // namespace zorv
