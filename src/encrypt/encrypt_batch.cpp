#include "encrypt/encrypt_batch.h"

#include <cstring>

#include "app/file_system.h"
#include "app/path_utils.h"
#include "batch/batch_steps.h"
#include "crypto/file_cipher.h"
#include "crypto/file_entries.h"
#include "crypto/file_handle.h"
#include "crypto/job_steps.h"

namespace zorv {

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
    // The transform checks its own open source; FinishSource also covers
    // the placing. One that cannot be read counts as changed.
    FileIdentity read;
    QueryIdentity(source, &read);
    FileIdentity placed;
    rc = cipher_.EncryptFile(source, output.File());
    if (rc != kResultOk) {
        run.LogFailure(source, rc);
    } else if ((rc = PlaceOutput(output, {}, &placed)) != kResultOk) {
        run.LogFailure(target, rc);
    } else {
        SourceFate fate;
        fate.encrypting = true;
        fate.destroy = deleteSource_;
        rc = FinishSource(source, read, target, placed, fate);
        if (rc == kResultOk) {
            run.LogOk(source);
        } else {
            // A source that will not go is a failure too: the dialog stays
            // open and the line is read.
            run.LogFailure(source, rc == kResultSourceChanged ? rc : kResultDeleteFailed);
        }
    }
    DropOutput(output, false);
}

}  // namespace zorv
