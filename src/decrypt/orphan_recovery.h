// What a start does about edit sessions that never ended (the process was
// killed, crashed or lost its power while the editor was open): their
// records in zorv.ini (session_record.h) name working copies that no session
// will re-encrypt or destroy any more. Windows only.
#pragma once

#include "app/session_record.h"

namespace zorv {

enum class OrphanAction {
    kDrop,     // the working copy is gone: the record goes, without a word
    kDestroy,  // it holds nothing the .crp lacks: destroyed without a question
    kAsk,      // it may hold edits: the user chooses
};

// kDrop when the copy no longer exists; else kAsk for a copy that was being
// edited (or whose stage is unknown), kDestroy for one that was being
// decrypted (a part of what the .crp holds) or was re-encrypted already.
OrphanAction DecideOrphanAction(SessionStage stage, bool copyExists);

// Run by the entry once the single-instance guard has passed, so that no
// recorded session can still be running, and before anything else. For each
// record of iniPath, as DecideOrphanAction says:
//   kDestroy  the copy is destroyed (message 64 when that fails);
//   kAsk      message 63 names the copy and its .crp: Yes asks for the
//             password twice, as the encryption does (again, after message
//             75, while it does not open the .crp), and replaces the .crp
//             with the copy's encryption (65 when that fails, and the copy
//             stays), then destroys the copy (56 when that fails); No
//             destroys the copy (64 when that fails); Cancel, or the close
//             box, or Cancel in the password dialog, changes nothing.
// A record goes once its working copy is gone, and only then. Message boxes
// and the password dialog have no owner.
void RecoverOrphanedSessions(const char* iniPath);

}  // namespace zorv
