// Owners for COM: the thread's COM initialisation and one interface pointer.
#pragma once

#include <objbase.h>

#include <utility>

namespace zorv {

// Initialises COM for the calling thread (a single-threaded apartment unless
// flags say otherwise) and balances that on destruction. A thread already in
// another apartment mode (RPC_E_CHANGED_MODE) can still use COM but was not
// initialised here, so it is not uninitialised either.
class ScopedComInit {
public:
    ScopedComInit() : ScopedComInit(COINIT_APARTMENTTHREADED) {}
    // flags: the COINIT values of CoInitializeEx.
    explicit ScopedComInit(DWORD flags) : result_(CoInitializeEx(nullptr, flags)) {}
    ~ScopedComInit() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ScopedComInit(const ScopedComInit&) = delete;
    ScopedComInit& operator=(const ScopedComInit&) = delete;

    // COM can be used on this thread.
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

// Owns one reference to a COM interface; releases it on destruction.
template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* Get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Releases the reference held and returns the slot for a call that
    // hands out a new one.
    Interface** Receive() {
        Reset();
        return &pointer_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    void Reset() {
        if (pointer_ != nullptr) {
            std::exchange(pointer_, nullptr)->Release();
        }
    }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace zorv
