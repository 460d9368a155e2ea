// Result codes of the file operations. 0 is success; every other value is
// the string-table ID of the message that describes the failure, so a code
// can be shown or logged without a second table.
#pragma once

namespace zorv {

using ResultCode = int;

enum : ResultCode {
    kResultOk = 0,
    // A name whose real (wide) form has no exact form in the code page. Its
    // text names the entry through "%s".
    kResultUnhandledName = 58,
    kResultOpenFailed = 70,        // the source cannot be opened or the target created
    kResultFileExists = 71,        // the final name is taken
    kResultOutOfMemory = 72,       // a chunk buffer could not be allocated
    kResultAlreadyEncrypted = 73,  // an input to encryption already ends in .crp
    kResultReadOnlyOrSystem = 74,  // an input has the read-only or system attribute
    kResultWrongPassword = 75,     // the checksum text does not match
    kResultNotEncrypted = 76,      // an input to decryption does not end in .crp
    kResultFileMissing = 79,       // an input matches no directory entry
    kResultEmptyFile = 80,         // the source has no bytes
    kResultDeleteFailed = 81,      // secure deletion failed
    kResultReadFailed = 82,        // a read failed or came up short part-way
    kResultWriteFailed = 83,       // a write failed or came up short
    kResultPathTooLong = 84,       // a joined path would not fit in 259 bytes
    kResultSourceChanged =
        85,  // the source's size or last-write time changed while it was encrypted
};

}  // namespace zorv
