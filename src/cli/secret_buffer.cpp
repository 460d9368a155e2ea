#include "cli/secret_buffer.h"

#include <cstring>
#include <utility>

#include "cli/key_protection.h"
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

void SecretBuffer::Clear() {
    SecureZero(bytes_, sizeof bytes_);
    size_ = 0;
}

bool SecretBuffer::Equals(const SecretBuffer& other) const {
    return size_ == other.size_ && std::memcmp(bytes_, other.bytes_, size_) == 0;
}

}  // namespace zorv
