// The input rules of both programs as one pure decision: what an input named
// by the user, and what an entry met in a folder walk, becomes. The caller
// looks at the entry (its probe) and hands over the facts; nothing here
// touches a file, so every rule is a row of a table. Where the programs
// differ the difference is a field of InputRules, never a second copy. The
// walk order itself is in folder_walk.h. Portable: zorv-cli and the desktop
// batch both link it.
#pragma once

#include <cstdint>

#include "crypto/result_code.h"

namespace zorv {

// A verdict or a listing that yields no line: a file passed over, a folder
// gone. Negative, so never a message, and apart from -1, which the command
// line uses for an interrupted job.
constexpr ResultCode kPassOver = -2;

enum class Command { kEncrypt, kDecrypt, kVerify, kCat };

// What a program does with the entries of a run.
struct InputRules {
    Command command = Command::kEncrypt;
    // A folder named as an input is walked; otherwise it is refused (1001).
    bool walkFolders = true;
    // A read-only file may be a source (nothing is written to it, or it is
    // kept): verify and cat always, encrypt and decrypt when asked.
    bool readOnlyAllowed = false;
    // An input's name is checked before it is taken for a folder: a path
    // without room under the path limit is refused (84), and a name the
    // directory search does not find (a drive's root among them) is missing
    // (79). The desktop decryption, whose steps work in fixed buffers.
    bool nameFirst = false;
    // An input named as a run's own leftover is passed over without a line
    // (zorv-cli; the desktop finishes those beside its inputs first).
    bool passOverLeftoverInput = false;
    // A file named just ".crp" is refused for decryption (1008), which would
    // make a file without a name (zorv-cli).
    bool refuseBareExtension = false;
    // The refusal of a name no call can reach: the desktop's 58 (its text
    // names the entry), zorv-cli's 1013.
    ResultCode unnamableCode = kResultNameNotHandled;
};

// zorv-cli's rules: folders walked with -r (never by cat).
InputRules CliRules(Command command, bool recursive, bool readOnlyAllowed);
// The desktop batch's rules (kEncrypt or kDecrypt).
InputRules DesktopRules(Command command);

// What the probe saw of one entry, not following a symbolic link.
struct EntryFacts {
    bool exists = false;
    bool isFolder = false;
    // The entry was found but its attributes could not be read (a name with
    // wildcards, on the desktop): it names no single file.
    bool noAttributes = false;
    bool readOnly = false;
    // Not a regular file or folder (POSIX), the system attribute (Windows).
    bool special = false;
    bool isLink = false;      // a symbolic link (also special)
    bool notRegular = false;  // a device, pipe or socket (also special)
    bool unreadable = false;  // a folder without owner read permission
    bool unnamable = false;   // no exact form for the system's calls
    // The path has no room under the platform's limit.
    bool tooLong = false;
};

enum class Verdict {
    kWork,      // a source: encrypt, decrypt, verify or show it
    kWalk,      // a folder to walk
    kRefuse,    // a line with the code, nothing done
    kSilent,    // nothing done, no line
    kLeftover,  // a run's own leftover: finished, never a source
};

struct Decision {
    Verdict verdict = Verdict::kSilent;
    ResultCode code = kResultOk;  // kRefuse
};

// The refusal of an entry that the rules refuse as read-only or special:
// 1013 (or rules.unnamableCode) a name no call can reach, 1006 a symbolic
// link, 1007 a device, pipe or socket, 1004 a folder that cannot be read,
// otherwise 74.
ResultCode RefusalOf(const InputRules& rules, const EntryFacts& facts);

// An input named by the user; name is the last component of its path. The
// first rule that matches:
//   nameFirst: a path too long                refused 84;
//              not found                      refused 79;
//   a folder                                  walked, or refused 1001;
//   a leftover's name (passOverLeftoverInput) passed over;
//   missing                                   refused 79;
//   found without attributes                  refused 79 (encrypt), 74;
//   special, or read-only for a writing run   refused (RefusalOf);
//   encrypt: *.crp refused 73, else work;
//   others:  just ".crp" (refuseBareExtension) refused 1008, *.crp work,
//            else refused 76.
Decision DecideInput(const InputRules& rules, const char* name, const EntryFacts& facts);

// An entry met in a folder walk; name is its own name. The first rule that
// matches:
//   a path too long                 refused 84, never entered;
//   unnamable                       refused rules.unnamableCode;
//   a symbolic link                 refused 1005 (a notice), never followed;
//   special, or read-only for a
//   writing run (folders too)       refused (RefusalOf), never entered;
//   a folder                        walked;
//   a leftover's name               a leftover;
//   encrypt: *.crp refused 73, else work;
//   others:  just ".crp" (refuseBareExtension) refused 1008, *.crp work,
//            else passed over without a line.
Decision DecideWalkedEntry(const InputRules& rules, const char* name, const EntryFacts& facts);

}  // namespace zorv
