#include "batch/batch_steps.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <string>

#include "app/exact_name.h"
#include "app/file_system.h"
#include "app/path_utils.h"
#include "batch/batch_run.h"
#include "crypto/file_handle.h"
#include "crypto/leftover_names.h"
#include "crypto/secure_delete.h"

namespace zorv {

namespace {

constexpr DWORD kReadOnlyOrSystem = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;

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

// Last-in-first-out list of the joined paths of a folder's pending files.
class PendingFiles {
public:
    PendingFiles() = default;
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;
    ~PendingFiles() {
        while (top_ != nullptr) {
            Node* next = top_->next;
            delete top_;
            top_ = next;
        }
    }

    // False when there is no memory for the entry.
    bool Push(const char* path) {
        Node* node = new (std::nothrow) Node;
        if (node == nullptr) {
            return false;
        }
        std::memcpy(node->path, path, std::strlen(path) + 1);
        node->next = top_;
        top_ = node;
        return true;
    }

    // Moves the most recently pushed path into path (a kMaxPath buffer);
    // false when the list is empty.
    bool Pop(char* path) {
        if (top_ == nullptr) {
            return false;
        }
        Node* node = top_;
        std::memcpy(path, node->path, std::strlen(node->path) + 1);
        top_ = node->next;
        delete node;
        return true;
    }

private:
    struct Node {
        Node* next;
        char path[kMaxPath];
    };
    Node* top_ = nullptr;
};

// Reports an entry whose joined path does not fit: the folder, a backslash
// where the folder has none at its end, and the whole name. Both parts have
// at most kMaxPath - 1 bytes, so the display buffer holds them in full.
void ReportTooLong(const char* folder, const char* name, FolderVisitor& visitor) {
    char shown[2 * kMaxPath];
    std::size_t length = std::strlen(folder);
    std::memcpy(shown, folder, length);
    if (!EndsWithBackslash(folder) && !IsBareDrive(folder)) {
        shown[length++] = '\\';
    }
    std::memcpy(shown + length, name, std::strlen(name) + 1);
    visitor.ReportFailure(shown, kResultPathTooLong);
}

// Room for an entry's name (MAX_PATH wide characters) in ANSI.
constexpr int kEntryNameBytes = 2 * MAX_PATH;

// The entry's name is taken in its wide form: the ANSI search would report
// a look-alike (another file's name, or a backslash for U+00A5) for a name
// the code page lacks. Such an entry is one failure line; a folder among
// them is not entered.
// What one folder's search keeps for after it is closed.
struct FolderFinds {
    PendingFiles pending;
    PendingFiles leftovers;
};

void WalkTree(const char* folder, FolderVisitor& visitor, int* finished);

void VisitEntry(const char* folder, const WIN32_FIND_DATAW& entry, FolderVisitor& visitor,
                FolderFinds& finds, int* finished) {
    char name[kEntryNameBytes];
    if (ToAnsiName(entry.cFileName, -1, name, kEntryNameBytes) < 0) {
        return;  // cannot happen: every character has at most two bytes
    }
    if (IsDotEntry(name)) {
        return;
    }
    char path[kMaxPath];
    CopyPath(path, folder);
    if (!JoinInFolder(path, name)) {
        ReportTooLong(folder, name, visitor);
        return;
    }
    if (!HasExactAnsiForm(entry.cFileName, -1)) {
        visitor.ReportFailure(path, kResultUnhandledName);
        return;
    }
    if ((entry.dwFileAttributes & kReadOnlyOrSystem) != 0) {
        visitor.ReportFailure(path, kResultReadOnlyOrSystem);
        return;
    }
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        WalkTree(path, visitor, finished);
        return;
    }
    if (LeftoverKindOf(name) != LeftoverKind::kNone) {
        // Never an input: encrypting one would keep its plain text.
        if (!finds.leftovers.Push(path)) {
            visitor.ReportFailure(path, kResultOutOfMemory);
        }
        return;
    }
    ResultCode verdict = visitor.ClassifyFile(name);
    if (verdict == kPassOver) {
        return;
    }
    if (verdict != kResultOk) {
        visitor.ReportFailure(path, verdict);
        return;
    }
    if (!finds.pending.Push(path)) {
        visitor.ReportFailure(path, kResultOutOfMemory);
    }
}

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

void WalkTree(const char* folder, FolderVisitor& visitor, int* finished) {
    char pattern[kMaxPath];
    // A bare drive ("C:") is searched as "C:*.*", its current folder, the one
    // that IsFolder found.
    if (!CopyPath(pattern, folder) || !JoinInFolder(pattern, "*.*")) {
        visitor.ReportFailure(folder, kResultPathTooLong);
        return;
    }
    wchar_t widePattern[kMaxPath];
    if (ToWide(pattern, widePattern, kMaxPath) == 0) {
        return;
    }
    FolderFinds finds;
    {
        WIN32_FIND_DATAW entry;
        ScopedFindHandle search(FindFirstFileW(widePattern, &entry));
        if (!search.IsValid()) {
            return;
        }
        do {
            VisitEntry(folder, entry, visitor, finds, finished);
        } while (FindNextFileW(search.Get(), &entry));
    }
    // The search is closed: files written into the folder from here on are
    // never met by it.
    char path[kMaxPath];
    while (visitor.FinishesLeftovers() && finds.leftovers.Pop(path)) {
        if (FinishLeftover(path)) {
            ++*finished;
        } else {
            visitor.ReportFailure(path, kResultLeftoverKept);
        }
    }
    while (finds.pending.Pop(path)) {
        visitor.ProcessFile(path);
    }
}

}  // namespace

void FinishLeftoversBeside(const char* path, BatchRun& run, std::string* lastFolder) {
    // The folder with its backslash ("C:\\" for C:\\b.txt), "" for a name in
    // the current folder.
    const std::string folder(path, static_cast<std::size_t>(GetFileNamePart(path) - path));
    if (folder == *lastFolder) {
        return;
    }
    *lastFolder = folder;
    wchar_t widePattern[kMaxPath];
    if (folder.size() + 3 >= kMaxPath ||
        ToWide((folder + "*.*").c_str(), widePattern, kMaxPath) == 0) {
        return;
    }
    PendingFiles leftovers;
    {
        WIN32_FIND_DATAW entry;
        ScopedFindHandle search(FindFirstFileW(widePattern, &entry));
        if (!search.IsValid()) {
            return;
        }
        do {
            char name[kEntryNameBytes];
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                ToAnsiName(entry.cFileName, -1, name, kEntryNameBytes) >= 0 &&
                LeftoverKindOf(name) != LeftoverKind::kNone &&
                folder.size() + std::strlen(name) < kMaxPath) {
                leftovers.Push((folder + name).c_str());
            }
        } while (FindNextFileW(search.Get(), &entry));
    }
    char leftover[kMaxPath];
    bool anyFinished = false;
    while (leftovers.Pop(leftover)) {
        if (FinishLeftover(leftover)) {
            anyFinished = true;
        } else {
            run.LogFailure(leftover, kResultLeftoverKept);
        }
    }
    if (anyFinished) {
        run.LogNotice(folder.empty() ? "." : folder.c_str(), kResultLeftoversFinished);
    }
}

void WalkFolder(const char* folder, FolderVisitor& visitor) {
    int finished = 0;
    WalkTree(folder, visitor, &finished);
    if (finished > 0) {
        visitor.ReportNotice(folder, kResultLeftoversFinished);
    }
}

}  // namespace zorv
