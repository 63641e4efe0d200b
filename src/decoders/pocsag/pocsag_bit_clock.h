// The POCSAG receiver's bit clock: samples in, one bit per bit period out,
// while a transmission is received.
//
//   level
//    H  ─────┐       ┌───────────────┐       ┌──   what was sent (NRZ)
//    L       └───────┘               └───────┘
//        |  y0   |  y1   |  y2   |  y3   |  y4   |   one sum per bit period:
//        t0      t1      t2      t3      t4      t5  the bit is y > (H + L) / 2
//                    |  m2   |                       a sum as long, centred on
//                                                    the boundary t2
//
// Each bit is the mean of the samples over its bit period (integrate and
// dump: in white noise the best a receiver can do with a rectangular bit),
// compared with the middle between the two levels, which follow the bits
// decided. The boundaries follow the signal (Gardner's timing error): where
// the bit changes, the mean centred on the boundary between the two bits
// lies halfway between them when the boundary is where the receiver puts
// it; off that, it leans towards one of the two, and the boundaries move
// by a fraction of the error, the bit period by a smaller one. Noise moves
// a boundary a little at a time instead of cutting a run into three, which
// the run lengths of the slicer alone would turn into bits gained or lost.
//
// Started on the preamble (a bit change every bit: the boundaries fall
// into place within a few tens of bits) with the bit period the clock
// tracker measured there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "decoders/common/types.h"

namespace tolvana::pocsag {

class BitClock {
public:
    /// The shortest bit period the clock runs at, in samples (2756 bit/s).
    static constexpr double kShortestPeriod = 8.0;
    /// Bits at most per block: a block of 1024 samples holds 128 bit periods
    /// of the shortest, and a boundary moves back by at most a tenth of a
    /// bit period at a time.
    static constexpr std::size_t kMaxBitsPerBlock = kBlockFrames / 7 + 2;
    using Bits = std::array<std::uint8_t, kMaxBitsPerBlock>;

    /// Keeps the end of each block, which the sums at the start of the next
    /// one reach back into. Every block goes through here, also while the
    /// clock stands.
    void keepTail(const ChannelBlock& block) noexcept;
    /// Starts the clock at the beginning of `block` (whose tail is not kept
    /// yet) with `period` samples per bit; the levels start from the block.
    void start(const ChannelBlock& block, double period) noexcept;
    void stop() noexcept { m_running = false; }
    bool running() const noexcept { return m_running; }

    /// The bits whose bit periods end in `block`, in `bits`; returns how
    /// many. `preamble`: the bits are the preamble's (a change at every
    /// boundary), the clock falls into place faster. Call keepTail(block)
    /// afterwards.
    std::size_t run(const ChannelBlock& block, Bits& bits, bool preamble) noexcept;

    double period() const noexcept { return m_period; }
    /// Whether the boundaries have held: the timing errors have stayed small.
    bool locked() const noexcept;

private:
    // Samples kept of the block before: a sum reaches 1.5 bit periods
    // (at most 75 samples) back from a boundary in this block.
    static constexpr std::size_t kTail = 96;

    // Sum of the samples over [from, to), positions in samples from the
    // start of the current block (from >= -kTail), each sample covering
    // [n, n + 1).
    double sum(const ChannelBlock& block, double from, double to) const noexcept;
    double at(const ChannelBlock& block, std::ptrdiff_t n) const noexcept {
        return n >= 0 ? block[static_cast<std::size_t>(n)]
                      : m_tail[static_cast<std::size_t>(n + static_cast<std::ptrdiff_t>(kTail))];
    }

    std::array<double, kTail> m_tail{};
    bool m_running = false;
    double m_period = 0.0;
    double m_nominalPeriod = 0.0;
    double m_boundary = 0.0;  ///< end of the bit under way, from the current block's start
    double m_high = 0.0;      ///< mean level of a bit 1
    double m_low = 0.0;       ///< mean level of a bit 0
    double m_previous = 0.0;  ///< mean of the last bit
    int m_settling = 0;       ///< bits to go with the bigger steps
    double m_timingError = 0.0; ///< running mean of the timing errors' size
};

} // namespace tolvana::pocsag
