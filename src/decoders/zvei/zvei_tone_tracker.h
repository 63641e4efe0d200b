// The demodulating half of the five-tone decoder: samples in, one frequency
// reading every 200 samples out, into a ring that the tone segmenter reads.
//
//   raw samples ──► band-pass ──► +dither ──► zero crossings ──► periods
//   (1024/block)    (780..2900 Hz, (±0.5)      (interpolated,     (crossing to
//                    no offset)                  per direction)     crossing)
//
//   every 200th sample, from the crossings of the last 150 samples:
//     median period m; more than a quarter of the periods off m by 15 %
//       →  1.0  (not a steady tone)
//     otherwise the frequency: periods in the window (counted by m) over
//       the time they span                                          (Hz)
//   ──► ZveiToneRing (256 entries of 9.07 ms, about 2.3 s)
//
// A tone is a sine, so the distance between two crossings of the same
// direction is one period; the crossing is interpolated between the samples
// around it. The periods of one direction follow each other, so their sum is
// the time from the first crossing to the last: the reading has the jitter
// of two crossings over the whole window, not the jitter of one period. In
// noise a crossing comes and goes now and then; counting the periods by the
// median keeps such a one from moving the reading by a whole period. White
// noise 3 dB below the tones over the whole band scatters a reading by about
// 0.5 %, a steady run stays within the segmenter's 1 % from entry to entry.
//
// Band: the tones run from 810 Hz ("C") to 2800 Hz ("Gr"); the front end
// passes 780..2900 Hz (6th-order Butterworth band-pass, three sections; see
// zero_crossings.h), so every tone stays within 3 dB and noise outside the
// tones no longer moves their crossings. Measured with white noise over the
// whole band (bench/noise_sweep.py): the 6th order reads more calls below
// 6 dB than the 4th, wider corners fewer; the tones keep their frequency
// whatever the filter's slope does to their level.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "decoders/common/types.h"
#include "decoders/common/zero_crossings.h"

namespace tolvana {

/// Decimated frequency readings, written by the tracker and read by the
/// segmenter. Indices run modulo 256.
struct ZveiToneRing {
    static constexpr std::size_t kSize = 256;
    static constexpr std::size_t kMask = kSize - 1;
    /// The value of an entry whose frequency was not steady.
    static constexpr double kUnsteady = 1.0;

    std::array<double, kSize> entries{};
    std::size_t write = 0; ///< next entry to write; also the oldest entry kept
    std::size_t read = 0;  ///< oldest entry not yet consumed

    double at(std::size_t index) const noexcept { return entries[index & kMask]; }
    std::size_t pending() const noexcept { return (write - read) & kMask; }
};

/// The five-tone chain's band-pass: Butterworth, 6th order, 780..2900 Hz at
/// 22050 Hz (bilinear transform with both corners prewarped), 0 dB at 1504 Hz.
inline constexpr BandPass kZveiBand{
    .gain = 0.016372523535527695,
    .sections = {{{-1.15996965897855, 0.64319074522010045},
                  {-1.3826304215298366, 0.52487543438757001},
                  {-1.8158255511084269, 0.86695974032705037}}},
    .count = 3,
};

class ZveiToneTracker {
public:
    /// Samples between two ring entries (9.07 ms at 22050 Hz).
    static constexpr int kDecimation = 200;
    /// Samples whose crossings make one reading (6.8 ms): long enough for
    /// the reading to hold still in noise, short enough that a 70 ms tone
    /// gives six or seven readings clear of its neighbours.
    static constexpr int kWindow = 150;

    explicit ZveiToneTracker(std::uint64_t seed) noexcept : m_front(kZveiBand, seed) {}

    /// Runs one block through the band-pass, frequency tracking and the
    /// steadiness test; adds 5 or 6 entries to `ring`.
    void process(const ChannelBlock& block, ZveiToneRing& ring) noexcept;
    /// The same, with the block's crossings already found by the front end
    /// (see front()).
    void process(const CrossingList& crossings, ZveiToneRing& ring) noexcept;
    /// Band-pass, dither and crossing state: the part of process() that
    /// runs per sample ahead of the frequency readings, for a caller that
    /// runs it beside another chain's.
    CrossingFront& front() noexcept { return m_front; }

    /// The frequency of the latest period in Hz (0 until the first period).
    double frequency() const noexcept { return m_frequency; }

    /// The reading of a window's periods (positive for a rising crossing,
    /// negative for a falling one, in order): a frequency in Hz, or
    /// ZveiToneRing::kUnsteady. `scratch` needs room for as many values.
    static double reading(const double* periods, std::size_t count, double* scratch) noexcept;

private:
    // Crossings of the last kWindow samples (at most one per sample).
    static constexpr std::size_t kCrossings = 256;
    static_assert(kCrossings > kWindow);

    void entry(std::int64_t now, ZveiToneRing& ring) noexcept;

    // Band-pass, dither, and the samples since the last rising / falling
    // crossing with the fraction of a sample by which the crossing came
    // before the sample that showed it.
    CrossingFront m_front;
    double m_frequency = 0.0;

    std::array<double, kCrossings> m_periods{};       ///< signed, as the front end gives them
    std::array<std::int64_t, kCrossings> m_times{};   ///< sample that showed the crossing
    std::size_t m_oldest = 0;                         ///< crossings are counted, not wrapped
    std::size_t m_newest = 0;                         ///< one past the newest
    std::int64_t m_sample = 0;                        ///< samples processed before this block
    int m_decimationCount = 0;
};

} // namespace tolvana
