// Owners of Win32 handles: each closes its handle in the destructor with the
// function that kind of handle needs. They are move-only, so no copy can
// close a handle twice. Which value means "none" differs by kind: null for
// kernel objects, menus and registry keys, INVALID_HANDLE_VALUE for files and
// searches.
#pragma once

#include <windows.h>

#include <utility>

namespace zorv {

// Traits: Handle, the value that means none, and how to release one.
template <typename Traits>
class ScopedWin32Handle {
public:
    using Handle = typename Traits::Handle;

    ScopedWin32Handle() = default;
    // Takes handle (may be the none value) as its own.
    explicit ScopedWin32Handle(Handle handle) : handle_(handle) {}
    ScopedWin32Handle(ScopedWin32Handle&& other) noexcept : handle_(other.Release()) {}
    ScopedWin32Handle& operator=(ScopedWin32Handle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    ScopedWin32Handle(const ScopedWin32Handle&) = delete;
    ScopedWin32Handle& operator=(const ScopedWin32Handle&) = delete;
    ~ScopedWin32Handle() { Reset(); }

    Handle Get() const { return handle_; }
    bool IsValid() const { return handle_ != Traits::None(); }

    // Closes the held handle (if any) and takes handle in its place.
    void Reset(Handle handle = Traits::None()) {
        if (IsValid()) {
            Traits::Close(handle_);
        }
        handle_ = handle;
    }
    void Close() { Reset(); }

    // Gives the handle up without closing it; the owner then holds none.
    Handle Release() { return std::exchange(handle_, Traits::None()); }

private:
    Handle handle_ = Traits::None();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};

struct MenuTraits {
    using Handle = HMENU;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { DestroyMenu(handle); }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { RegCloseKey(handle); }
};

// A thread, process, event or mutex.
using ScopedHandle = ScopedWin32Handle<KernelHandleTraits>;
// A CreateFile handle held for a query or a flush; files that are read or
// written belong to the file seams instead.
using ScopedFileHandle = ScopedWin32Handle<FileHandleTraits>;
// A FindFirstFile search.
using ScopedFindHandle = ScopedWin32Handle<FindHandleTraits>;
// A menu that is no window's menu (one loaded from the resources);
// destroying it destroys its pop-ups with it.
using ScopedMenu = ScopedWin32Handle<MenuTraits>;
// An open registry key.
using ScopedRegistryKey = ScopedWin32Handle<RegistryKeyTraits>;

}  // namespace zorv
