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
    // The levels start from the block's mean and mean swing about it (the
    // preamble's two levels lie that far either side), over the samples
    // that are numbers.
    double mean = 0.0;
    std::size_t numbers = 0;
    for (const double x : block) {
        if (std::isfinite(x)) {
            mean += x;
            ++numbers;
        }
    }
    mean = numbers > 0 ? mean / static_cast<double>(numbers) : 0.0;
    double swing = 0.0;
    for (const double x : block) {
        if (std::isfinite(x)) {
            swing += std::abs(x - mean);
        }
    }
    swing = numbers > 0 ? swing / static_cast<double>(numbers) : 0.0;
    if (!std::isfinite(mean) || !std::isfinite(swing)) {
        mean = 0.0;
        swing = 0.0;
    }
    period = std::clamp(std::isfinite(period) ? period : kShortestPeriod, kShortestPeriod, 64.0);
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
    from = std::max(from, -static_cast<double>(kTail)); // never beyond what is kept
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
        if (!std::isfinite(mean) || !std::isfinite(across)) {
            // Samples that are no numbers (a caller with its own scaling):
            // a bit is given, and the clock runs on as it stands.
            m_boundary += m_period;
            continue;
        }

        // Gardner's timing error: at a bit change, how far the mean across
        // the boundary leans towards the bit before, as a share of a bit
        // period; positive when the boundary really lies later.
        const double swing = std::max(m_high - m_low, 1e-9);
        const double lean = (mean - m_previous) * (across - middle) / (swing * swing);
        const double late = std::isfinite(lean) ? std::clamp(-lean, -0.5, 0.5) : 0.0;
        const bool settling = preamble && m_settling > 0;
        const double phaseGain = settling ? kPhaseGainPreamble : kPhaseGain;
        const double periodGain = settling ? kPeriodGainPreamble : kPeriodGain;
        m_settling -= settling ? 1 : 0;
        m_period = std::clamp(m_period + periodGain * late * period,
                              std::max(m_nominalPeriod * (1.0 - kPeriodRange), kShortestPeriod),
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
