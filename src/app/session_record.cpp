#include "app/session_record.h"

#include <cstdio>
#include <cstring>

#include "app/ini_file.h"

namespace zorv {
namespace {

constexpr char kWorkingCopyKey[] = "WorkingCopy";
constexpr char kEncryptedFileKey[] = "EncryptedFile";
constexpr char kStageKey[] = "Stage";

// The stage words in the order of SessionStage.
constexpr const char* kStageNames[] = {"decrypting", "editing", "finishing"};

void SectionName(int slot, char* section, std::size_t size) {
    std::snprintf(section, size, "session%d", slot);
}

const char* StageName(SessionStage stage) {
    return kStageNames[static_cast<int>(stage)];
}

SessionStage StageFromName(const char* name) {
    for (int i = 0; i < 3; ++i) {
        if (EqualTextIgnoringCase(name, kStageNames[i])) {
            return static_cast<SessionStage>(i);
        }
    }
    return SessionStage::kEditing;
}

// Reads a path stored by WritePath. False when the key is missing or empty.
bool ReadPath(const IniFile& ini, const char* section, const char* key, char* path) {
    return ini.ReadString(section, key, path, kMaxPath, "") > 0;
}

// The private-profile functions strip the spaces around a value, and one pair
// of double quotes; a path in quotes keeps its spaces (a path itself never
// holds a double quote).
void WritePath(const IniFile& ini, const char* section, const char* key, const char* path) {
    char quoted[kMaxPath + 2] = {};
    std::snprintf(quoted, sizeof quoted, "\"%s\"", path);
    ini.WriteString(section, key, quoted);
}

bool HasIniPath(const char* iniPath) {
    return iniPath != nullptr && iniPath[0] != '\0';
}

}  // namespace

int AddSessionRecord(const char* iniPath, const char* workingCopy, const char* encryptedPath,
                     SessionStage stage) {
    if (!HasIniPath(iniPath)) {
        return 0;
    }
    const IniFile ini(iniPath);
    char section[32];
    char stored[kMaxPath];
    for (int slot = 1; slot <= kMaxSessionRecords; ++slot) {
        SectionName(slot, section, sizeof section);
        if (ReadPath(ini, section, kWorkingCopyKey, stored)) {
            continue;
        }
        WritePath(ini, section, kEncryptedFileKey, encryptedPath);
        ini.WriteString(section, kStageKey, StageName(stage));
        // Written last, as the key a start looks for.
        WritePath(ini, section, kWorkingCopyKey, workingCopy);
        if (ReadPath(ini, section, kWorkingCopyKey, stored) &&
            std::strcmp(stored, workingCopy) == 0) {
            return slot;
        }
        ini.RemoveSection(section);
        return 0;
    }
    return 0;
}

void SetSessionStage(const char* iniPath, int slot, SessionStage stage) {
    if (slot <= 0 || !HasIniPath(iniPath)) {
        return;
    }
    char section[32];
    SectionName(slot, section, sizeof section);
    IniFile(iniPath).WriteString(section, kStageKey, StageName(stage));
}

void RemoveSessionRecord(const char* iniPath, int slot) {
    if (slot <= 0 || !HasIniPath(iniPath)) {
        return;
    }
    char section[32];
    SectionName(slot, section, sizeof section);
    IniFile(iniPath).RemoveSection(section);
}

int ReadSessionRecords(const char* iniPath, SessionRecord* records, int capacity) {
    if (!HasIniPath(iniPath)) {
        return 0;
    }
    const IniFile ini(iniPath);
    int count = 0;
    char section[32];
    for (int slot = 1; slot <= kMaxSessionRecords && count < capacity; ++slot) {
        SectionName(slot, section, sizeof section);
        SessionRecord& record = records[count];
        record = SessionRecord{};
        if (!ReadPath(ini, section, kWorkingCopyKey, record.workingCopy)) {
            continue;
        }
        ReadPath(ini, section, kEncryptedFileKey, record.encryptedPath);
        char stage[32];
        ini.ReadString(section, kStageKey, stage, sizeof stage, "");
        record.stage = StageFromName(stage);
        record.slot = slot;
        ++count;
    }
    return count;
}

}  // namespace zorv
