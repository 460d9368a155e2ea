// The settings record and zorv.ini, through the platform's private-profile
// functions under Wine.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/file_system.h"
#include "app/ini_file.h"
#include "app/module_instance.h"
#include "app/path_utils.h"
#include "app/session_record.h"
#include "support/cp932.h"
#include "support/win32_test_support.h"

namespace zorv {
namespace {

// The non-empty lines of a file written with CR LF line ends.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty()) {
                lines.push_back(line);
            }
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { g_settings = Settings(); }
    std::string IniPath() const { return folder_.Join("zorv.ini"); }
    TempFolder folder_;
};

TEST_F(SettingsTest, WithoutAFileEverySettingHasItsDefault) {
    LoadSettingsFrom(IniPath().c_str());
    EXPECT_EQ(1, g_settings.minimumChars);
    EXPECT_TRUE(g_settings.useTempDir);
    EXPECT_FALSE(g_settings.rememberLast);
    EXPECT_EQ(kLastModeNone, g_settings.lastMode);
}

TEST_F(SettingsTest, ValuesAsTheFileHoldsThem) {
    const struct {
        const char* lines;
        int minimumChars;
        bool useTempDir;
        bool rememberLast;
        int lastMode;
    } cases[] = {
        {"UseTempDir=TRUE", 1, true, false, 0},
        {"UseTempDir=1", 1, false, false, 0},
        {"UseTempDir=", 1, true, false, 0},
        {"UseTempDir=false\r\nRememberLast=True", 1, false, true, 0},
        {"RememberLast=yes", 1, true, false, 0},
        {"LastMode=SemiAuto", 1, true, false, 2},
        {"LastMode=manual", 1, true, false, 1},
        {"LastMode=AUTO", 1, true, false, 1},
        {"LastMode=none", 1, true, false, 0},
        {"MinimumChars=8", 8, true, false, 0},
        {"minimumchars=6", 6, true, false, 0},
    };
    for (const auto& c : cases) {
        g_settings = Settings();
        ASSERT_TRUE(WriteWholeFile(IniPath(), std::string("[CONFIG]\r\n") + c.lines + "\r\n"));
        LoadSettingsFrom(IniPath().c_str());
        EXPECT_EQ(c.minimumChars, g_settings.minimumChars) << c.lines;
        EXPECT_EQ(c.useTempDir, g_settings.useTempDir) << c.lines;
        EXPECT_EQ(c.rememberLast, g_settings.rememberLast) << c.lines;
        EXPECT_EQ(c.lastMode, g_settings.lastMode) << c.lines;
    }
}

TEST_F(SettingsTest, SaveWritesAllFourKeysInOrderIntoANewFile) {
    g_settings.minimumChars = 8;
    g_settings.useTempDir = false;
    g_settings.rememberLast = true;
    g_settings.lastMode = kLastModeSemiAuto;
    SaveSettingsTo(IniPath().c_str());
    EXPECT_EQ((std::vector<std::string>{"[config]", "MinimumChars=8", "UseTempDir=false",
                                        "RememberLast=true", "LastMode=semiauto"}),
              Lines(ReadFileOrMissing(IniPath())));
}

TEST_F(SettingsTest, AnUnknownModeIsSavedAsAuto) {
    ASSERT_TRUE(WriteWholeFile(IniPath(), "[config]\r\nMinimumChars=6\r\nLastMode=manual\r\n"));
    LoadSettingsFrom(IniPath().c_str());
    g_settings.rememberLast = true;
    SaveSettingsTo(IniPath().c_str());
    EXPECT_EQ((std::vector<std::string>{"[config]", "MinimumChars=6", "LastMode=auto",
                                        "UseTempDir=true", "RememberLast=true"}),
              Lines(ReadFileOrMissing(IniPath())));
}

TEST_F(SettingsTest, WriteFailuresAreSilent) {
    g_settings.minimumChars = 8;
    // A folder that does not exist, and a settings path taken by a folder:
    // nothing is written, nothing is shown, the record keeps its values.
    const std::string missing = folder_.Join("missing\\zorv.ini");
    SaveSettingsTo(missing.c_str());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(missing.c_str()));
    ASSERT_TRUE(CreateDirectoryA(IniPath().c_str(), nullptr));
    SaveSettingsTo(IniPath().c_str());
    EXPECT_TRUE(IsFolder(IniPath().c_str()));
    EXPECT_EQ(8, g_settings.minimumChars);
}

TEST_F(SettingsTest, AReadOnlyFolderFailsSilently) {
    // Read-only for the file system: a read-only file in a folder whose
    // files may not be created. Wine running as root writes regardless, so
    // the check runs only where the platform refuses the write itself.
    ASSERT_TRUE(WriteWholeFile(IniPath(), "[config]\r\nMinimumChars=1\r\n"));
    ASSERT_TRUE(SetFileAttributesA(IniPath().c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE probe =
        CreateFileA(IniPath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        SetFileAttributesA(IniPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "this platform writes read-only files (Wine as root)";
    }
    g_settings.minimumChars = 8;
    SaveSettingsTo(IniPath().c_str());
    SetFileAttributesA(IniPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(8, g_settings.minimumChars);
    EXPECT_EQ("[config]\r\nMinimumChars=1\r\n", ReadFileOrMissing(IniPath()));
}

TEST_F(SettingsTest, IniFileReadsCutAndDefault) {
    ASSERT_TRUE(WriteWholeFile(IniPath(), "[s]\r\nlong=0123456789abcdef\r\nn=-12\r\n"));
    const IniFile ini(IniPath().c_str());
    char value[8];
    EXPECT_EQ(7u, ini.ReadString("s", "long", value, sizeof value, "d"));
    EXPECT_STREQ("0123456", value);
    EXPECT_EQ(1u, ini.ReadString("s", "missing", value, sizeof value, "d"));
    EXPECT_STREQ("d", value);
    EXPECT_EQ(-12, ini.ReadInt("s", "n", 5));
    EXPECT_EQ(5, ini.ReadInt("s", "missing", 5));
    EXPECT_EQ(1, ini.ReadBool("s", "missing", 1));
    EXPECT_EQ(0, ini.ReadBool("s", "n", 1));
    ini.WriteInt("s", "w", -7);
    ini.WriteBool("s", "b", 5);
    EXPECT_EQ(-7, ini.ReadInt("s", "w", 0));
    EXPECT_EQ(1, ini.ReadBool("s", "b", 0));
    EXPECT_STREQ("", IniFile(nullptr).Path());
}

// The records of running edit sessions share zorv.ini with the settings,
// each in a section of its own, and leave the settings' keys as they were.
TEST_F(SettingsTest, SessionRecordsComeAndGoBesideTheSettings) {
    g_settings.minimumChars = 8;
    g_settings.lastMode = kLastModeSemiAuto;
    SaveSettingsTo(IniPath().c_str());
    const std::vector<std::string> settingsLines = Lines(ReadFileOrMissing(IniPath()));
    const std::string ini = IniPath();
    // Spaces at both ends of a name, and a character whose second byte is a
    // backslash in code page 932.
    const std::string spaced = "C:\\work folder\\ memo .txt ";
    const std::string japanese = "C:\\" + test::Cp932("表") + "\\memo.txt";
    const struct {
        const char* step;
        int added;  // the slot expected from an AddSessionRecord; 0: none made
        int removed;
        int staged;
        const char* stageWord;  // written by hand when not null
        std::vector<int> slots;
        std::vector<SessionStage> stages;
    } steps[] = {
        {"first", 1, 0, 0, nullptr, {1}, {SessionStage::kDecrypting}},
        {"second",
         2,
         0,
         0,
         nullptr,
         {1, 2},
         {SessionStage::kDecrypting, SessionStage::kDecrypting}},
        {"staged", 0, 0, 2, nullptr, {1, 2}, {SessionStage::kDecrypting, SessionStage::kFinishing}},
        {"unknown word",
         0,
         0,
         0,
         "sleeping",
         {1, 2},
         {SessionStage::kEditing, SessionStage::kFinishing}},
        {"first removed", 0, 1, 0, nullptr, {2}, {SessionStage::kFinishing}},
        {"its slot reused",
         1,
         0,
         0,
         nullptr,
         {1, 2},
         {SessionStage::kDecrypting, SessionStage::kFinishing}},
        {"second removed", 0, 2, 0, nullptr, {1}, {SessionStage::kDecrypting}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        if (step.added != 0) {
            EXPECT_EQ(step.added, AddSessionRecord(ini.c_str(), spaced.c_str(), japanese.c_str(),
                                                   SessionStage::kDecrypting));
        }
        RemoveSessionRecord(ini.c_str(), step.removed);
        SetSessionStage(ini.c_str(), step.staged, SessionStage::kFinishing);
        if (step.stageWord != nullptr) {
            WritePrivateProfileStringA("session1", "Stage", step.stageWord, ini.c_str());
        }
        SessionRecord records[kMaxSessionRecords];
        const int count = ReadSessionRecords(ini.c_str(), records, kMaxSessionRecords);
        ASSERT_EQ(step.slots.size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(step.slots[i], records[i].slot);
            EXPECT_EQ(spaced, records[i].workingCopy);
            EXPECT_EQ(japanese, records[i].encryptedPath);
            EXPECT_EQ(step.stages[i], records[i].stage);
        }
    }
    RemoveSessionRecord(ini.c_str(), 1);
    EXPECT_EQ(settingsLines, Lines(ReadFileOrMissing(ini)));

    // Every slot taken, a file that cannot be written, no file at all:
    // nothing is recorded, and the session runs unrecorded.
    for (int slot = 1; slot <= kMaxSessionRecords; ++slot) {
        ASSERT_EQ(slot,
                  AddSessionRecord(ini.c_str(), "C:\\a", "C:\\a.crp", SessionStage::kEditing));
    }
    EXPECT_EQ(0, AddSessionRecord(ini.c_str(), "C:\\a", "C:\\a.crp", SessionStage::kEditing));
    const std::string missing = folder_.Join("missing\\zorv.ini");
    EXPECT_EQ(0, AddSessionRecord(missing.c_str(), "C:\\a", "C:\\a.crp", SessionStage::kEditing));
    EXPECT_EQ(0, AddSessionRecord("", "C:\\a", "C:\\a.crp", SessionStage::kEditing));
}

TEST_F(SettingsTest, TheSettingsFileLivesBesideTheExecutable) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    RemoveFileNamePart(exe);
    char folder[kMaxPath] = "untouched";
    EXPECT_EQ(0, GetModuleFolder(ModuleInstance(), folder));
    EXPECT_STREQ(exe, folder);
    char failed[kMaxPath] = "untouched";
    EXPECT_EQ(0, GetModuleFolder(reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(0x10)), failed));
    EXPECT_STREQ("untouched", failed);

    char path[kMaxPath];
    ASSERT_TRUE(GetSettingsPath(path));
    EXPECT_EQ(std::string(exe) + "\\zorv.ini", path);
    // LoadSettings and SaveSettings use that file.
    g_settings.minimumChars = 8;
    g_settings.lastMode = kLastModeNone;
    SaveSettings();
    g_settings = Settings();
    LoadSettings();
    DeleteFileA(path);
    EXPECT_EQ(8, g_settings.minimumChars);
    EXPECT_EQ(kLastModeNone, g_settings.lastMode);
}

}  // namespace
}  // namespace zorv
