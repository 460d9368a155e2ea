// The record of a running edit session, kept in the settings file: while a
// session runs, a section "session<n>" of zorv.ini names its plain working
// copy and its .crp file. The section goes when the session ends normally, so
// a start that finds one knows that a session died with its working copy left
// behind (the single-instance guard rules out a session that still runs).
// The section "config" is never touched.
#pragma once

#include "app/path_utils.h"

namespace zorv {

// How far a session had come, which says what its working copy may hold.
enum class SessionStage {
    kDecrypting,  // being written: part of what the .crp holds, nothing more
    kEditing,     // may hold edits that the .crp lacks
    kFinishing,   // holds nothing the .crp lacks (re-encrypted, unchanged, or
                  // opened read-only): it only awaits its destruction
};

struct SessionRecord {
    int slot = 0;  // n of the section "session<n>"
    char workingCopy[kMaxPath] = {};
    char encryptedPath[kMaxPath] = {};
    SessionStage stage = SessionStage::kEditing;
};

// Sessions are recorded in the slots 1 to kMaxSessionRecords.
constexpr int kMaxSessionRecords = 16;

// Writes a record into the first free slot of the INI file at iniPath and
// reads it back. Returns the slot, or 0 when nothing could be recorded (no
// slot free, a read-only folder, a null or empty path): the session then runs
// unrecorded, as it can.
int AddSessionRecord(const char* iniPath, const char* workingCopy, const char* encryptedPath,
                     SessionStage stage);
// Both do nothing for slot 0. Failures are not reported.
void SetSessionStage(const char* iniPath, int slot, SessionStage stage);
void RemoveSessionRecord(const char* iniPath, int slot);

// Fills records (capacity entries) with the records found, in slot order, and
// returns their number. A stage word that is missing or unknown reads as
// kEditing: the copy may then hold edits, and the user is asked about it.
int ReadSessionRecords(const char* iniPath, SessionRecord* records, int capacity);

}  // namespace zorv
