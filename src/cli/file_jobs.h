// One job per file, with the desktop program's steps and outcomes, made
// safe for a command line that may be interrupted or run several jobs at
// once:
//   - the output is written as a temporary that vanishes with the process
//     (VanishingFile: without a name on Linux, marked for deletion on
//     Windows) in the target's own folder (never the shared temporary
//     folder), owner-only until placed, flushed to the disk, and given the
//     final name without ever replacing a file (71 when the name is taken,
//     83 when the move fails otherwise), and only then the source's mode;
//   - a failed or interrupted job destroys its temporary file, wiped
//     through its handle when it may hold plain text (decryption), and
//     leaves its source alone;
//   - a target name that exists already fails the job before anything is
//     read or written (the no-replace move stays the real guard); with -f,
//     one that holds anything but a regular file, or an output of this
//     run;
//   - a job does nothing with a file that is not the one its plan found
//     under the name (replaced since the walk);
//   - a job on a file found by a walk reaches the file's folder from the
//     folder named on the command line down, never through a link, and
//     then reads, writes, renames and deletes only through that folder: a
//     folder of the tree swapped for a link during the run cannot lead its
//     output, temporary or wipe outside the tree;
//   - the source is destroyed with SecureDelete only after its output is
//     complete, flushed and in place, and not with --keep, nor once the
//     user has interrupted the run; and only when the name still leads to
//     the file that was read, with the size, last-write and change times
//     it had when it was opened. An encryption source changed meanwhile
//     fails the job (85), is kept, and the .crp file made from it is
//     removed if its name still holds it; a decryption's .crp file is kept
//     (81).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/batch_plan.h"
#include "crypto/file_cipher.h"
#include "crypto/result_code.h"

namespace zorv {

class OutputGroup;
class PlacedOutputs;

// Not a line: the job's output waits in its group (see OutputGroup), whose
// commit gives the job's lines.
constexpr ResultCode kResultPlacementPending = -3;

// One line of the report: the path, and 0 for "...OK" or the outcome.
struct Outcome {
    std::string path;
    ResultCode code = kResultOk;
};

struct JobSettings {
    bool keep = false;     // do not destroy the source
    bool replace = false;  // -f: an existing file is replaced (still atomically)
    bool noWipe = false;   // sources are deleted without being overwritten
    std::string output;    // -o: the output's name instead of the one beside the source
    unsigned threads = 1;  // for the ranges of one decryption
    std::atomic<std::uint64_t>* progress = nullptr;
    // When set, small outputs join this group instead of being flushed and
    // placed by their job; slot is the job's place in the plan.
    OutputGroup* group = nullptr;
    std::size_t slot = 0;
    // When set, the outputs of the run, which -f never replaces.
    PlacedOutputs* placed = nullptr;
};

// Each returns the job's lines (one, or two when a temporary file could not
// be destroyed), or none when the run was interrupted during the job.
// cipher is the job's own copy.
std::vector<Outcome> EncryptJob(const FileCipher& cipher, const PlanItem& item,
                                const JobSettings& settings);
std::vector<Outcome> DecryptJob(const FileCipher& cipher, const PlanItem& item,
                                const JobSettings& settings);
// Decrypts without writing anything: 0 when the password opens the file.
std::vector<Outcome> VerifyJob(const FileCipher& cipher, const PlanItem& item,
                               const JobSettings& settings);

// Input "-" into the file settings.output: standard input is transformed
// into a temporary file beside it, which gets the mode of a new file (0666
// less the umask) and is moved to the name as any output is. The line names
// the input "-". decrypting selects decryption, otherwise encryption.
std::vector<Outcome> StandardInputJob(const FileCipher& cipher, bool decrypting,
                                      const JobSettings& settings);

// For tests: called in every encryption or decryption job with the source's
// path once its output is in place, before the checks that precede
// destroying the source. Null (the default): nothing is called.
void SetJobCheckHook(void (*hook)(const std::string& path));
// For tests: called in every encryption or decryption job with the source's
// path once the source is open and checked, before anything is written.
void SetJobOpenedHook(void (*hook)(const std::string& path));

}  // namespace zorv
