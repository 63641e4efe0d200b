// The per-sample front end that the FMS and the five-tone trackers share:
// a band-pass limits the audio to the chain's signalling band (and removes
// the sound card's offset with it), a dither of ±0.5 keeps silence from
// sitting on zero, and the zero crossings are measured:
//
//   x ──► band-pass ──► + dither ──► v ──► crossings of v ──► periods
//         (2 or 3 sections)  (±0.5)
//
//        previous  v                    rising crossing: previous < 0 <= v
//   0 ------+------*------              t = -previous / max(v - previous, 1)
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
// Why a band-pass: a crossing is wherever the sum of tone and noise changes
// sign. White noise over the whole 0..11 kHz of the sound card moves the
// crossings of a tone by far more than the noise inside the tone's band does,
// and adds crossings of its own at several kHz; with the band limited to the
// tones of the chain, the crossings measure the tones until the noise inside
// that band comes near the tone's level.
//
// Each section of the band-pass has its zeros at 0 Hz and 11025 Hz
// (numerator 1 - z^-2), so the cascade passes no offset at all:
//
//   s0[n] = x[n]                                             input
//   t     = gain * (s0[n] - s0[n-2])                         first section's input
//   sk[n] = (t - a2 * sk[n-2]) - a1 * sk[n-1]                section k
//   t     = sk[n] - sk[n-2]                                  next section's input
//   v[n]  = sK[n] + dither                                   K = last section
//
// The operations run in exactly this order in every form of the loop (see
// tests/decoders/common), so that each form gives the same bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "decoders/common/dither.h"
#include "decoders/common/types.h"

namespace tolvana {

/// The coefficients of a band-pass of one to three sections (see above);
/// fixed for 22050 Hz, written out where each chain defines its band.
struct BandPass {
    static constexpr std::size_t kMaxSections = 3;
    struct Section {
        double a1 = 0.0;
        double a2 = 0.0;
    };
    double gain = 1.0;
    std::array<Section, kMaxSections> sections{};
    std::size_t count = 1; ///< sections in use, 1..kMaxSections
};

/// What the band-pass carries from one block to the next: the last two
/// values of its input (stage 0) and of each section's output (stage k).
struct BandPassState {
    std::array<double, BandPass::kMaxSections + 1> last{};       ///< value at n-1
    std::array<double, BandPass::kMaxSections + 1> beforeLast{}; ///< value at n-2

    /// After a block: a filter whose every value has decayed below 2^-200
    /// (silence) is set to exact zeros. Its values would otherwise sink into
    /// subnormal numbers, which the processor computes in slow microcode,
    /// and stay there for as long as the silence lasts. The bands in use ring
    /// down by a factor of 10^30 or more per block, so the flush comes a few
    /// blocks after the sound stops.
    void settle(std::size_t stages) noexcept;
};

/// What the crossing search carries from one block to the next.
struct CrossingState {
    double previous = 0.0; ///< the last sample of the previous block
    double rising = 0.0;   ///< samples since the last rising crossing
    double falling = 0.0;  ///< samples since the last falling crossing
};

/// One tracker's front end: its band, the band-pass's state, its dither,
/// its crossing state.
struct CrossingFront {
    CrossingFront(const BandPass& bandPass, std::uint64_t seed) noexcept : band(bandPass), dither(seed) {}

    BandPass band;
    BandPassState filter;
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
/// the arithmetic of runFront (two lanes of one vector: half the work; with
/// AVX2 the crossing search in four lanes, both halves of the block at once).
void runFronts(const ChannelBlock& block, CrossingFront& a, CrossingList& outA, CrossingFront& b,
               CrossingList& outB) noexcept;

/// runFronts without AVX2, as it runs where the processor lacks it (tests
/// check this form too on processors that have it).
void runFrontsTwoLanes(const ChannelBlock& block, CrossingFront& a, CrossingList& outA, CrossingFront& b,
                       CrossingList& outB) noexcept;

/// One front end's part in a pass over several: its state and its output.
struct FrontRun {
    CrossingFront& front;
    CrossingList& out;
};

/// Runs the four front ends of a stereo buffer in one pass: `leftA` and
/// `leftB` over `left`, `rightA` and `rightB` over `right`, each with exactly
/// the arithmetic of runFront. Four lanes of one AVX2 vector where the
/// processor has them and both sides' pairs have the same numbers of
/// sections; otherwise runFronts per side.
void runFronts(const ChannelBlock& left, FrontRun leftA, FrontRun leftB, const ChannelBlock& right,
               FrontRun rightA, FrontRun rightB) noexcept;

/// Whether this processor runs the stereo runFronts in four lanes.
bool fourLaneFronts() noexcept;

} // namespace tolvana
