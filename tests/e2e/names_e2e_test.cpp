// Names the code page lacks, from start to end: real files named with a yen
// sign, an accent, Hangul, Greek and an emoji, given to zorv.exe directly,
// from the clipboard and inside a folder. A name without an exact ANSI form
// is refused with one line (or, alone on the command line, message 58) and
// no file changes; in particular not the file its ANSI look-alike names.
// And the password characters the code page lacks.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "e2e/decrypt_steps.h"
#include "e2e/encrypt_steps.h"
#include "support/harness.h"
// After <windows.h>, whose names for the system's calls it takes back.
#include "crypto/file_cipher.h"

namespace zorv::e2e {
namespace {

std::wstring Wide(const std::string& ansi) {
    std::wstring wide(ansi.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return wide;
}

bool WriteWide(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return CloseHandle(file) && ok && written == bytes.size();
}

std::string ReadWide(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<unreadable>";
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

// Every file under folder, by its wide path relative to folder, with its
// bytes; folders as "<folder>".
void Snapshot(const std::wstring& folder, const std::wstring& prefix,
              std::map<std::wstring, std::string>* files) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            (*files)[prefix + name] = "<folder>";
            Snapshot(folder + L"\\" + name, prefix + name + L"\\", files);
        } else {
            (*files)[prefix + name] = ReadWide(folder + L"\\" + name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

std::map<std::wstring, std::string> Snapshot(const std::wstring& folder) {
    std::map<std::wstring, std::string> files;
    Snapshot(folder, L"", &files);
    return files;
}

// Message 58 naming name, as code page 932 bytes.
std::string NameRefused(const std::string& name) {
    return TableTextWithPath(IDS_UNHANDLED_NAME, name);
}

// How the name reaches the program.
enum class Way { kDirect, kClipboard, kInFolder };

const char* WayName(Way way) {
    return way == Way::kDirect ? "direct" : way == Way::kClipboard ? "clipboard" : "in folder";
}

struct NameRow {
    const wchar_t* name;     // in folder t of the scenario
    bool folder;             // a folder holding inner.txt, or a file
    const char* shown;       // the ANSI form the log shows
    bool exact;              // the name has an exact form: encrypted as usual
    const wchar_t* besides;  // a file in t that the name's look-alike names
};

// The scenario's folder (its ANSI path): victim.txt, and t holding the
// row's entry and the file its look-alike names. ..\victim.txt is what
// t\..¥victim.txt becomes in ANSI.
std::string MakeNameScenario(const NameRow& row) {
    const std::string folder = MakeScenarioFolder("names");
    const std::wstring root = Wide(folder);
    const std::wstring t = root + L"\\t";
    EXPECT_TRUE(WriteWide(root + L"\\victim.txt", "victim"));
    EXPECT_TRUE(CreateDirectoryW(t.c_str(), nullptr));
    if (row.besides != nullptr) {
        EXPECT_TRUE(WriteWide(t + L"\\" + row.besides, "look-alike"));
    }
    if (row.folder) {
        EXPECT_TRUE(CreateDirectoryW((t + L"\\" + row.name).c_str(), nullptr));
        EXPECT_TRUE(WriteWide(t + L"\\" + row.name + L"\\inner.txt", "inner"));
    } else {
        EXPECT_TRUE(WriteWide(t + L"\\" + row.name, "named"));
    }
    return folder;
}

// Runs the encryption of the row's entry the given way, up to the end of
// the process, and checks what the user sees.
void EncryptNamed(const NameRow& row, Way way, const std::string& folder) {
    const std::wstring t = Wide(folder) + L"\\t";
    const std::wstring exe = L"\"" + Wide(ZorvExe()) + L"\"";
    const std::wstring named = t + L"\\" + row.name;
    ZorvProcess zorv;
    if (way == Way::kDirect) {
        ASSERT_TRUE(zorv.StartCommandLine(exe + L" \"" + named + L"\""));
    } else if (way == Way::kClipboard) {
        ASSERT_TRUE(PutWideFileDropOnClipboard({named}));
        ASSERT_TRUE(zorv.StartCommandLine(exe + L" -e -c"));
    } else {
        ASSERT_TRUE(zorv.StartCommandLine(exe + L" -e \"" + t + L"\""));
    }
    const std::string shownPath = folder + "\\t\\" + row.shown;
    if (way == Way::kDirect && !row.exact) {
        // Alone on the command line: nothing to ask a password for.
        MessageBoxView box = zorv.WaitForMessageBox();
        ASSERT_TRUE(box.IsValid());
        EXPECT_EQ(box.Message(), NameRefused(shownPath));
        EXPECT_STREQ(IconKindName(box.Icon()), IconKindName(IconKind::kError));
        ASSERT_TRUE(box.PressOk());
        EXPECT_TRUE(zorv.WaitForExit());
        return;
    }
    if (way == Way::kDirect && row.folder) {
        DialogView mode = zorv.WaitForDialog({"", {IDC_MODE_ENCRYPT, IDC_MODE_DECRYPT}});
        ASSERT_TRUE(mode.IsValid());
        ASSERT_TRUE(mode.Click(IDC_MODE_ENCRYPT));
    }
    DialogView dialog = zorv.WaitForDialog({EncryptCaption(), {IDC_ENCRYPT_PASSWORD, IDC_LOG}});
    ASSERT_TRUE(dialog.IsValid());
    ASSERT_TRUE(dialog.SetEditText(IDC_ENCRYPT_PASSWORD, std::string(kPassword)));
    ASSERT_TRUE(dialog.SetEditText(IDC_ENCRYPT_CONFIRM, std::string(kPassword)));
    ASSERT_TRUE(dialog.Click(IDOK));
    const bool lookAlikeWalked = way == Way::kInFolder && row.besides != nullptr;
    if (row.exact && !lookAlikeWalked) {
        EXPECT_TRUE(zorv.WaitForExit()) << "a clean batch ends the dialog";
        return;
    }
    // The failure line keeps the dialog open: the close button comes back.
    const std::string close = CloseText();
    for (int i = 0; i < 300 && dialog.Text(IDCANCEL) != close; ++i) {
        Sleep(50);
    }
    ASSERT_EQ(dialog.Text(IDCANCEL), close);
    ExpectedLog log;
    if (!row.exact) {
        log.Fail(shownPath, NameRefused(row.shown));
    }
    if (lookAlikeWalked) {
        // The look-alike is a file of the walked folder like any other: it
        // is encrypted as itself, after the refused line.
        const std::wstring besides = row.besides;
        log.Ok(folder + "\\t\\" + std::string(besides.begin(), besides.end()));
    }
    EXPECT_EQ(dialog.Text(IDC_LOG), log.Text());
    ASSERT_TRUE(dialog.Click(IDCANCEL));
    EXPECT_TRUE(zorv.WaitForExit());
}

TEST(Names, ANameTheCodePageLacksIsRefusedAndNoOtherFileChanges) {
    const NameRow rows[] = {
        {L"..\u00A5victim.txt", false, "..?victim.txt", false, nullptr},
        {L"caf\u00E9.txt", false, "caf?.txt", false, L"cafe.txt"},
        {L"dir_\uD55C\uAD6D", true, "dir_??", false, nullptr},
        {L"\U0001F600.txt", false, "?.txt", false, nullptr},
        // Greek is in code page 932: encrypted like any name.
        {L"\u0391\u03B2\u03B3.txt", false, "\x83\x9F\x83\xC0\x83\xC1.txt", true, nullptr},
    };
    for (const NameRow& row : rows) {
        for (Way way : {Way::kDirect, Way::kClipboard, Way::kInFolder}) {
            SCOPED_TRACE(std::string(row.shown) + ", " + WayName(way));
            const std::string folder = MakeNameScenario(row);
            std::map<std::wstring, std::string> expected = Snapshot(Wide(folder));
            EncryptNamed(row, way, folder);
            const std::map<std::wstring, std::string> after = Snapshot(Wide(folder));
            // What the run encrypts: each is replaced by its .crp file.
            std::vector<std::wstring> encrypted;
            if (row.exact) {
                encrypted.push_back(std::wstring(L"t\\") + row.name);
            }
            if (way == Way::kInFolder && row.besides != nullptr) {
                encrypted.push_back(std::wstring(L"t\\") + row.besides);
            }
            for (const std::wstring& name : encrypted) {
                expected.erase(name);
                const auto crp = after.find(name + L".crp");
                expected[name + L".crp"] = crp != after.end() ? crp->second : "<missing>";
            }
            EXPECT_TRUE(after == expected) << "a file other than the named one changed";
        }
    }
}

// The edit session of one received .crp whose name the code page lacks:
// its look-alike resume.txt.crp beside it would be decrypted, deleted and
// opened instead. The name is refused in the log; no session starts.
TEST(Names, AReceivedCrpWhoseNameTheCodePageLacksIsNeverEdited) {
    const std::string folder = MakeScenarioFolder("names_session");
    ASSERT_TRUE(MakeCrp(folder + "\\resume.txt.crp", "look-alike"));
    ASSERT_TRUE(MakeCrp(folder + "\\received.crp", "received"));
    const std::wstring root = Wide(folder);
    const std::wstring named = root + L"\\r\u00E9sum\u00E9.txt.crp";
    ASSERT_TRUE(MoveFileW((root + L"\\received.crp").c_str(), named.c_str()));
    const std::map<std::wstring, std::string> before = Snapshot(root);
    ASSERT_TRUE(PutWideFileDropOnClipboard({named}));

    DecryptRun run;
    ASSERT_TRUE(run.Start("-c", true));
    ASSERT_TRUE(run.Submit());  // the edit session's choice is left as it is
    ASSERT_TRUE(run.WaitForReview());
    const std::string shown = "r?sum?.txt.crp";
    EXPECT_EQ(run.LogText(), TableText(77) + "\r\n" + folder + "\\" + shown + "\r\n\t->" +
                                 NameRefused(shown) + "\r\n" + TableText(78) + "\r\n");
    EXPECT_TRUE(Snapshot(root) == before) << "a file changed";
    ASSERT_TRUE(run.Dialog().Click(IDCANCEL));
    EXPECT_TRUE(run.Process().WaitForExit());
}

// A password character the code page lacks would key as '?' or a look-alike,
// so that another password opened the file: OK refuses it with message 59
// and touches nothing. The three characters Windows maps itself key as
// their mapped bytes, as they did before.
TEST(Names, PasswordCharactersTheCodePageLacksAreRefused) {
    const std::string folder = MakeScenarioFolder("names_password");
    const std::string source = folder + "\\a.txt";
    ASSERT_TRUE(WriteWholeFile(source, "plain"));
    EncryptRun run;
    ASSERT_TRUE(run.Start(Quote(source)));
    const DialogView& dialog = run.Dialog();
    const std::wstring emoji = L"\U0001F600\U0001F600";
    ASSERT_TRUE(dialog.SetEditText(IDC_ENCRYPT_PASSWORD, emoji));
    ASSERT_TRUE(dialog.SetEditText(IDC_ENCRYPT_CONFIRM, emoji));
    EXPECT_TRUE(dialog.IsEnabled(IDOK)) << "OK says why such a password is refused";
    ASSERT_TRUE(dialog.Click(IDOK));
    MessageBoxView box = run.Process().WaitForMessageBox();
    ASSERT_TRUE(box.IsValid());
    EXPECT_EQ(box.Message(), TableText(IDS_PASSWORD_CHARACTERS));
    EXPECT_STREQ(IconKindName(box.Icon()), IconKindName(IconKind::kWarning));
    ASSERT_TRUE(box.PressOk());
    ASSERT_TRUE(box.WaitUntilClosed());
    EXPECT_EQ(dialog.Text(IDC_ENCRYPT_PASSWORD), "");
    EXPECT_EQ(dialog.Text(IDC_ENCRYPT_CONFIRM), "");
    EXPECT_EQ(ReadFileOrMissing(source), "plain");
    EXPECT_FALSE(FileExists(source + ".crp"));

    const std::wstring mapped = L"a\u00A5b\u203Ec\u2014d";
    ASSERT_TRUE(dialog.SetEditText(IDC_ENCRYPT_PASSWORD, mapped));
    ASSERT_TRUE(dialog.SetEditText(IDC_ENCRYPT_CONFIRM, mapped));
    ASSERT_TRUE(dialog.Click(IDOK));
    ASSERT_TRUE(run.Process().WaitForExit());
    const char key[] =
        "a\x5C"
        "b\x7E"
        "c\x81\x5C"
        "d";
    FileCipher cipher(key, static_cast<int32_t>(sizeof key - 1));
    EXPECT_EQ(cipher.DecryptFile((source + ".crp").c_str(), (folder + "\\plain").c_str()), 0);
    EXPECT_EQ(ReadFileOrMissing(folder + "\\plain"), "plain");
}

}  // namespace
}  // namespace zorv::e2e
