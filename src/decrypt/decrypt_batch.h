// The decryption batch's rule: every .crp input decrypted beside itself,
// folders walked for .crp files, each .crp destroyed once its plain file is
// in place.
#pragma once

#include <string>

#include "batch/batch_run.h"

namespace zorv {

class FileCipher;

class DecryptionRule : public BatchRule {
public:
    // cipher: keyed with the password, borrowed for the run.
    explicit DecryptionRule(FileCipher& cipher) : cipher_(cipher) {}

    // The desktop's decryption rules (DesktopRules, input_rules.h): a name
    // of 260 bytes or more, a missing name, a read-only or system file and a
    // file without ".crp" are refused; a folder is walked; a ".crp" file is
    // decrypted. In a walk, files without ".crp" are passed over without a
    // line. (The run finishes the leftovers beside the inputs first.)
    void ProcessInput(BatchRun& run, const char* path) override;
    InputRules Rules() const override;
    // Decrypts encryptedPath into a temporary file beside the name without
    // ".crp" (see VanishingFile), renames it to that name, never replacing
    // a file, and destroys the .crp file (FinishSource of job_steps.h); a
    // temporary that was not placed is wiped. The line names the .crp file,
    // or the plain name when the temporary could not be made (70, 84) or
    // placed (71, 83); a .crp that cannot be destroyed, or that was written
    // to meanwhile and is kept, is reported (81) without counting as a
    // failure.
    void ProcessFile(BatchRun& run, const char* encryptedPath) override;

private:
    FileCipher& cipher_;
};

}  // namespace zorv
