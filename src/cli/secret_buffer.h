// A fixed-size buffer for a password or a key that is cleared with
// SecureZero whenever it is emptied or destroyed. Move-only; a move clears
// the source, so the secret exists in one place at a time.
#pragma once

#include <cstddef>

namespace zorv {

class SecretBuffer {
public:
    // Longer than any password the key schedule takes (56 bytes) even in
    // UTF-8 with three bytes a character, so a line is never cut silently:
    // what does not fit is refused as too long.
    static constexpr std::size_t kCapacity = 512;

    // Its bytes are locked in memory where the system allows.
    SecretBuffer();
    ~SecretBuffer();
    SecretBuffer(SecretBuffer&& other) noexcept;
    SecretBuffer& operator=(SecretBuffer&& other) noexcept;
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;

    // Appends one byte; false (and no change) when the buffer is full.
    bool Append(char c);
    // Replaces the contents; false (buffer left empty) when n > kCapacity.
    bool Assign(const char* text, std::size_t n);
    // Shortens to n bytes (n <= size) and clears what was cut.
    void Truncate(std::size_t n);
    void Clear();

    const char* data() const { return bytes_; }
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(bytes_); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool Equals(const SecretBuffer& other) const;

private:
    char bytes_[kCapacity] = {};
    std::size_t size_ = 0;
};

}  // namespace zorv
