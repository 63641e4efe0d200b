// The first two stages of the POCSAG slicer, a whole block at a time:
// dither, then the median-of-five click filter.
//
// Both stages look at nothing the slicer decides, so they run ahead of it in
// one pass per block that a vector unit can take four samples at a time.
// The dither comes from sixteen xorshift64 generators side by side: sample n
// of a block takes its offset from generator n mod 16, so the steps of a
// group of samples are independent and run four to a vector instruction. A
// single generator would chain every sample to the one before it, and that
// chain alone took about a sixth of the POCSAG chain's time; four would
// still chain each vector's three shift-and-xor steps to the last.
#pragma once

#include <array>
#include <cstdint>

#include "decoders/common/types.h"

namespace tolvana::pocsag {

/// Sixteen interleaved xorshift64 generators; uniform offsets in [-0.5, 0.5).
class InterleavedDither {
public:
    static constexpr std::size_t kWays = 16;

    /// Each generator gets its own state from a splitmix64 sequence started at
    /// `seed`: the same seed always gives the same offsets.
    explicit InterleavedDither(std::uint64_t seed) noexcept;

    /// The offset that generator `way` gives next, as the block pass takes it.
    double next(std::size_t way) noexcept;

    std::array<std::uint64_t, kWays>& states() noexcept { return m_state; }

    /// The offset for a generator state: its top 52 bits as the fraction of
    /// a number in [1, 2), less 1.5. Both steps are exact.
    static double offsetOf(std::uint64_t state) noexcept;

private:
    std::array<std::uint64_t, kWays> m_state{};
};

/// What carries over from one block to the next.
struct ClickFilterState {
    explicit ClickFilterState(std::uint64_t seed) noexcept : dither(seed) {}

    InterleavedDither dither;
    std::array<double, 4> last{}; ///< the last four dithered samples, oldest first
};

/// out[n] = median of the dithered samples n-4 .. n (the first four of a
/// block reach back into the block before). The median of five is taken as
/// median5() below computes it, so any version gives the same numbers, NaN
/// and signed zeros included. Uses AVX2 where the processor has it.
void filterClicks(const ChannelBlock& in, ClickFilterState& state, ChannelBlock& out) noexcept;

/// The same, one sample at a time: what the vector form is held to.
void filterClicksPlain(const ChannelBlock& in, ClickFilterState& state, ChannelBlock& out) noexcept;

/// The numbers the slicer compares, for filtered samples from 16-bit audio
/// (|x| <= 32769), each plus `offset` so that they index the decay table
/// directly. For a whole number p, 2x > p exactly when ceil(2x) > p, and
/// 2x < p exactly when floor(2x) < p: the slicer's tests against its
/// whole-number peaks need no conversion to doubles then.
struct WholeSamples {
    std::array<std::int32_t, kBlockFrames> rounded{};      ///< round(x), ties to even
    std::array<std::int32_t, kBlockFrames> ceilDoubled{};  ///< ceil(2x)
    std::array<std::int32_t, kBlockFrames> floorDoubled{}; ///< floor(2x)
};

/// Fills `out` from `x`. Uses AVX2 where the processor has it.
void toWholeSamples(const ChannelBlock& x, std::int32_t offset, WholeSamples& out) noexcept;

/// The same, one sample at a time.
void toWholeSamplesPlain(const ChannelBlock& x, std::int32_t offset, WholeSamples& out) noexcept;

} // namespace tolvana::pocsag
