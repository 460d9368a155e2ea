// The Win32 handle owners: each closes its handle once, and a move hands it
// over, whichever value means "none" for its kind.
#include "app/win32_handles.h"

#include <gtest/gtest.h>

#include <utility>

namespace zorv {
namespace {

TEST(ScopedHandleTest, ClosesOnceAndMovesOwnership) {
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    HANDLE duplicate = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), raw, GetCurrentProcess(), &duplicate, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    {
        ScopedHandle first(raw);
        ScopedHandle second(std::move(first));
        EXPECT_FALSE(first.IsValid());
        EXPECT_EQ(second.Get(), raw);
        ScopedHandle third;
        third = std::move(second);
        EXPECT_EQ(third.Get(), raw);
        EXPECT_FALSE(second.IsValid());
    }
    // The object is still alive through the duplicate; the original handle
    // value no longer names it.
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
    EXPECT_TRUE(SetEvent(duplicate));
    CloseHandle(duplicate);
}

TEST(ScopedFindHandleTest, MovesOwnership) {
    WIN32_FIND_DATAA entry;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ScopedFindHandle first(FindFirstFileA(self, &entry));
    ASSERT_TRUE(first.IsValid());
    ScopedFindHandle second(std::move(first));
    EXPECT_FALSE(first.IsValid());
    EXPECT_TRUE(second.IsValid());
    second = ScopedFindHandle();
    EXPECT_FALSE(second.IsValid());
}

}  // namespace
}  // namespace zorv
