#include "decrypt/decrypt_batch.h"

#include <cstring>
#include <string>

#include "app/file_system.h"
#include "app/path_utils.h"
#include "batch/batch_steps.h"
#include "crypto/file_cipher.h"
#include "crypto/file_entries.h"
#include "crypto/file_handle.h"
#include "crypto/job_steps.h"

namespace zorv {

void DecryptionRule::ProcessInput(BatchRun& run, const char* path) {
    run.ApplyRules(*this, path);
}

InputRules DecryptionRule::Rules() const {
    return DesktopRules(Command::kDecrypt);
}

void DecryptionRule::ProcessFile(BatchRun& run, const char* encryptedPath) {
    char target[kMaxPath] = {};
    std::memcpy(target, encryptedPath, std::strlen(encryptedPath));
    StripExtension(target);
    // Written beside its final name, where it vanishes should the program
    // be killed before it is complete: plain text never waits in the shared
    // temporary folder.
    VanishingFile output;
    ResultCode rc = output.Create(target);
    if (rc != kResultOk) {
        run.LogFailure(target, rc);
        return;
    }
    FileIdentity read;
    QueryIdentity(encryptedPath, &read);
    FileIdentity placed;
    rc = cipher_.DecryptFile(encryptedPath, output.File());
    if (rc != kResultOk) {
        run.LogFailure(encryptedPath, rc);
    } else if ((rc = PlaceOutput(output, {}, &placed)) != kResultOk) {
        run.LogFailure(target, rc);
    } else if (FinishSource(encryptedPath, read, target, placed, SourceFate()) == kResultOk) {
        run.LogOk(encryptedPath);
    } else {
        // The plain file is in place; a .crp that will not go (or that was
        // written to meanwhile, and is kept) is reported but is no failure
        // of the decryption.
        run.LogNotice(encryptedPath, kResultDeleteFailed);
    }
    // An output that was not placed held plain text (or noise after a wrong
    // password): wiped before it goes.
    const std::string shown = output.TemporaryPath();
    if (!DropOutput(output, true)) {
        run.LogFailure(shown.empty() ? target : shown.c_str(), kResultDeleteFailed);
    }
}

}  // namespace zorv
