#include "decoders/fms/fms_demodulator.h"

#include <algorithm>

namespace tolvana {

namespace {

constexpr double kRate = kSampleRate;

// A run of this many estimates between 1100 and 1300 Hz (five and a half
// bits of 1200 Hz) is taken as the preamble of ones.
constexpr int kPreambleRun = 11;
// Estimates that must wait behind the preamble before a telegram is sliced;
// 56 bits take at most 168.
constexpr std::uint64_t kTelegramEstimates = 200;
// The search keeps this many of its last estimates for the next block, so
// that a preamble that straddles two blocks is still found.
constexpr std::uint64_t kSearchOverlap = 20;
// The first estimate above this ends the preamble: it belongs to the first 0.
constexpr double kPreambleEnd = 1400.0;

// Call tone I (1650..1850 Hz) and II (2050..2200 Hz) count only when their
// unbroken run of estimates ends with a length inside these open windows:
// about 78 ms of tone I (3500 estimates/s), about 77 ms of tone II.
constexpr double kToneILow = 1650.0;
constexpr double kToneIHigh = 1850.0;
constexpr std::uint32_t kToneIRunLow = 270;
constexpr std::uint32_t kToneIRunHigh = 280;
constexpr double kToneIILow = 2050.0;
constexpr double kToneIIHigh = 2200.0;
constexpr std::uint32_t kToneIIRunLow = 320;
constexpr std::uint32_t kToneIIRunHigh = 340;
// Run counters stop here so that a tone of days cannot wrap them around.
constexpr std::uint32_t kRunCap = 1u << 30;

// Both comparisons are made (`&`, not `&&`): no branch.
bool inside(double low, double value, double high) noexcept { return (low < value) & (value < high); }

} // namespace

inline void FmsDemodulator::push(double estimate) noexcept {
    m_ring[slot(m_write)] = estimate;
    ++m_write;

    // Call tones: measure each in-band run over block boundaries and report
    // it once, when it ends. Without branches: on noise the estimates fall
    // into a tone's band at random, and a branch would be mispredicted at
    // nearly every one.
    const double f = std::abs(estimate);
    const auto inI = static_cast<std::uint32_t>(inside(kToneILow, f, kToneIHigh));
    m_toneISeen = m_toneISeen | ((inI == 0) & (m_toneIRun > kToneIRunLow) & (m_toneIRun < kToneIRunHigh));
    m_toneIRun = (m_toneIRun + static_cast<std::uint32_t>(m_toneIRun < kRunCap)) & (0u - inI);
    const auto inII = static_cast<std::uint32_t>(inside(kToneIILow, f, kToneIIHigh));
    m_toneIISeen = m_toneIISeen | ((inII == 0) & (m_toneIIRun > kToneIIRunLow) & (m_toneIIRun < kToneIIRunHigh));
    m_toneIIRun = (m_toneIIRun + static_cast<std::uint32_t>(m_toneIIRun < kRunCap)) & (0u - inII);
}

void FmsDemodulator::process(const ChannelBlock& block) noexcept {
    // The block itself stays as the dispatcher wrote it.
    CrossingList crossings;
    runFront(block, m_front, crossings);
    process(crossings);
}

void FmsDemodulator::process(const CrossingList& crossings) noexcept {
    // The call-tone flags belong to this block alone.
    m_toneISeen = false;
    m_toneIISeen = false;

    // One estimate per period: 22050 / period with the period's sign (IEEE
    // division is symmetric in the sign: 22050 / -p is exactly -(22050 / p)).
    for (std::size_t k = 0; k < crossings.count; ++k) {
        push(kRate / crossings.period[k]);
    }
    // The writer lapped the reader: what it overwrote is lost, and the reader
    // goes on with the oldest estimate still held.
    if (m_write - m_read > kRingSize) {
        m_read = m_write - kRingSize;
    }
}

void FmsDemodulator::searchPreamble() noexcept {
    if (m_state == FmsSyncState::Searching) {
        const std::uint64_t available = m_write - m_read;
        std::uint64_t consumed = 0;
        int run = 0;
        while (run < kPreambleRun && consumed < available) {
            const double f = magnitude(m_read + consumed);
            ++consumed;
            run = inside(1100.0, f, 1300.0) ? run + 1 : 0;
        }
        if (run >= kPreambleRun) {
            m_read += consumed; // just behind the eleventh ones-estimate
            m_state = FmsSyncState::PreambleFound;
        } else if (available > kSearchOverlap) {
            m_read += available - kSearchOverlap;
        }
    }
    if (m_state == FmsSyncState::PreambleFound && m_write - m_read > kTelegramEstimates) {
        m_state = FmsSyncState::Ready;
    }
}

FmsSliceResult FmsDemodulator::sliceBits(int count, FmsBits& out) noexcept {
    // Skip the rest of the preamble, up to the newest estimate at most.
    std::uint64_t start = m_read;
    while (start < m_write && magnitude(start) <= kPreambleEnd) {
        ++start;
    }
    m_read = start;
    if (start == m_write) {
        // Ones up to the end: the preamble is still running.
        if (m_state == FmsSyncState::Ready) {
            m_state = FmsSyncState::PreambleFound;
        }
        return FmsSliceResult::NoStart;
    }

    count = std::clamp(count, 0, kFmsTelegramBits);
    const std::uint64_t available = m_write - start;
    std::uint64_t offset = 0;
    for (int bit = 0; bit < count; ++bit) {
        if (offset + 3 > available) {
            return FmsSliceResult::Incomplete;
        }
        const double f0 = magnitude(start + offset);
        const double f1 = magnitude(start + offset + 1);
        const double f2 = magnitude(start + offset + 2);
        std::uint8_t value;
        if (f0 > 1300.0 && f1 > 1300.0 && f2 > 1300.0 && (f0 + f1 + f2) / 3.0 > 1500.0) {
            value = 0; // three crossings of 1800 Hz
            offset += 3;
        } else if (f0 < 1700.0 && f1 < 1700.0 && (f0 + f1) / 2.0 < 1500.0) {
            value = 1; // two crossings of 1200 Hz
            offset += 2;
        } else {
            value = kFmsUndecodable;
            offset += 1;
        }
        out.value[static_cast<std::size_t>(bit)] = value;
    }
    out.count = count;
    m_read = start + offset;
    m_state = FmsSyncState::Searching;
    return FmsSliceResult::Sliced;
}

} // namespace tolvana
