#pragma once

#include <cstdint>
#include <limits>
#include <random>

namespace vantrel {

/// A source of uniformly distributed 32-bit numbers, behind a seam so that
/// tests can fix the sequence. Never fails.
class RandomSource {
public:
    virtual ~RandomSource();
    /// The next number of the sequence; every value of the 32-bit range is possible.
    virtual std::uint32_t next() = 0;
};

/// A pseudo-random source seeded from the system's entropy (or from a given
/// seed, which repeats the sequence). Falls back to a clock-based seed when
/// the system offers no entropy.
class SystemRandom final : public RandomSource {
public:
    SystemRandom();
    explicit SystemRandom(std::uint32_t seed) : engine_(seed) {}
    std::uint32_t next() override { return static_cast<std::uint32_t>(engine_()); }

private:
    std::mt19937 engine_;
};

/// Lets the standard algorithms (`std::shuffle`) draw from any RandomSource;
/// satisfies UniformRandomBitGenerator. Holds a reference: the source must
/// outlive it.
class RandomBits {
public:
    using result_type = std::uint32_t;

    explicit RandomBits(RandomSource& source) : source_(&source) {}
    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }
    result_type operator()() { return source_->next(); }

private:
    RandomSource* source_;
};

} // namespace vantrel
