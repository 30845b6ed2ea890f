#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel {

/// An open-addressed table of entry indices by a 64-bit key; equal keys
/// are told apart by the caller. A slot holds the key's high half beside
/// the index, so that a probe reads one place in memory.
class IndexTable {
public:
    explicit IndexTable(std::size_t count) {
        std::size_t size = 16;
        while (size < 2 * count)
            size *= 2;
        slots_.assign(size, 0);
        mask_ = size - 1;
    }
    /// Calls `visit(j)` for every index stored under a key with the same
    /// high half until it returns true; false when none did.
    template <typename Visit>
    bool find(std::uint64_t key, Visit visit) const {
        const std::uint64_t tag = key & kHigh;
        for (std::size_t at = static_cast<std::size_t>(key) & mask_;; at = (at + 1) & mask_) {
            const std::uint64_t slot = slots_[at];
            if (slot == 0)
                return false;
            if ((slot & kHigh) == tag && visit(static_cast<std::uint32_t>((slot & ~kHigh) - 1)))
                return true;
        }
    }
    void insert(std::uint64_t key, std::uint32_t index) {
        std::size_t at = static_cast<std::size_t>(key) & mask_;
        while (slots_[at] != 0)
            at = (at + 1) & mask_;
        slots_[at] = (key & kHigh) | (std::uint64_t{index} + 1);
    }
    /// Asks for the slot of `key` to be brought into the cache.
    void prefetch(std::uint64_t key) const {
        __builtin_prefetch(&slots_[static_cast<std::size_t>(key) & mask_]);
    }

private:
    static constexpr std::uint64_t kHigh = 0xFFFFFFFF00000000ULL;
    std::vector<std::uint64_t> slots_;
    std::size_t mask_ = 0;
};

} // namespace vantrel
