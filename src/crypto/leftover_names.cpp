#include "crypto/leftover_names.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zorv {
namespace {

constexpr char kPrefix[] = ".zorv-";
constexpr std::size_t kPrefixBytes = sizeof kPrefix - 1;
constexpr std::size_t kDigits = 8;
constexpr char kTemporarySuffix[] = ".tmp";
constexpr char kWipeSuffix[] = ".wipe";

// A 64-bit mix (splitmix64's finaliser), so that close inputs give unrelated
// names.
uint64_t Mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9u;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebu;
    return x ^ (x >> 31);
}

bool IsLowerHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

void MakeLeftoverName(LeftoverKind kind, char* name) {
    // Not a secret, only a name unlikely to be taken: the clock, a counter
    // for calls within one tick, and a stack address, which differs between
    // processes started at the same moment.
    static std::atomic<uint64_t> counter{0};
    const uint64_t ticks =
        static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    int local = 0;
    const uint64_t seed = ticks ^ Mix(counter.fetch_add(1) + 1) ^
                          Mix(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&local)));
    const unsigned digits = static_cast<unsigned>(Mix(seed) & 0xFFFFFFFFu);
    std::snprintf(name, kLeftoverNameBytes, "%s%08x%s", kPrefix, digits,
                  kind == LeftoverKind::kWipe ? kWipeSuffix : kTemporarySuffix);
}

LeftoverKind LeftoverKindOf(const char* name) {
    if (std::strncmp(name, kPrefix, kPrefixBytes) != 0) {
        return LeftoverKind::kNone;
    }
    const char* digits = name + kPrefixBytes;
    for (std::size_t i = 0; i < kDigits; ++i) {
        if (!IsLowerHex(digits[i])) {
            return LeftoverKind::kNone;
        }
    }
    const char* suffix = digits + kDigits;
    if (std::strcmp(suffix, kTemporarySuffix) == 0) {
        return LeftoverKind::kTemporary;
    }
    if (std::strcmp(suffix, kWipeSuffix) == 0) {
        return LeftoverKind::kWipe;
    }
    return LeftoverKind::kNone;
}

}  // namespace zorv
