// The demodulating half of the five-tone decoder: samples in, one frequency
// reading every 200 samples out, into a ring that the tone segmenter reads.
//
//   raw samples ──► DC removal ──► +dither ──► zero crossings ──► |f| per sample
//   (1024/block)    (one pole,     (±0.5)      (interpolated,     (held between
//                    a = 0.01)                  per direction)     crossings)
//
//   |f| ──► mean and mean change over the last 100 samples ──► every 200th sample:
//           mean change / mean > 5 %  →  1.0   (not a steady tone)
//           otherwise                 →  mean  (Hz)
//           ──► ZveiToneRing (256 entries of 9.07 ms, about 2.3 s)
//
// A tone is a sine, so the distance between two crossings of the same
// direction is one period; the crossing is interpolated between the samples
// around it. Noise makes the period jump from crossing to crossing, which the
// mean change catches.
#pragma once

#include <array>
#include <cstddef>

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

class ZveiToneTracker {
public:
    /// Samples between two ring entries (9.07 ms at 22050 Hz).
    static constexpr int kDecimation = 200;
    /// Length of the smoothing and deviation histories.
    static constexpr std::size_t kHistory = 100;

    /// DC removal: the average moves by 1 % of each sample.
    static constexpr double kDcWeight = 0.01;

    explicit ZveiToneTracker(std::uint64_t seed) noexcept : m_front(1.0 - kDcWeight, kDcWeight, seed) {}

    /// Runs one block through DC removal, frequency tracking and the
    /// steadiness filter; adds 5 or 6 entries to `ring`.
    void process(const ChannelBlock& block, ZveiToneRing& ring) noexcept;
    /// The same, with the block's crossings already found by the front end
    /// (see front()).
    void process(const CrossingList& crossings, ZveiToneRing& ring) noexcept;
    /// DC removal, dither and crossing state: the part of process() that
    /// runs per sample ahead of the frequency readings, for a caller that
    /// runs it beside another chain's.
    CrossingFront& front() noexcept { return m_front; }

    /// The latest per-sample estimate in Hz (0 until the first period).
    double frequency() const noexcept { return m_frequency; }

private:
    void recomputeSums(double& historySum, double& deviationSum) const noexcept;

    // DC average, dither, and the samples since the last rising / falling
    // crossing with the fraction of a sample by which the crossing came
    // before the sample that showed it.
    CrossingFront m_front;
    double m_frequency = 0.0;

    std::array<double, kHistory> m_history{};
    std::array<double, kHistory> m_deviationHistory{};
    std::size_t m_historyIndex = 0;
    double m_historySum = 0.0;
    double m_deviationSum = 0.0;
    double m_previousFrequency = 0.0;
    int m_decimationCount = 0;
};

} // namespace tolvana
