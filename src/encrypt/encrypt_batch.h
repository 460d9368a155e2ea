// The encryption batch's rule: every input file encrypted into a .crp file
// beside it, folders walked, and the source destroyed on request.
#pragma once

#include <string>

#include "batch/batch_run.h"

namespace zorv {

class FileCipher;

class EncryptionRule : public BatchRule {
public:
    // cipher: keyed with the password, borrowed for the run. deleteSource:
    // each source is destroyed once its .crp file is complete.
    EncryptionRule(FileCipher& cipher, bool deleteSource)
        : cipher_(cipher), deleteSource_(deleteSource) {}

    // The desktop's encryption rules (DesktopRules, input_rules.h): a folder
    // is walked; a name that matches no single file, a read-only or system
    // file and a ".crp" file are refused; any other file is encrypted. (The
    // run finishes the leftovers beside the inputs first.)
    void ProcessInput(BatchRun& run, const char* path) override;
    InputRules Rules() const override;
    // Encrypts source into a temporary file beside source + ".crp" (see
    // VanishingFile) and renames it to that name, never replacing a file;
    // the line names the source, or the .crp file when the temporary could
    // not be made (70, 84) or placed (71, 83). Then the source's job step
    // (FinishSource of job_steps.h): one no longer as it was read is kept
    // and its .crp file removed (85); one that cannot be destroyed is a
    // failure (81).
    void ProcessFile(BatchRun& run, const char* source) override;

private:
    FileCipher& cipher_;
    bool deleteSource_;
};

}  // namespace zorv
