// POCSAG demodulator: the audio of one channel in, batches of codewords out.
//
// On the air (FSK, heard through an FM receiver as a two-level signal):
//
//   | preamble: 576 bits 1010...  | batch | batch | ... | (carrier off)
//
//   batch = 17 codewords of 32 bits, most significant bit first:
//   +------+-------+-------+-------+-------+-------+-------+-------+-------+
//   | sync | frame0| frame1| frame2| frame3| frame4| frame5| frame6| frame7|
//   | 7CD2 | cw cw | cw cw | cw cw | cw cw | cw cw | cw cw | cw cw | cw cw |
//   | 15D8 |       |       |       |       |       |       |       |       |
//   +------+-------+-------+-------+-------+-------+-------+-------+-------+
//   position 0      1 2     3 4     5 6     7 8    ...             15 16
//
// Rates are 512, 1200 or 2400 bit/s (43.1, 18.4, 9.2 samples per bit at
// 22050 Hz); the demodulator measures the bit period from the signal, with
// no setting, and takes either level as the bit 1 (the sync codeword tells).
//
// Stages per buffer: dither, click filter, Schmitt-trigger slicer (level
// changes become signed run lengths), clock tracker (bit period, preamble,
// lock test on the runs), bit clock (while receiving: one bit per bit
// period from the samples themselves, see pocsag_bit_clock.h), sync search
// in either polarity, codeword collector (bits to the batch). The message
// decoder takes it from there.
//
// The runs find the preamble and measure its bit period; they do not make
// the bits. A run length rounded to bits turns every noise spike that
// crosses the slicer's threshold into bits gained or lost, and the rest of
// the batch slips; the bit clock sums each bit period's samples and moves
// its boundaries a little at a time. Measured with white noise over the
// whole band (bench/noise_sweep.py, 50 transmissions per point): at
// 2400 bit/s and 6 dB, 8 % of the pages came through with the runs, 100 %
// with the bit clock; at 1200 bit/s and 4 dB, 24 % and 98 %.
//
// Where a transmission ends: once a sync codeword has been found, the next
// one is looked for where it belongs, right after each batch (a few bits
// either side, a few bits wrong); where it is missing, the transmission has
// ended. The runs' statistics no longer decide that: noise at some levels
// passes for a bit stream for seconds, and deep noise on a weak signal
// fails them in the middle of a batch.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <span>

#include "decoders/common/types.h"
#include "decoders/pocsag/pocsag_bch.h"
#include "decoders/pocsag/pocsag_bit_clock.h"
#include "decoders/pocsag/pocsag_click_filter.h"

namespace tolvana {

namespace pocsag {

/// std::nearbyint in the default rounding mode (nearest, ties to even),
/// which nothing in tolvana changes, without the library call: below 2^52
/// adding 2^52 leaves no fraction bits, so the addition itself rounds; from
/// 2^52 on every double is a whole number already (and NaN passes through).
inline double nearestWhole(double x) noexcept {
    constexpr double kNoFraction = 0x1.0p52;
    const double magnitude = std::abs(x);
    if (!(magnitude < kNoFraction)) {
        return x;
    }
    return std::copysign((magnitude + kNoFraction) - kNoFraction, x);
}

} // namespace pocsag

/// Where the receiver stands in a transmission.
enum class PocsagReceiver : std::uint8_t {
    Idle = 0,          ///< waiting for a preamble
    PreambleFound = 1, ///< searching the first sync codeword
    SearchingSync = 2, ///< between batches, searching the next sync codeword
    Collecting = 3,    ///< filling a batch with codewords
};

class PocsagDemodulator {
public:
    static constexpr int kBatchWords = 17;

    explicit PocsagDemodulator(std::uint64_t seed) : m_clicks(seed) {}

    /// Runs the stages up to the codeword collector on one buffer.
    void process(const ChannelBlock& block) noexcept;

    PocsagReceiver receiver() const noexcept { return m_receiver; }
    /// Set once when the bit stream is lost while receiving.
    bool endOfTransmission() const noexcept { return m_endOfTransmission; }
    /// A batch (complete, cut short by a zero codeword, or the part received
    /// before the end of the transmission) waits to be read.
    bool batchReady() const noexcept { return m_batchReady; }
    /// Positions 0 (the sync codeword) to fill - 1, polarity already applied.
    std::span<const std::uint32_t> batch() const noexcept {
        return {m_batch.data(), static_cast<std::size_t>(m_batchFill)};
    }
    /// How many bits late (+) or early (-) the sync codeword after the
    /// batch came, or pocsag::kUnknownOffset when none followed it at its
    /// place.
    int nextSyncOffset() const noexcept { return m_nextSyncOffset; }
    /// The batch has been read; the collector may fill the next one.
    void releaseBatch() noexcept { m_batchReady = false; }
    /// After the end-of-transmission hand-off: idle, ready for the next preamble.
    void resetReceiver() noexcept;

    /// Samples per bit as the clock tracker follows it (8..50).
    double bitPeriod() const noexcept { return m_bitPeriod; }
    /// For tests: slice every block in doubles, as blocks beyond 16 bits are,
    /// to hold the whole-number path to it.
    void sliceInDoublesOnly(bool on) noexcept { m_doublesOnly = on; }
    /// Samples per bit measured on the preamble of the current transmission.
    double preamblePeriod() const noexcept { return m_preamblePeriod; }
    /// True when the low level carries the bit 1 in this transmission.
    bool invertedPolarity() const noexcept { return m_inverted; }

private:
    static constexpr std::size_t kRunRing = 1024;
    static constexpr std::size_t kBitRing = 1024;
    // Only the newest period and the one 99 runs older are ever compared.
    static constexpr std::size_t kPeriodLag = 99;

    struct Run {
        double length = 0.0; ///< samples between two threshold crossings
        bool high = false;   ///< the level held during the run
    };

    // The slicer's level as its loop carries it from sample to sample.
    struct SlicerLevel {
        bool high;
        double edgeCounter;
        double heldClosed;
    };
    // Where a held level is closed as a run and where the peaks are forgotten,
    // in samples, for the block under way.
    struct SlicerLimits {
        bool receiving = false;
        double held = 0.0;
        double peakReset = 0.0;
        double first = 0.0; // the smaller of the two that apply
    };

    void slice(const ChannelBlock& block, const ChannelBlock& filtered) noexcept;
    void sliceWholeNumbers(const ChannelBlock& x) noexcept;
    void sliceDoubles(const ChannelBlock& x) noexcept;
    SlicerLimits slicerLimits() const noexcept;
    void cross(double y, double previous, double threshold, SlicerLevel& level) noexcept;
    bool holdLevel(const SlicerLimits& limits, SlicerLevel& level) noexcept;
    void closeRun(double length, bool high) noexcept;
    void trackClock() noexcept;
    void trackRun(double r) noexcept;
    void clockBits(const ChannelBlock& filtered) noexcept;
    void searchSync() noexcept;
    void checkNextSync() noexcept;
    void startBatch() noexcept;
    void collectCodewords() noexcept;
    void releaseHeldBatch() noexcept;
    bool bitAvailable() const noexcept { return m_bitsRead != m_bitsWritten; }
    std::uint8_t takeBit() noexcept { return m_bits[m_bitsRead++ % kBitRing]; }

    pocsag::ClickFilterState m_clicks; // dither and click filter

    // Slicer
    bool m_high = false;
    bool m_doublesOnly = false;
    double m_positivePeak = 0.0; // whole numbers; decays towards 500
    double m_negativePeak = 0.0; // whole numbers; decays towards -500
    double m_previousDoubled = 0.0;
    double m_edgeCounter = 0.0; // samples since the last level change, fractional start
    double m_heldClosed = 0.0;  // part of the held level already closed as a run

    // Run ring. The counters only grow; a ring index is the counter mod the
    // ring size, so a full ring is never mistaken for an empty one.
    std::array<Run, kRunRing> m_runs{};
    std::uint64_t m_runsWritten = 0;
    std::uint64_t m_runsTracked = 0;

    // Clock tracker
    double m_bitPeriod = 8.0; // the shortest period: octaves are found upwards
    std::array<double, 5> m_histogram{};
    std::array<double, kPeriodLag + 1> m_periodHistory{};
    std::size_t m_periodNewest = 0;
    double m_preambleSum = 0.0;
    int m_preambleCount = 0;
    double m_preamblePeriod = 0.0;
    PocsagReceiver m_receiver = PocsagReceiver::Idle;
    bool m_endOfTransmission = false;

    // Bit clock
    pocsag::BitClock m_clock;
    bool m_restartClock = false;

    // Bits, sync search and codeword collector
    std::array<std::uint8_t, kBitRing> m_bits{};
    std::uint64_t m_bitsWritten = 0;
    std::uint64_t m_bitsRead = 0;
    std::uint32_t m_shift = 0;
    std::uint32_t m_previousWord = 0; ///< the 32 bits before m_shift, while the first sync is searched
    bool m_inverted = false;
    int m_bitCount = 0;
    std::array<std::uint32_t, kBatchWords> m_batch{};
    int m_batchFill = 0;
    bool m_batchReady = false;
    bool m_batchHeld = false;       ///< complete, waiting for the next sync codeword's place
    bool m_newBatchPending = false; ///< next sync found; the batch starts once the last is read
    int m_nextSyncOffset = 0;

    // Where the next batch's sync codeword is looked for: the bits read
    // since the last batch ended, and the best match so far.
    struct SyncWindow {
        int bits = 0;
        int bestErrors = 33;
        int bestBits = 0;
        std::uint64_t bestRead = 0; ///< the bit read index after the best match
    };
    SyncWindow m_syncWindow;
};

} // namespace tolvana
