// Many small outputs made durable together. Flushing each output before its
// rename costs a journal commit per file, which dominates a run over many
// small files (a few milliseconds for a 4 KiB file). A group instead takes
// finished temporary files, flushes them all with one request, and only
// then moves each to its name and destroys its source: no final name ever
// appears before its data is on the disk, as with one file at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/file_jobs.h"
#include "cli/interrupt.h"
#include "crypto/file_entries.h"

namespace zorv {

// The names of a job's source and target: as its lines show them, and as
// the job reaches them (through its pinned folder, which they need open).
struct JobNames {
    std::string source;
    std::string target;
    std::string sourceAt;
    std::string targetAt;
    std::shared_ptr<PinnedFolder> folder;
};

// A complete temporary file, open, not yet flushed.
struct PendingOutput {
    std::size_t slot = 0;  // the job's place in the plan
    JobNames names;
    std::unique_ptr<VanishingFile> output;  // beside names.targetAt
    int mode = -1;                          // given once placed (VanishingFile::Placing)
    bool plainText = false;                 // wiped rather than removed when it is dropped
    bool encrypting = false;
    FileIdentity read;  // the source as it was read
    // Keeps the temporary known to a second signal until it is placed.
    std::unique_ptr<TemporaryRegistration> registration;
};

// The lines of one job, once its output is placed.
using SlotLines = std::pair<std::size_t, std::vector<Outcome>>;

class OutputGroup {
public:
    // Outputs up to this size are grouped; larger ones flush on their own,
    // where the flush is small beside the work.
    static constexpr std::uint64_t kMaxGroupedBytes = 1 << 20;
    // A group is committed once this many outputs wait. It stays below the
    // 64 temporaries that a second signal can remember, so that the pending
    // ones normally stay registered (a few more may join while a flush
    // runs; those the first signal still destroys); 48 files still share
    // one flush where there was one each.
    static constexpr std::size_t kMaxFiles = 48;

    // Called by the jobs, from any thread.
    void Add(PendingOutput output);
    std::size_t Size();

    // Flushes everything added so far in one request, then places each
    // output in the order added: moved to its name (a line when that
    // fails), the folders flushed once each unless the sources are kept,
    // and the sources destroyed unless kept. After an interrupt the
    // temporaries are dropped and their jobs have no lines. Call from one
    // thread at a time.
    std::vector<SlotLines> Commit(const JobSettings& settings);

private:
    std::mutex mutex_;
    std::vector<PendingOutput> pending_;
};

// The outputs a run has placed, shared by its jobs. With -f a job never
// replaces one: two inputs whose outputs meet on one name (x.crp and X.crp
// where letter case does not tell names apart) would otherwise leave one
// output and destroy both sources. A name is looked up and taken under one
// lock, so two jobs cannot both find it free.
class PlacedOutputs {
public:
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }
    // With the lock held.
    bool Contains(const FileIdentity& file) const;
    void Add(const FileIdentity& file);

private:
    std::mutex mutex_;
    std::set<std::pair<std::uint64_t, std::uint64_t>> files_;
};

// The steps that a job and a group share.

// Why target cannot take a job's output, or 0: 71 when the name is taken
// and -f was not given; with -f, when it holds anything but a regular file
// or a folder (1006, 1007; 74 for a system file on Windows) or an output
// of this run (1011). A folder is left to the move, which fails.
ResultCode TargetRefusal(const std::string& target, const JobSettings& settings);

// Destroys a temporary file that was not placed; a line when it could not
// be wiped or stays behind. A decryption's may hold plain text and is wiped
// through its handle, and discarded even when the wipe fails; once the user
// has interrupted the run, with a single overwrite, so that the program
// ends promptly. An encryption's only ever receives cipher text (the same
// bytes a finished run leaves on the disk), so it is simply discarded.
// The line names a named temporary in shownTarget's folder, the folder as
// the user named it, and one without a name as shownTarget.
void DestroyTemporary(VanishingFile& output, const std::string& shownTarget, bool plainText,
                      std::vector<Outcome>* lines);

// Gives a finished, flushed temporary file its final name: without
// replacing a file, or replacing it in one step with -f when TargetRefusal
// allows it; then the permission bits mode. 0 with the output's identity
// in placed (and in settings.placed); 71, 83, 84, or a refusal of
// TargetRefusal. On failure the temporary is still held.
ResultCode PlaceOutput(VanishingFile& output, const JobSettings& settings, int mode,
                       FileIdentity* placed);

// After the output (placed) is in place: the source is destroyed (wiped, or
// only deleted with --no-wipe), or with --keep left, only when its name
// still leads to the file that was read, as it was when it was opened. Its
// line is added to lines.
void FinishSource(bool encrypting, const JobNames& names, const FileIdentity& read,
                  const FileIdentity& placed, const JobSettings& settings,
                  std::vector<Outcome>* lines);

}  // namespace zorv
