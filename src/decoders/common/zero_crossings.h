// Zero crossings of a dithered, offset-free signal, as the FMS and the
// five-tone trackers both measure them:
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
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvana {

/// What the crossing search carries from one block to the next.
struct CrossingState {
    double previous = 0.0; ///< the last sample of the previous block
    double rising = 0.0;   ///< samples since the last rising crossing
    double falling = 0.0;  ///< samples since the last falling crossing
};

/// Runs the search over `count` samples (at most 65536). For every crossing that gives a
/// period, in order: `period[k]` = the period in samples, positive for a
/// rising and negated for a falling crossing, and `at[k]` = the sample's
/// index. Returns the number of periods written; both outputs need room for
/// `count + 1` entries (one is written past the last period as scratch).
///
/// No branch per sample: on noise the crossings come at random every few
/// samples, and a branch would be mispredicted at nearly every one.
std::size_t findCrossings(const double* samples, std::size_t count, CrossingState& state,
                          double* period, std::uint16_t* at) noexcept;

} // namespace tolvana
