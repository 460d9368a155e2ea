// The steps of one file's job that both programs take around its transform,
// which writes the output into a VanishingFile beside its final name:
//   1. the source's identity is read when the job opens it (QueryIdentity of
//      file_entries.h, or FileHandle::Identify on the open source);
//   2. PlaceOutput gives the complete output its final name;
//   3. an output that was not placed goes through DropOutput;
//   4. FinishSource checks that the source is still the file that was read,
//      as it was read, and only then destroys it.
// Paths are taken as FileHandle takes them: the desktop program's code page
// 932 paths, zorv-cli's UTF-8 ones.
#pragma once

#include <string>

#include "crypto/file_handle.h"
#include "crypto/result_code.h"

namespace zorv {

// Reads the identity the output has (what FinishSource may remove, and
// nothing else) into placed, then gives it its final name as placing says.
// 0, or what VanishingFile::Place returns (83 also when the identity cannot
// be read); on failure the temporary is still held.
//
// A name already taken (71) by a regular file that holds exactly the bytes
// of the output, compared through a no-follow open of it, counts as placed:
// the output of a file and a password is always the same, so such a file is
// this job's own output from a run killed before its source went. Then 0,
// with placed left unknown (FinishSource never removes a file that this job
// did not write) and the temporary still held, for the caller to destroy as
// an output that was not placed (DropOutput). Any other file under the name
// is never touched: 71.
ResultCode PlaceOutput(VanishingFile& output, const VanishingFile::Placing& placing,
                       FileIdentity* placed);

// Destroys an output that was not placed. One that may hold plain text (a
// decryption's) is wiped through its handle first, with a single overwrite
// when quick (the user is waiting for the program to end); an encryption's
// only ever holds cipher text, the bytes a finished run leaves on the disk,
// and is only discarded. False when the wipe failed or a named temporary
// stays behind; the file is discarded all the same.
bool DropOutput(VanishingFile& output, bool plainText, bool quick = false);

// What becomes of a job's source once its output is in place.
struct SourceFate {
    bool encrypting = false;
    bool destroy = true;  // false: kept
    bool wipe = true;     // false: only its name is removed (nothing overwritten)
};

// The last step of a job whose output is placed at outputPath (placed: its
// identity there). The source, reached as sourcePath, with read its
// identity when the job opened it:
//   0    a decryption's source that is kept, without a look; or a source
//        still as it was read, kept or destroyed as fate says;
//   85   an encryption's source no longer as it was read (written to,
//        replaced or gone since, even when it is kept): kept, and the output
//        made from it removed, while outputPath still leads to placed (an
//        output found in place, placed unknown, stays);
//   81   a decryption's source no longer as it was read, kept; or the
//        destruction failed (see SecureDestroy);
//   1002 the source has other names, 1003 the name led to another file by
//        the time the wipe opened it: kept untouched.
// The desktop program, which has no texts for the codes from 1001, reports
// those two as 81.
ResultCode FinishSource(const std::string& sourcePath, const FileIdentity& read,
                        const std::string& outputPath, const FileIdentity& placed,
                        const SourceFate& fate);

// For tests: called by FinishSource with sourcePath before it looks at the
// source. Null (the default): nothing is called.
void SetSourceCheckHook(void (*hook)(const std::string& path));

}  // namespace zorv
