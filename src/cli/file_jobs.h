// One job per file, with the desktop program's steps and outcomes (the job
// steps of both programs: crypto/job_steps.h), made safe for a command line
// that may be interrupted or run several jobs at once:
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
//     run. Without -f a regular file there waits for the output instead:
//     when it holds exactly the output's bytes (the output of a run killed
//     before its source went), the output counts as placed and the source
//     is finished as usual (PlaceOutput); otherwise, or when the job fails
//     before that, the line is 71 as before;
//   - a job does nothing with a file that is not the one its plan found
//     under the name (replaced since the walk);
//   - a job reaches its file's folder from the folder named on the command
//     line down (a file given by name: its own folder), never through a
//     link, and then reads, writes, renames and deletes only through that
//     folder: a folder of the tree swapped for a link during the run cannot
//     lead its output, temporary or wipe outside the tree. A folder that
//     no longer has the name the lines give it (renamed during the job)
//     gets no output: the job fails (83) and its temporary is destroyed
//     through the folder it holds;
//   - the source is destroyed only after its output is complete, flushed
//     and in place, and not with --keep, nor once the user has interrupted
//     the run; and only when it is still the file that was read, as it was
//     read (FinishSource: 85, 81, 1002, 1003).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/batch_plan.h"
#include "cli/interrupt.h"
#include "crypto/file_cipher.h"
#include "crypto/file_entries.h"
#include "crypto/result_code.h"

namespace zorv {

// One line of the report: the path, and 0 for "...OK" or the outcome.
struct Outcome {
    std::string path;
    ResultCode code = kResultOk;
};

// The outputs a run has placed, shared by its jobs. With -f a job never
// replaces one: two inputs whose outputs meet on one name (x.crp and X.crp
// where letter case does not tell names apart) would otherwise leave one
// output and destroy both sources. A name is looked up and taken under one
// lock, so two jobs cannot both find it free.
struct PlacedOutputs {
    std::mutex mutex;
    std::set<std::pair<std::uint64_t, std::uint64_t>> files;  // device and file numbers
};

// A job's output, complete in its temporary file and open, with what
// ending the job needs. The names of its source and target are kept as the
// lines show them, and as the job reaches them (through its pinned folder,
// which they need open).
struct PendingOutput {
    std::string source;
    std::string target;
    std::string sourceAt;
    std::string targetAt;
    std::shared_ptr<PinnedFolder> folder;
    // When the target is reached through folder: that folder's identity,
    // which the folder of target must still have when the output is placed.
    FileIdentity targetFolder;
    VanishingFile output;  // beside targetAt
    int mode = -1;         // given once placed (VanishingFile::Placing)
    bool plainText = false;
    bool encrypting = false;
    // A regular file had the target's name when the job began (without
    // -f): a failure is reported as 71 on the target, as when the name was
    // refused before any work.
    bool targetTaken = false;
    FileIdentity read;    // the source as it was read
    FileIdentity placed;  // the output, once placed
    // Keeps a named temporary known to a second signal until it is placed.
    std::unique_ptr<TemporaryRegistration> registration;
};

// Outputs up to this size may wait for a group's flush (CommitOutputs);
// larger ones flush on their own, where the flush is small beside the work.
constexpr std::uint64_t kMaxGroupedBytes = 1 << 20;

struct JobSettings {
    bool keep = false;     // do not destroy the source
    bool replace = false;  // -f: an existing file is replaced (still atomically)
    bool noWipe = false;   // sources are deleted without being overwritten
    std::string output;    // -o: the output's name instead of the one beside the source
    unsigned threads = 1;  // for the ranges of one decryption
    std::atomic<std::uint64_t>* progress = nullptr;
    // When set, a job whose output is small (kMaxGroupedBytes) neither
    // flushes nor places it: its complete output is left here and the job
    // has no lines; CommitOutputs then ends it.
    std::unique_ptr<PendingOutput>* pending = nullptr;
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

// Many small outputs made durable together. Flushing each output before its
// rename costs a journal commit per file, which dominates a run over many
// small files (a few milliseconds for a 4 KiB file). This ends the jobs
// whose outputs were left pending instead: it flushes them all with one
// request (SyncFiles), and only then moves each to its name in the order
// given, as a job on its own does, flushes each folder once unless the
// sources are kept, and destroys the sources. No final name appears before
// its data is on the disk, as with one file at a time. The lines of each
// job, in the order of outputs; after an interrupt the temporaries are
// destroyed and the jobs have no lines.
std::vector<std::vector<Outcome>> CommitOutputs(
    std::vector<std::unique_ptr<PendingOutput>>& outputs, const JobSettings& settings);

// For tests: called in every encryption or decryption job with the source's
// path once the source is open and checked, before anything is written.
void SetJobOpenedHook(void (*hook)(const std::string& path));

}  // namespace zorv
