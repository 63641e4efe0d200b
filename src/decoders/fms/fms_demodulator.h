// FMS demodulator of one channel side: samples in, frequency estimates, the
// preamble, sliced bit values and the two long call tones out.
//
// FMS is frequency-shift keying at 1200 bit/s with continuous phase:
//
//   bit 1 = one period of 1200 Hz         (two zero crossings)
//   bit 0 = one and a half periods of 1800 Hz (three zero crossings)
//
//   ones (preamble)       position 0                                    55
//   1 1 1 ... 1 1 1 1 1 | 0 0 0 1 1 0 1 0 | 40 data bits | 7 CRC bits | end |
//                         `-- block sync --'
//
// Every zero crossing gives one signed frequency estimate, 22050 Hz divided
// by the samples since the previous crossing of the same direction (rising:
// positive, falling: negative), so each estimate spans one full period and
// consecutive estimates overlap by half a period. A steady 1200 Hz tone gives
// two estimates per bit time, 1800 Hz three. The slicer counts them: three
// high estimates make a bit 0, two low ones a bit 1.
//
// Band: the front end passes 900..2300 Hz (4th-order Butterworth band-pass,
// two sections; see zero_crossings.h). It holds both FSK tones, tone I
// (1750 Hz) and tone II (2050..2200 Hz) inside its 3 dB corners. Measured
// with white noise over the whole band (bench/noise_sweep.py): narrower
// corners gain little for telegrams but cost tone II, and a 6th order reads
// fewer telegrams than the 4th: its steeper phase across the band bends the
// crossings where 1200 Hz and 1800 Hz meet.
//
// The estimates wait in a ring of 1024. The reader never passes the writer:
// positions are counted from the start (64 bit, never wrapping), and when the
// writer laps the reader the reader moves up to the oldest estimate held.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "decoders/common/types.h"
#include "decoders/common/zero_crossings.h"

namespace tolvana {

/// The FMS chain's band-pass: Butterworth, 4th order, 900..2300 Hz at 22050
/// Hz (bilinear transform with both corners prewarped), 0 dB at 1439 Hz.
inline constexpr BandPass kFmsBand{
    .gain = 0.030801738906865234,
    .sections = {{{-1.4040273504447505, 0.68778290596935521}, {-1.752415832512719, 0.82735388317999958}, {}}},
    .count = 2,
};

/// Bit positions sliced for a first telegram (0..55) and a follow-up (0..47).
inline constexpr int kFmsTelegramBits = 56;
inline constexpr int kFmsFollowUpBits = 48;
/// Value of a bit that fits neither tone.
inline constexpr std::uint8_t kFmsUndecodable = 2;

/// Sliced bit values in order of reception: 0, 1 or kFmsUndecodable.
struct FmsBits {
    std::array<std::uint8_t, kFmsTelegramBits> value{};
    int count = 0;
};

enum class FmsSyncState : std::uint8_t {
    Searching = 0,     ///< looking for the preamble of ones
    PreambleFound = 1, ///< preamble seen, waiting for enough estimates
    Ready = 2,         ///< enough estimates for a telegram
};

enum class FmsSliceResult : std::uint8_t {
    Sliced,     ///< bits written, the reader stands behind them
    NoStart,    ///< only preamble (ones) up to the newest estimate
    Incomplete, ///< the telegram has started but not all of it is here yet
};

class FmsDemodulator {
public:
    static constexpr std::size_t kRingSize = 1024;

    explicit FmsDemodulator(std::uint64_t seed) noexcept : m_front(kFmsBand, seed) {}

    /// Band-pass and frequency estimation over one block; the call-tone
    /// flags then tell whether a call tone ended inside this block.
    void process(const ChannelBlock& block) noexcept;
    /// The same, with the block's crossings already found by the front end
    /// (see front()).
    void process(const CrossingList& crossings) noexcept;
    /// Band-pass, dither and crossing state: the part of process() that
    /// runs per sample, for a caller that runs it beside another chain's.
    CrossingFront& front() noexcept { return m_front; }
    /// Scans the new estimates for eleven consecutive ones-estimates.
    void searchPreamble() noexcept;
    /// Skips the rest of the preamble and slices `count` bits from the first
    /// bit 0 on. Reads written estimates only; when they do not reach, nothing
    /// is sliced and the reader waits at the telegram's start.
    FmsSliceResult sliceBits(int count, FmsBits& out) noexcept;

    FmsSyncState syncState() const noexcept { return m_state; }
    bool toneISeen() const noexcept { return m_toneISeen; }
    bool toneIISeen() const noexcept { return m_toneIISeen; }

    /// Estimates written since the start (the write position, unwrapped).
    std::uint64_t written() const noexcept { return m_write; }
    /// Position of the next estimate to read (unwrapped); never above written().
    std::uint64_t readPosition() const noexcept { return m_read; }
    /// The oldest estimate still held in the ring.
    std::uint64_t oldestHeld() const noexcept { return m_write > kRingSize ? m_write - kRingSize : 0; }
    /// Estimate at an unwrapped position in [oldestHeld(), written()).
    double estimate(std::uint64_t position) const noexcept { return m_ring[slot(position)]; }

private:
    static std::size_t slot(std::uint64_t position) noexcept {
        return static_cast<std::size_t>(position & (kRingSize - 1));
    }
    double magnitude(std::uint64_t position) const noexcept {
        return std::abs(m_ring[slot(position)]);
    }
    void push(double estimate) noexcept;

    // The band-pass (which removes the offset too), the dither and the
    // crossing counters.
    CrossingFront m_front;
    std::array<double, kRingSize> m_ring{};
    std::uint64_t m_write = 0;
    std::uint64_t m_read = 0;
    FmsSyncState m_state = FmsSyncState::Searching;
    std::uint32_t m_toneIRun = 0;  // in-band estimates in a row, across blocks
    std::uint32_t m_toneIIRun = 0;
    bool m_toneISeen = false;      // a call tone ended in the current block
    bool m_toneIISeen = false;
};

} // namespace tolvana
