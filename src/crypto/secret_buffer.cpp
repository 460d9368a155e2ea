#include "crypto/secret_buffer.h"

#include <cstring>
#include <new>
#include <utility>

#include "crypto/file_handle.h"
#include "crypto/secure_zero.h"

namespace zorv {

SecretBuffer::SecretBuffer() {
    LockInMemory(bytes_, sizeof bytes_);
}

SecretBuffer::~SecretBuffer() {
    Clear();
}

SecretBuffer::SecretBuffer(SecretBuffer&& other) noexcept : SecretBuffer() {
    *this = std::move(other);
}

SecretBuffer& SecretBuffer::operator=(SecretBuffer&& other) noexcept {
    if (this != &other) {
        Assign(other.bytes_, other.size_);
        other.Clear();
    }
    return *this;
}

bool SecretBuffer::Append(char c) {
    if (size_ == kCapacity) {
        return false;
    }
    bytes_[size_++] = c;
    return true;
}

bool SecretBuffer::Assign(const char* text, std::size_t n) {
    Clear();
    if (n > kCapacity) {
        return false;
    }
    std::memcpy(bytes_, text, n);
    size_ = n;
    return true;
}

void SecretBuffer::Truncate(std::size_t n) {
    if (n < size_) {
        SecureZero(bytes_ + n, size_ - n);
        size_ = n;
    }
}

void SecretBuffer::SetSize(std::size_t n) {
    size_ = n < kCapacity ? n : kCapacity;
}

void SecretBuffer::Clear() {
    SecureZero(bytes_, sizeof bytes_);
    size_ = 0;
}

bool SecretBuffer::Equals(const SecretBuffer& other) const {
    return size_ == other.size_ && std::memcmp(bytes_, other.bytes_, size_) == 0;
}

ClearedBuffer::ClearedBuffer(std::size_t size)
    : data_(BuffersRefused() ? nullptr : new (std::nothrow) std::uint8_t[size]), size_(size) {}

ClearedBuffer::~ClearedBuffer() {
    if (data_ != nullptr) {
        SecureZero(data_, size_);
        delete[] data_;
    }
}

ClearedBuffer::ClearedBuffer(ClearedBuffer&& other) noexcept
    : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
}

}  // namespace zorv
