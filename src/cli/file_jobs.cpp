#include "cli/file_jobs.h"

#include <cstdio>

#include "cli/batch_plan.h"
#include "cli/interrupt.h"
#include "cli/key_protection.h"
#include "cli/parallel_transform.h"
#include "cli/pipe_transform.h"
#include "cli/platform_file.h"
#include "cli/std_streams.h"
#include "crypto/secure_delete.h"

namespace zorv {
namespace {

using Transform = ResultCode (*)(const FileCipher&, const PlatformFile&, std::uint64_t,
                                 const PlatformFile&, const TransformOptions&);

ResultCode EncryptTransform(const FileCipher& cipher, const PlatformFile& source,
                            std::uint64_t size, const PlatformFile& target,
                            const TransformOptions& options) {
    return EncryptToFile(cipher, source, size, target, options);
}

ResultCode DecryptTransform(const FileCipher& cipher, const PlatformFile& source,
                            std::uint64_t size, const PlatformFile& target,
                            const TransformOptions& options) {
    return DecryptToFile(cipher, source, size, &target, options);
}

// Writes one file from its start, in the order the bytes come.
class SequentialFileSink : public ByteSink {
public:
    explicit SequentialFileSink(const PlatformFile& file) : file_(file) {}

    bool Write(const std::uint8_t* data, std::size_t n) override {
        if (!file_.WriteAt(offset_, data, n)) {
            return false;
        }
        offset_ += n;
        return true;
    }

private:
    const PlatformFile& file_;
    std::uint64_t offset_ = 0;
};

// Standard input's transforms, in the shape of the file transforms (they
// have no source file and no size).
ResultCode EncryptStandardInput(const FileCipher& cipher, const PlatformFile&, std::uint64_t,
                                const PlatformFile& target, const TransformOptions&) {
    FileCipher own(cipher);
    LockInMemory(&own, sizeof own);
    StandardInputSource source;
    SequentialFileSink sink(target);
    return Interrupted() ? kResultInterrupted : EncryptUnsized(own, source, sink);
}

ResultCode DecryptStandardInput(const FileCipher& cipher, const PlatformFile&, std::uint64_t,
                                const PlatformFile& target, const TransformOptions&) {
    FileCipher own(cipher);
    LockInMemory(&own, sizeof own);
    StandardInputSource source;
    SequentialFileSink sink(target);
    ResultCode result = DecryptUnsized(own, source, sink);
    return Interrupted() && result != kResultOk ? kResultInterrupted : result;
}

bool HoldsPlainText(Transform transform) {
    return transform == DecryptTransform || transform == DecryptStandardInput;
}

// Moves the finished temporary file to its name, replacing an existing file
// only when asked to.
ResultCode PlaceOutput(const std::string& temporary, const std::string& target,
                       const JobSettings& settings) {
    return settings.replace ? RenameReplace(temporary, target) : RenameNoReplace(temporary, target);
}

// A source whose output is in place: wiped, or with --no-wipe only deleted.
bool DestroySource(const std::string& path, const JobSettings& settings) {
    return settings.noWipe ? RemoveFile(path) : SecureDelete(path.c_str());
}

TransformOptions OptionsOf(const JobSettings& settings) {
    TransformOptions options;
    options.threads = settings.threads;
    options.progress = settings.progress;
    return options;
}

// Destroys a temporary file; a line when it stays behind. A decryption's
// may hold plain text and is wiped. An encryption's only ever receives
// cipher text (the same bytes a finished run leaves on the disk), so it is
// simply removed: wiping costs 24 synchronous passes, and an interrupted
// run over a large file should end promptly.
void DestroyTemporary(const std::string& temporary, bool plainText, std::vector<Outcome>* lines) {
    bool removed =
        plainText ? SecureDelete(temporary.c_str()) : std::remove(temporary.c_str()) == 0;
    if (!removed) {
        lines->push_back(Outcome{temporary, kResultDeleteFailed});
    }
}

// Transform into a temporary file beside target, flush it, give it the
// source's times, and move it to target. True when target is in place;
// otherwise the failure's lines (none when interrupted) are in lines.
bool WriteTarget(Transform transform, const FileCipher& cipher, const std::string& path,
                 const PlatformFile& source, std::uint64_t size, const std::string& target,
                 const JobSettings& settings, std::vector<Outcome>* lines) {
    PlatformFile output;
    std::string temporary;
    if (!CreateTemporaryFile(FolderOf(target), &output, &temporary)) {
        lines->push_back(Outcome{path, kResultNoTemporary});
        return false;
    }
    ResultCode result = transform(cipher, source, size, output, OptionsOf(settings));
    if (result == kResultOk) {
        if (source.IsOpen()) {
            output.CopyMetadataFrom(source);
        } else {
            output.GiveNewFileMode();
        }
        // On the disk before the name is: a crash must never leave a short
        // file under the final name, and the source may be wiped next.
        result = output.Sync() ? kResultOk : kResultWriteFailed;
    }
    output.Close();
    if (result != kResultOk) {
        if (result != kResultInterrupted) {
            lines->push_back(Outcome{path, result});
        }
        DestroyTemporary(temporary, HoldsPlainText(transform), lines);
        return false;
    }
    ResultCode moved = PlaceOutput(temporary, target, settings);
    if (moved != kResultOk) {
        lines->push_back(Outcome{target, moved});
        DestroyTemporary(temporary, HoldsPlainText(transform), lines);
        return false;
    }
    if (!settings.keep) {
        // The new name must survive a power cut before the source is wiped;
        // with --keep nothing depends on it, and each folder flush costs a
        // journal commit.
        SyncFolder(FolderOf(target));
    }
    return true;
}

// The whole job around WriteTarget: open the source, and destroy it after
// success unless it is kept.
std::vector<Outcome> TransformJob(Transform transform, const FileCipher& cipher,
                                  const std::string& path, const std::string& target,
                                  const JobSettings& settings) {
    if (target.size() > kMaxPathBytes || NameOf(target).size() > kMaxNameBytes) {
        return {Outcome{path, kResultPathTooLong}};
    }
    PlatformFile source;
    if (!source.OpenForRead(path)) {
        return {Outcome{path, WhyNotOpened(path)}};
    }
    std::int64_t size = source.Size();
    if (size < 0) {
        return {Outcome{path, kResultReadFailed}};
    }
    if (size == 0) {
        return {Outcome{path, kResultEmptyFile}};
    }
    std::vector<Outcome> lines;
    bool placed = WriteTarget(transform, cipher, path, source, static_cast<std::uint64_t>(size),
                              target, settings, &lines);
    source.Close();  // Windows deletes no open file
    if (!placed) {
        return lines;
    }
    // Interrupted after the move: the output is in place and the source
    // stays as it was.
    bool destroyed = settings.keep || Interrupted() || DestroySource(path, settings);
    lines.push_back(Outcome{path, destroyed ? kResultOk : kResultDeleteFailed});
    return lines;
}

}  // namespace

std::vector<Outcome> EncryptJob(const FileCipher& cipher, const std::string& path,
                                const JobSettings& settings) {
    std::string target = settings.output.empty() ? path + ".crp" : settings.output;
    return TransformJob(EncryptTransform, cipher, path, target, settings);
}

std::vector<Outcome> DecryptJob(const FileCipher& cipher, const std::string& path,
                                const JobSettings& settings) {
    // The plan passes only names matching *.crp: the last four bytes are the
    // extension (no double-byte character ends in '.').
    std::string target =
        settings.output.empty() ? path.substr(0, path.size() - 4) : settings.output;
    return TransformJob(DecryptTransform, cipher, path, target, settings);
}

std::vector<Outcome> VerifyJob(const FileCipher& cipher, const std::string& path,
                               const JobSettings& settings) {
    PlatformFile source;
    if (!source.OpenForRead(path)) {
        return {Outcome{path, WhyNotOpened(path)}};
    }
    std::int64_t size = source.Size();
    if (size < 0) {
        return {Outcome{path, kResultReadFailed}};
    }
    ResultCode result = DecryptToFile(cipher, source, static_cast<std::uint64_t>(size), nullptr,
                                      OptionsOf(settings));
    if (result == kResultInterrupted) {
        return {};
    }
    return {Outcome{path, result}};
}

std::vector<Outcome> StandardInputJob(const FileCipher& cipher, bool decrypting,
                                      const JobSettings& settings) {
    if (settings.output.size() > kMaxPathBytes) {
        return {Outcome{settings.output, kResultPathTooLong}};
    }
    PlatformFile none;
    std::vector<Outcome> lines;
    Transform transform = decrypting ? DecryptStandardInput : EncryptStandardInput;
    if (WriteTarget(transform, cipher, "-", none, 0, settings.output, settings, &lines)) {
        lines.push_back(Outcome{"-", kResultOk});
    }
    return lines;
}

}  // namespace zorv
