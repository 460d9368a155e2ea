// ReadClipboardFileList against the real clipboard of the Wine session.
#include "program/clipboard_list.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace zorv {
namespace {

class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        Replace(0, nullptr);
        DestroyWindow(owner_);
    }

    bool Replace(UINT format, const std::string* bytes) {
        if (!OpenClipboard(owner_)) {
            return false;
        }
        bool ok = EmptyClipboard() != 0;
        if (ok && bytes != nullptr) {
            HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes->size());
            std::memcpy(GlobalLock(block), bytes->data(), bytes->size());
            GlobalUnlock(block);
            ok = SetClipboardData(format, block) != nullptr;
        }
        CloseClipboard();
        return ok;
    }

    bool PutDrop(const std::vector<std::string>& names) {
        DROPFILES header{};
        header.pFiles = sizeof header;
        std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
        for (const std::string& name : names) {
            bytes += name + '\0';
        }
        bytes.append(2, '\0');
        return Replace(CF_HDROP, &bytes);
    }

    HWND owner_ = nullptr;
};

DWORD WINAPI ReadOnOtherThread(void* out) {
    *static_cast<FileList*>(out) = ReadClipboardFileList();
    return 0;
}

std::vector<std::string> Items(const FileList& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i) {
        items.push_back(list.Item(i));
    }
    return items;
}

TEST_F(ClipboardTest, FileDropNamesInOrderUnresolved) {
    const std::vector<std::string> names = {"C:\\no such\\report.doc", "d:\\x\\MEMO.crp",
                                            "\x95\x5C\\\x82\xA0.txt", "relative name"};
    ASSERT_TRUE(PutDrop(names));
    FileList list = ReadClipboardFileList();
    ASSERT_TRUE(list.IsValid());
    EXPECT_EQ(Items(list), names);
    std::size_t text = 0;
    for (const std::string& name : names) {
        text += name.size() + 1;
    }
    EXPECT_EQ(list.BlockSize(), names.size() * sizeof(char*) + text);
    EXPECT_EQ(list.Item(0), list.Text());

    // The clipboard keeps its contents.
    FileList again = ReadClipboardFileList();
    EXPECT_EQ(Items(again), names);
}

TEST_F(ClipboardTest, EmptyDropListIsAValidEmptyList) {
    ASSERT_TRUE(PutDrop({}));
    FileList list = ReadClipboardFileList();
    ASSERT_TRUE(list.IsValid());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_NE(list.Items(), nullptr);
}

TEST_F(ClipboardTest, NoFileDropDataGivesNoList) {
    std::string text = "C:\\looks\\like\\a\\path.doc";
    text += '\0';
    ASSERT_TRUE(Replace(CF_TEXT, &text));
    EXPECT_FALSE(ReadClipboardFileList().IsValid());
    ASSERT_TRUE(Replace(0, nullptr));
    EXPECT_FALSE(ReadClipboardFileList().IsValid());
}

TEST_F(ClipboardTest, BusyClipboardGivesNoList) {
    ASSERT_TRUE(PutDrop({"C:\\a.doc"}));
    ASSERT_TRUE(OpenClipboard(owner_));
    // Held open by another thread, the clipboard cannot be opened.
    FileList list;
    HANDLE thread = CreateThread(nullptr, 0, ReadOnOtherThread, &list, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseClipboard();
    EXPECT_FALSE(list.IsValid());
    EXPECT_TRUE(ReadClipboardFileList().IsValid());
}

}  // namespace
}  // namespace zorv
