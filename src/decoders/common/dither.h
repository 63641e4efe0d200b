// The ±0.5 dither that keeps a silent input from sitting exactly on zero,
// so that zero-crossing trackers see random crossings instead of none.
// It runs once per sample in every chain: a xorshift64 step and one multiply,
// no locks, no allocation, no library call. Seeded per chain, so every run of
// the same audio with the same seed decodes identically.
#pragma once

#include <cstddef>
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
    double uniform() noexcept { return static_cast<double>(static_cast<std::int64_t>(next53())) * 0x1.0p-53; }

    /// Uniform in [-0.5, 0.5): the same value as uniform() - 0.5, bit for bit.
    /// The top 53 bits k give (k - 2^52) / 2^53; every step is exact, so
    /// subtracting before the conversion changes nothing but the cost.
    double offset() noexcept {
        return static_cast<double>(static_cast<std::int64_t>(next53()) - kHalf) * 0x1.0p-53;
    }

    /// The next `count` offsets, in order, as `count` calls of offset() would
    /// give them. One tight loop with the state in a register, for the
    /// per-sample loops that want their dither ready before they start.
    void fillOffsets(double* out, std::size_t count) noexcept {
        std::uint64_t s = m_state;
        for (std::size_t n = 0; n < count; ++n) {
            s = step(s);
            out[n] = static_cast<double>(static_cast<std::int64_t>(s >> 11) - kHalf) * 0x1.0p-53;
        }
        m_state = s;
    }

    /// The generator's state, for vector code that steps several dithers
    /// side by side with the same xorshift and gives them back afterwards.
    std::uint64_t state() const noexcept { return m_state; }
    void setState(std::uint64_t state) noexcept { m_state = state; }

private:
    static constexpr std::int64_t kHalf = std::int64_t{1} << 52;

    static std::uint64_t step(std::uint64_t s) noexcept {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    // The top 53 bits of the next state: below 2^53, so the conversion to
    // double is exact and can go through the signed instruction.
    std::uint64_t next53() noexcept {
        m_state = step(m_state);
        return m_state >> 11;
    }

    std::uint64_t m_state = 0;
};

} // namespace tolvana
