// The Windows tests assume the environment Zorv is built for: a Japanese
// system whose ANSI code page is 932. Everything double-byte depends on it.
#include <windows.h>

#include <gtest/gtest.h>

TEST(Platform, AnsiCodePageIsJapanese) {
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_TRUE(IsDBCSLeadByte(0x95));
    EXPECT_FALSE(IsDBCSLeadByte('\\'));
}
