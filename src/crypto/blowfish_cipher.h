// The Blowfish block cipher (16 rounds, keys of 1 to 56 bytes) at word level,
// and the buffer operations that apply a block mode to a chunk of bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorv {

// Byte order of the file format: every 32-bit half of a block is stored
// little-endian. These helpers are the only place where bytes become words.
inline uint32_t load32_le(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void store32_le(uint8_t* p, uint32_t w) {
    p[0] = static_cast<uint8_t>(w);
    p[1] = static_cast<uint8_t>(w >> 8);
    p[2] = static_cast<uint8_t>(w >> 16);
    p[3] = static_cast<uint8_t>(w >> 24);
}

// The initial subkeys: the fractional hexadecimal digits of pi, P[0..17]
// followed by S[0][0..255] … S[3][0..255] (1042 words).
extern const uint32_t kBlowfishInitialTables[18 + 4 * 256];

class BlowfishCipher {
public:
    static constexpr int32_t kMaxKeyLength = 56;

    // Copies the initial tables and mixes in keyLength bytes of key. The key
    // is read only during construction; callers may clear it right after.
    // Precondition: key != nullptr and 1 <= keyLength <= 56 (the key index is
    // taken modulo the length). A null key or a length below 1 leaves the
    // initial tables.
    BlowfishCipher(const void* key, int32_t keyLength);
    BlowfishCipher(const BlowfishCipher&) = default;
    BlowfishCipher& operator=(const BlowfishCipher&) = default;
    // Clears the subkeys so that no key schedule outlives the object.
    virtual ~BlowfishCipher();

    // One block given as its halves (L is the upper half of the published
    // 64-bit value). Inputs are taken by value, so out pointers may alias the
    // storage they were read from.
    virtual void EncryptBlock(uint32_t L, uint32_t R, uint32_t* outL, uint32_t* outR);
    virtual void DecryptBlock(uint32_t L, uint32_t R, uint32_t* outL, uint32_t* outR);

    // Apply EncryptBlock/DecryptBlock (through the virtual slot, so a derived
    // mode runs its own step) to every whole 8-byte group of src, halves
    // loaded and stored little-endian. src and dst may be the same buffer.
    // Always return 0.
    //
    // Non-final calls: count should be a multiple of 8; trailing count % 8
    // bytes are left untouched in dst yet counted in *outCount = count.
    //
    // EncryptBuffer with final = true pads: the last r = count % 8 bytes are
    // followed by 7 - r zero bytes and the digit '0' + (8 - r), and that block
    // is encrypted too. dst needs room for count - r + 8 bytes;
    // *outCount = count - r + 8.
    //
    // DecryptBuffer with final = true strips the pad: when the last output
    // byte is an ASCII digit d, *outCount = count - d, never below 0; trailing
    // count % 8 bytes are copied to dst unchanged (identical in place and
    // between separate buffers). count may be 0 (then *outCount = 0).
    int EncryptBuffer(const uint8_t* src, uint32_t count, uint8_t* dst, uint32_t* outCount,
                      bool final);
    int DecryptBuffer(const uint8_t* src, uint32_t count, uint8_t* dst, uint32_t* outCount,
                      bool final);

    // The current subkeys, for tests of the key schedule.
    uint32_t Subkey(int i) const { return p_[i]; }
    uint32_t SboxEntry(int box, int index) const { return s_[box * 256 + index]; }

protected:
    // Bulk hooks of the buffer operations: apply the block step to `groups`
    // whole 8-byte groups. The default calls the virtual block operation per
    // group; a mode may override them with a faster route that produces the
    // same bytes.
    virtual void EncryptGroups(const uint8_t* src, uint8_t* dst, size_t groups);
    virtual void DecryptGroups(const uint8_t* src, uint8_t* dst, size_t groups);

    // The plain 16-round block cipher, not virtual, for modes built on it.
    // Defined in crypto/blowfish_rounds.h, which only the cipher sources
    // include.
    inline void EncryptWords(uint32_t& L, uint32_t& R) const;
    inline void DecryptWords(uint32_t& L, uint32_t& R) const;
    // N independent blocks at once (their rounds interleave, which keeps
    // the CPU busy while each S-box load waits).
    template <size_t N>
    inline void EncryptWordsN(uint32_t* L, uint32_t* R) const;

private:
    void KeySchedule(const uint8_t* key, int32_t keyLength);
    inline uint32_t RoundFunction(uint32_t x) const;

    uint32_t p_[18];
    uint32_t s_[4 * 256];  // S[b][e] is s_[b * 256 + e]
};

}  // namespace zorv
