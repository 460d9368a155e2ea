#include "batch/batch_steps.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/exact_name.h"
#include "app/file_system.h"
#include "app/messages.h"
#include "app/path_utils.h"
#include "batch/batch_run.h"
#include "batch/folder_walk.h"
#include "crypto/file_handle.h"
#include "crypto/leftover_names.h"
#include "crypto/secure_delete.h"

namespace zorv {

namespace {

// Copies text into a kMaxPath buffer; false (output unusable) when it has
// more than kMaxPath - 1 bytes.
bool CopyPath(char* output, const char* text) {
    std::size_t length = std::strlen(text);
    if (length >= kMaxPath) {
        return false;
    }
    std::memcpy(output, text, length + 1);
    return true;
}

// Room for an entry's name (MAX_PATH wide characters) in ANSI.
constexpr int kEntryNameBytes = 2 * MAX_PATH;

// folder joined with name as JoinInFolder joins them, in full even when it
// does not fit in kMaxPath: a bare drive ("C:") takes the name without a
// separator, "C:name" being in its current folder.
std::string JoinedInFolder(const std::string& folder, const char* name) {
    const bool separated = EndsWithBackslash(folder.c_str()) || IsBareDrive(folder.c_str());
    return folder + (separated ? "" : "\\") + name;
}

// The desktop's side of the walk (folder_walk.h): a wide search of each
// folder, and the visitor's calls.
class SearchedWalk {
public:
    using Entry = std::string;

    explicit SearchedWalk(FolderVisitor& visitor) : visitor_(visitor) {}

    // The entries as the search returns them. Each name is taken in its
    // wide form: the ANSI search would report a look-alike (another file's
    // name, or a backslash for U+00A5) for a name the code page lacks; such
    // an entry is unnamable. A folder whose search cannot be started
    // (missing, inaccessible) yields nothing.
    template <class Each>
    ResultCode List(const std::string& folder, Each each) {
        char pattern[kMaxPath];
        // A bare drive ("C:") is searched as "C:*.*", its current folder, the
        // one that IsFolder found.
        if (!CopyPath(pattern, folder.c_str()) || !JoinInFolder(pattern, "*.*")) {
            return kResultPathTooLong;
        }
        wchar_t widePattern[kMaxPath];
        if (ToWide(pattern, widePattern, kMaxPath) == 0) {
            return kPassOver;
        }
        WIN32_FIND_DATAW found;
        ScopedFindHandle search(FindFirstFileW(widePattern, &found));
        if (!search.IsValid()) {
            return kPassOver;
        }
        do {
            char name[kEntryNameBytes];
            // (ToAnsiName cannot fail: every character has at most two bytes.)
            if (ToAnsiName(found.cFileName, -1, name, kEntryNameBytes) < 0 || IsDotEntry(name)) {
                continue;
            }
            std::string path = JoinedInFolder(folder, name);
            EntryFacts facts;
            facts.exists = true;
            facts.tooLong = path.size() >= kMaxPath;
            facts.unnamable = !HasExactAnsiForm(found.cFileName, -1);
            facts.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            facts.readOnly = (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
            facts.special = (found.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0;
            each(std::move(path), name, facts);
        } while (FindNextFileW(search.Get(), &found));
        return kResultOk;
    }
    void Enter(const std::string&) {}
    void Leave() {}
    void Refuse(const std::string& path, ResultCode code) {
        visitor_.ReportFailure(path.c_str(), code);
    }
    void Leftover(const std::string&) {}
    // The search is closed: files written into the folder from here on are
    // never met by it. A walk that only looks leaves the leftovers alone.
    void Listed(const std::vector<std::string>& leftovers) {
        for (auto it = leftovers.rbegin(); visitor_.FinishesLeftovers() && it != leftovers.rend();
             ++it) {
            // A file another live run holds is passed over without a line.
            switch (FinishLeftoverFile(it->c_str())) {
                case LeftoverFinish::kFinished:
                    ++finished;
                    break;
                case LeftoverFinish::kPassedOver:
                    break;
                case LeftoverFinish::kFailed:
                    visitor_.ReportFailure(it->c_str(), kResultLeftoverKept);
                    break;
            }
        }
    }
    void Work(const std::string& path) { visitor_.ProcessFile(path.c_str()); }

    int finished = 0;  // leftovers finished, anywhere below the folder

private:
    FolderVisitor& visitor_;
};

}  // namespace

bool FlushToDisk(const char* path) {
    HANDLE raw = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    FileHandle file(reinterpret_cast<FileHandle::Native>(raw), true);
    if (!file.IsOpen()) {
        return false;
    }
    const bool flushed = file.Flush();
    return file.Close() && flushed;
}

namespace {

// The folder of path with its backslash ("C:\\" for C:\\b.txt), "" for a
// name in the current folder.
std::string FolderPart(const char* path) {
    return std::string(path, static_cast<std::size_t>(GetFileNamePart(path) - path));
}

LeftoverSweep SweepFolder(const std::string& folder) {
    LeftoverSweep sweep;
    sweep.folder = folder;
    wchar_t widePattern[kMaxPath];
    if (folder.size() + 3 >= kMaxPath ||
        ToWide((folder + "*.*").c_str(), widePattern, kMaxPath) == 0) {
        return sweep;
    }
    std::vector<std::string> leftovers;
    {
        WIN32_FIND_DATAW entry;
        ScopedFindHandle search(FindFirstFileW(widePattern, &entry));
        if (!search.IsValid()) {
            return sweep;
        }
        do {
            char name[kEntryNameBytes];
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                ToAnsiName(entry.cFileName, -1, name, kEntryNameBytes) >= 0 &&
                LeftoverKindOf(name) != LeftoverKind::kNone &&
                folder.size() + std::strlen(name) < kMaxPath) {
                leftovers.push_back(folder + name);
            }
        } while (FindNextFileW(search.Get(), &entry));
    }
    // The last found first, as the walk finishes a folder's leftovers.
    for (auto it = leftovers.rbegin(); it != leftovers.rend(); ++it) {
        switch (FinishLeftoverFile(it->c_str())) {
            case LeftoverFinish::kFinished:
                sweep.anyFinished = true;
                break;
            case LeftoverFinish::kPassedOver:
                break;  // held by a live run, which finishes it itself
            case LeftoverFinish::kFailed:
                sweep.kept.push_back(*it);
                break;
        }
    }
    return sweep;
}

}  // namespace

LeftoverSweep SweepLeftoversBeside(const char* path) {
    return SweepFolder(FolderPart(path));
}

void FinishLeftoversBeside(const char* path, BatchRun& run, std::string* lastFolder) {
    const std::string folder = FolderPart(path);
    if (folder == *lastFolder) {
        return;
    }
    *lastFolder = folder;
    const LeftoverSweep sweep = SweepFolder(folder);
    for (const std::string& kept : sweep.kept) {
        run.LogFailure(kept.c_str(), kResultLeftoverKept);
    }
    if (sweep.anyFinished) {
        run.LogNotice(folder.empty() ? "." : folder.c_str(), kResultLeftoversFinished);
    }
}

void FinishLeftoversBesideShown(const char* path) {
    const LeftoverSweep sweep = SweepLeftoversBeside(path);
    if (!sweep.kept.empty()) {
        ShowMessage(nullptr, kResultLeftoverKept, MB_ICONWARNING);
    } else if (sweep.anyFinished) {
        ShowMessage(nullptr, kResultLeftoversFinished, MB_ICONINFORMATION);
    }
}

void WalkFolder(const char* folder, FolderVisitor& visitor) {
    SearchedWalk walk(visitor);
    WalkFolderTree(visitor.Rules(), walk, std::string(folder));
    if (walk.finished > 0) {
        visitor.ReportNotice(folder, kResultLeftoversFinished);
    }
}

}  // namespace zorv
