#include "platform/Random.h"

#include <chrono>

namespace vantrel {
namespace {

std::uint32_t entropySeed() {
    // random_device reports a missing entropy source by throwing; the core
    // must not, and a shuffle needs no more than a varying seed.
    try {
        std::random_device device;
        return device();
    } catch (...) {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ticks) ^
                                          (static_cast<std::uint64_t>(ticks) >> 32));
    }
}

} // namespace

RandomSource::~RandomSource() = default;

SystemRandom::SystemRandom() : engine_(entropySeed()) {}

} // namespace vantrel
