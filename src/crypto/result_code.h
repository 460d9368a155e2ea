// Result codes of the file operations of both programs. 0 is success; every
// code below 1000 is the string-table ID of the message that describes the
// failure, so a code can be shown or logged without a second table. -1 and
// the codes from 1001 are zorv-cli's own, with texts in its report lines;
// the desktop program never returns them.
#pragma once

namespace zorv {

using ResultCode = int;

enum : ResultCode {
    kResultOk = 0,
    // zorv-cli: the user interrupted the run. Never a message-table ID.
    kResultInterrupted = -1,
    // A name whose real (wide) form has no exact form in the code page. Its
    // text names the entry through "%s".
    kResultUnhandledName = 58,
    // Desktop walks: files a killed run left in a walked folder (see
    // leftover_names.h) were wiped and removed (a notice naming the walked
    // folder), or one of them could not be (a failure naming it).
    kResultLeftoversFinished = 67,
    kResultLeftoverKept = 68,
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

    // Outcomes of zorv-cli that the desktop program does not have: they are
    // not message-table IDs, and zorv-cli's report lines give their texts.
    kResultFolderWithoutRecursion = 1001,  // a folder given without -r
    kResultHardLinked = 1002,              // the source has other names: not wiped, kept
    kResultReplaced = 1003,                // another file took the name since the walk
    kResultFolderUnreadable = 1004,        // a folder of a walk cannot be listed
    kResultLinkPassedOver = 1005,          // a symbolic link met in a walk (a notice)
    kResultSymbolicLink = 1006,            // a symbolic link given by name
    kResultNotRegular = 1007,              // a device, a pipe or a socket
    kResultNoName = 1008,                  // a file named just ".crp" to decrypt
    kResultNoTemporary = 1009,             // no temporary file beside the output
    kResultOutputIsInput = 1010,           // the output would replace an input of the run
    kResultSharedOutput = 1011,            // another input of the run has the same output
    kResultGivenAgain = 1012,              // the same file as an earlier input (a notice)
    kResultNameNotHandled = 1013,          // Windows: a name with no exact UTF-8 or wide form
    kResultLeftoversWiped = 1014,          // a killed run's leftovers wiped (a notice)
    kResultLeftoverRemains = 1015,         // one of them could not be wiped or removed
};

}  // namespace zorv
