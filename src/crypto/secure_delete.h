// Secure deletion: overwrite a file 24 times in place, then delete it, so that
// its former contents cannot be read back from the disk.
#pragma once

namespace zorv {

// Makes the file writable (clears the read-only attribute; on POSIX adds the
// owner's write permission), wipes it with WipeFile and deletes it. Returns
// true when the file is gone. False when it cannot be opened for writing (held
// open elsewhere without write sharing, access denied): the file keeps its
// contents, but stays writable. False when a write fails part-way (partly
// overwritten) or when the deletion fails (fully overwritten). A path that
// does not exist in an existing folder is created empty and deleted: true.
bool SecureDelete(const char* path);

// Overwrites the whole file in place, from offset 0, 8 times with the three
// patterns 0xAA, 0x55 and 4096 pseudo-random bytes (24 overwrites, writes of
// at most 4096 bytes, each reaching the disk before the next). The file keeps
// its length. False when the file cannot be opened or a write fails.
bool WipeFile(const char* path);

}  // namespace zorv
