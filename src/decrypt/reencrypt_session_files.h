// The file steps of the edit session that a start after a crash uses too:
// putting the re-encrypted .crp in place of the old one, and telling whether
// a working copy still holds what the .crp holds. Windows only.
#pragma once

#include <windows.h>

#include "crypto/file_cipher.h"
#include "crypto/result_code.h"

namespace zorv {

// Encrypts workingCopy with cipher into a new temporary file beside
// encryptedPath, flushes it to the disk and only then moves it over
// encryptedPath (ReplaceWithFile). A kill at any moment thus leaves the old
// .crp or the complete new one under its name, never a partial one.
//   0   encryptedPath holds the new cipher text, on the disk.
//   70  no temporary file could be made beside encryptedPath;
//   the codes of EncryptFile; 83 also when the flush or the move failed.
// On every failure encryptedPath is as it was and the temporary file (cipher
// text at most) is deleted. workingCopy is never touched.
ResultCode ReplaceEncryptedFile(FileCipher& cipher, const char* workingCopy,
                                const char* encryptedPath);

// True when workingCopy holds exactly the plain text that encryptedPath
// decrypts to under cipher, compared piece by piece in memory (nothing is
// written). False when anything differs, or either file cannot be read.
bool MatchesEncryptedFile(FileCipher& cipher, const char* workingCopy, const char* encryptedPath);

// False only when encryptedPath can be read and its checksum says that cipher
// is keyed with another password (75); the plain text goes nowhere.
bool OpensEncryptedFile(FileCipher& cipher, const char* encryptedPath);

}  // namespace zorv
