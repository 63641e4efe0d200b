// The per-sample front end that the FMS and the five-tone trackers share:
// a one-pole running mean removes the sound card's offset, a dither of ±0.5
// keeps silence from sitting on zero, and the zero crossings are measured:
//
//        previous  x                    rising crossing: previous < 0 <= x
//   0 ------+------*------              t = -previous / max(x - previous, 1)
//           |     /                     period = rising counter - 1 + t
//           *    /                      rising counter = 1 - t (then +1 per sample)
//               ^ crossing, t of a sample after `previous`
//
// Falling crossings mirror it with the falling counter. A counter counts the
// samples since the last crossing of its direction, starting from the
// fraction of a sample by which that crossing came before its sample, so
// `period` is the interpolated distance between two like crossings: one full
// period of the tone. Right after start-up a counter has seen no crossing yet
// and the "period" can be zero or negative; such a crossing gives no period.
//
// Per sample:  mean = mean * keep + x * weight
//              v    = (x - mean) + dither        -> crossings of v
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "decoders/common/dither.h"
#include "decoders/common/types.h"

namespace tolvana {

/// What the crossing search carries from one block to the next.
struct CrossingState {
    double previous = 0.0; ///< the last sample of the previous block
    double rising = 0.0;   ///< samples since the last rising crossing
    double falling = 0.0;  ///< samples since the last falling crossing
};

/// One tracker's front end: its mean's weights, the mean, its dither, its
/// crossing state.
struct CrossingFront {
    CrossingFront(double keepWeight, double sampleWeight, std::uint64_t seed) noexcept
        : keep(keepWeight), weight(sampleWeight), dither(seed) {}

    double keep;   ///< weight of the old mean
    double weight; ///< weight of the new sample
    double mean = 0.0;
    Dither dither;
    CrossingState crossings;
};

/// The crossings of one block that gave a period, in order: `period[k]` in
/// samples, positive for a rising and negated for a falling crossing, and
/// `at[k]` the index of the sample that showed it.
struct CrossingList {
    std::size_t count = 0;
    std::array<double, kBlockFrames + 1> period; // one spare entry: written as scratch
    std::array<std::uint16_t, kBlockFrames + 1> at;
};

/// Runs the crossing search over `count` samples (at most 65536), writing as
/// CrossingList does; both outputs need room for `count + 1` entries.
/// Returns the number of periods.
///
/// No branch per sample: on noise the crossings come at random every few
/// samples, and a branch would be mispredicted at nearly every one.
std::size_t findCrossings(const double* samples, std::size_t count, CrossingState& state,
                          double* period, std::uint16_t* at) noexcept;

/// Runs one front end over a block.
void runFront(const ChannelBlock& block, CrossingFront& front, CrossingList& out) noexcept;

/// Runs two front ends over the same block in one pass, each with exactly
/// the arithmetic of runFront (two lanes of one vector: half the work).
void runFronts(const ChannelBlock& block, CrossingFront& a, CrossingList& outA, CrossingFront& b,
               CrossingList& outB) noexcept;

} // namespace tolvana
