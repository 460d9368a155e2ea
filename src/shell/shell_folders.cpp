#include "shell/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "app/file_system.h"
#include "app/module_instance.h"
#include "app/path_utils.h"
#include "app/settings.h"
#include "shell/com_ptr.h"

namespace zorv {
namespace {

// An item list allocated by the shell, freed with the shell's allocator.
class ScopedItemList {
public:
    explicit ScopedItemList(IMalloc* allocator) : allocator_(allocator) {}
    ~ScopedItemList() {
        if (items_ != nullptr) {
            allocator_->Free(items_);
        }
    }
    ScopedItemList(const ScopedItemList&) = delete;
    ScopedItemList& operator=(const ScopedItemList&) = delete;

    LPITEMIDLIST Get() const { return items_; }
    LPITEMIDLIST* Receive() { return &items_; }

private:
    IMalloc* allocator_;
    LPITEMIDLIST items_ = nullptr;
};

void SaveLink(IShellLinkA* link, const char* shortcutPath) {
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid()))) {
        return;
    }
    char executable[kMaxPath] = {};
    char folder[kMaxPath] = {};
    GetModuleFileNameA(ModuleInstance(), executable, kMaxPath);
    GetModuleFolder(ModuleInstance(), folder);
    link->SetPath(executable);
    link->SetWorkingDirectory(folder);
    link->SetShowCmd(SW_SHOWNORMAL);

    wchar_t widePath[kMaxPath];
    ToWide(shortcutPath, widePath, static_cast<int>(kMaxPath));
    file->Save(widePath, TRUE);
}

}  // namespace

bool GetSpecialFolderPath(int csidl, char* out) {
    ComPtr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(allocator.Receive()))) {
        return false;
    }
    ScopedItemList items(allocator.Get());
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, items.Receive()))) {
        return false;
    }
    char path[kMaxPath] = {};
    if (!SHGetPathFromIDListA(items.Get(), path)) {
        return false;
    }
    std::strcpy(out, path);
    return true;
}

void CreateSendToShortcut(const char* shortcutPath) {
    ScopedComInit com;
    if (!com.Usable()) {
        return;
    }
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.ReceiveVoid()))) {
        return;
    }
    SaveLink(link.Get(), shortcutPath);
}

}  // namespace zorv
