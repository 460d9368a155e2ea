// The zero-on-free buffers of Zorv: SecretBuffer for a password or a key in
// both programs, and ClearedBuffer for a transform's pieces of plain text.
// Both are cleared with SecureZero whenever they are emptied or destroyed,
// on every path out of their owner.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorv {

// A fixed-size buffer for one password or key. Move-only; a move clears the
// source, so the secret exists in one place at a time.
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

    // For a system call that writes the secret in place (a dialog reads its
    // password edit straight into the buffer): all kCapacity bytes are
    // writable; SetSize then records how many it wrote (at most kCapacity).
    char* WritableData() { return bytes_; }
    void SetSize(std::size_t n);

    const char* data() const { return bytes_; }
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(bytes_); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool Equals(const SecretBuffer& other) const;

private:
    char bytes_[kCapacity] = {};
    std::size_t size_ = 0;
};

// One heap buffer of a transform, which holds plain text. data() is null
// when it could not be allocated (or a test's file fault plan refuses the
// transforms their buffers); the caller reports 72. Move-only.
class ClearedBuffer {
public:
    explicit ClearedBuffer(std::size_t size);
    ~ClearedBuffer();
    ClearedBuffer(ClearedBuffer&& other) noexcept;
    ClearedBuffer(const ClearedBuffer&) = delete;
    ClearedBuffer& operator=(const ClearedBuffer&) = delete;
    ClearedBuffer& operator=(ClearedBuffer&&) = delete;

    std::uint8_t* data() const { return data_; }

private:
    std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace zorv
