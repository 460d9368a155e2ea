#include "encrypt/encrypt_batch.h"

#include <cstring>

#include "app/file_system.h"
#include "app/path_utils.h"
#include "batch/batch_steps.h"
#include "crypto/file_cipher.h"
#include "crypto/file_handle.h"
#include "crypto/secure_delete.h"
#include "crypto/source_state.h"

namespace zorv {
namespace {

// A file's size and last-write time as the directory reports them.
struct SourceStamp {
    SourceState state;
    bool read = false;

    void ReadFrom(const char* path) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        read = GetFileAttributesExA(path, GetFileExInfoStandard, &data) != 0;
        state.size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        state.lastWrite =
            static_cast<int64_t>(static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                                 data.ftLastWriteTime.dwLowDateTime);
    }
    bool SameAs(const SourceStamp& other) const {
        return read && other.read && SourceUnchanged(other.state, state);
    }
};

}  // namespace

void EncryptionRule::ProcessInput(BatchRun& run, const char* path) {
    run.ApplyRules(*this, path);
}

InputRules EncryptionRule::Rules() const {
    return DesktopRules(Command::kEncrypt);
}

void EncryptionRule::ProcessFile(BatchRun& run, const char* source) {
    char target[kMaxPath];
    std::size_t length = std::strlen(source);
    if (length >= kMaxPath) {
        run.LogFailure(source, kResultPathTooLong);
        return;
    }
    std::memcpy(target, source, length + 1);
    // Without room for ".crp" the target would be the source itself, which
    // exists: refused as such, before any work is done.
    if (!AppendLimited(target, ".crp")) {
        run.LogFailure(source, kResultFileExists);
        return;
    }
    // Written beside its final name, where it vanishes should the program
    // be killed before it is complete.
    VanishingFile output;
    ResultCode rc = output.Create(target);
    if (rc != kResultOk) {
        run.LogFailure(target, rc);
        return;
    }
    SourceStamp before;
    before.ReadFrom(source);
    rc = cipher_.EncryptFile(source, output.File());
    if (rc != kResultOk) {
        run.LogFailure(source, rc);
    } else if ((rc = output.Place()) != kResultOk) {
        run.LogFailure(target, rc);
    } else {
        // The transform checks its own open source; this also covers the
        // placing. A source written to since its encryption began is kept,
        // and its .crp file, made from what was read, must not pass as
        // complete.
        SourceStamp after;
        after.ReadFrom(source);
        if (!after.SameAs(before)) {
            DeleteFileA(target);
            run.LogFailure(source, kResultSourceChanged);
        } else {
            FinishSource(run, source);
        }
    }
    // An output that was not placed holds nothing but cipher text, complete
    // or partial: removed without overwriting.
    output.Discard();
}

void EncryptionRule::FinishSource(BatchRun& run, const char* source) {
    if (deleteSource_ && !SecureDelete(source)) {
        // The .crp file is in place, but the plain file the user asked to
        // destroy is still there (held open elsewhere, or with other names):
        // a failure, so that the dialog stays open and the line is read.
        run.LogFailure(source, kResultDeleteFailed);
        return;
    }
    run.LogOk(source);
}

}  // namespace zorv
