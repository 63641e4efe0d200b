// POCSAG bit clock (drawing in pocsag_bit_clock.h).
#include "decoders/pocsag/pocsag_bit_clock.h"

#include <algorithm>
#include <cmath>

namespace tolvana::pocsag {

namespace {

// How far a boundary moves towards where the timing error puts it, and how
// much of the error goes into the bit period: more while the clock falls
// into place on the preamble, less afterwards, when a bit change is rarer
// and every error counts in full.
constexpr double kPhaseGainPreamble = 0.15;
constexpr double kPeriodGainPreamble = 0.01;
constexpr double kPhaseGain = 0.04;
constexpr double kPeriodGain = 0.003;
// Bits of the preamble with the bigger steps after a start.
constexpr int kSettlingBits = 64;
// The clock counts as locked while the mean size of its timing errors (over
// some 30 bits) stays below this share of a bit period: on the preamble
// about 0.07 at 6 dB, 0.12 at 3 dB; a clock that runs 5 % fast or slow
// slides through every phase and averages about 0.25.
constexpr double kLockedError = 0.18;
constexpr double kErrorGain = 1.0 / 32.0;
// The bit period stays within this share of the one measured on the preamble.
constexpr double kPeriodRange = 0.08;
// How fast the levels of the two bits follow the bits decided.
constexpr double kLevelGain = 1.0 / 16.0;

} // namespace

void BitClock::keepTail(const ChannelBlock& block) noexcept {
    std::copy(block.end() - static_cast<std::ptrdiff_t>(kTail), block.end(), m_tail.begin());
}

void BitClock::start(const ChannelBlock& block, double period) noexcept {
    double mean = 0.0;
    for (const double x : block) {
        mean += x;
    }
    mean /= static_cast<double>(block.size());
    double swing = 0.0;
    for (const double x : block) {
        swing += std::abs(x - mean);
    }
    swing /= static_cast<double>(block.size());
    m_running = true;
    m_period = period;
    m_nominalPeriod = period;
    m_boundary = period;
    m_high = mean + swing;
    m_low = mean - swing;
    m_previous = mean;
    m_settling = kSettlingBits;
    m_timingError = kLockedError * 2.0;
}

bool BitClock::locked() const noexcept { return m_running && m_timingError < kLockedError; }

double BitClock::sum(const ChannelBlock& block, double from, double to) const noexcept {
    const double firstWhole = std::floor(from);
    const double lastWhole = std::floor(to);
    const auto first = static_cast<std::ptrdiff_t>(firstWhole);
    const auto last = static_cast<std::ptrdiff_t>(lastWhole);
    if (first == last) {
        return at(block, first) * (to - from);
    }
    double s = at(block, first) * (firstWhole + 1.0 - from);
    for (std::ptrdiff_t n = first + 1; n < last; ++n) {
        s += at(block, n);
    }
    if (last < static_cast<std::ptrdiff_t>(block.size())) {
        s += at(block, last) * (to - lastWhole);
    }
    return s;
}

std::size_t BitClock::run(const ChannelBlock& block, Bits& bits, bool preamble) noexcept {
    std::size_t count = 0;
    if (!m_running) {
        return 0;
    }
    const auto end = static_cast<double>(block.size());
    while (m_boundary <= end && count < bits.size()) {
        const double period = m_period;
        const double startOfBit = m_boundary - period;
        const double mean = sum(block, startOfBit, m_boundary) / period;
        const double across = sum(block, startOfBit - period / 2.0, startOfBit + period / 2.0) / period;
        const double middle = (m_high + m_low) / 2.0;
        const bool bit = mean > middle;
        bits[count++] = bit ? 1 : 0;

        // Gardner's timing error: at a bit change, how far the mean across
        // the boundary leans towards the bit before, as a share of a bit
        // period; positive when the boundary really lies later.
        const double swing = std::max(m_high - m_low, 1e-9);
        const double lean = (mean - m_previous) * (across - middle) / (swing * swing);
        const double late = std::clamp(-lean, -0.5, 0.5);
        const bool settling = preamble && m_settling > 0;
        const double phaseGain = settling ? kPhaseGainPreamble : kPhaseGain;
        const double periodGain = settling ? kPeriodGainPreamble : kPeriodGain;
        m_settling -= settling ? 1 : 0;
        m_period = std::clamp(m_period + periodGain * late * period, m_nominalPeriod * (1.0 - kPeriodRange),
                              m_nominalPeriod * (1.0 + kPeriodRange));
        m_boundary += m_period + phaseGain * late * period;

        (bit ? m_high : m_low) += kLevelGain * (mean - (bit ? m_high : m_low));
        m_previous = mean;
        m_timingError += kErrorGain * (std::abs(late) - m_timingError);
    }
    m_boundary -= end;
    return count;
}

} // namespace tolvana::pocsag
