// The ±0.5 dither that keeps a silent input from sitting exactly on zero,
// so that zero-crossing trackers see random crossings instead of none.
// It runs once per sample in every chain: a xorshift64 step and one multiply,
// no locks, no allocation, no library call. Seeded per chain, so every run of
// the same audio with the same seed decodes identically.
#pragma once

#include <cstdint>

namespace tolvana {

class Dither {
public:
    explicit Dither(std::uint64_t seed = 0x9E3779B97F4A7C15ull) noexcept { reseed(seed); }

    void reseed(std::uint64_t seed) noexcept {
        // splitmix64 spreads any seed (0 included) to a non-zero xorshift state
        std::uint64_t z = seed + 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        m_state = z != 0 ? z : 0x2545F4914F6CDD1Dull;
    }

    /// Uniform in [0, 1).
    double uniform() noexcept {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return static_cast<double>(m_state >> 11) * 0x1.0p-53;
    }

    /// Uniform in [-0.5, 0.5).
    double offset() noexcept { return uniform() - 0.5; }

private:
    std::uint64_t m_state = 0;
};

} // namespace tolvana
