// POCSAG demodulator stages (frame layout in pocsag_demodulator.h).
#include "decoders/pocsag/pocsag_demodulator.h"

#include <algorithm>
#include <cmath>
#include <utility>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "decoders/pocsag/pocsag_bch.h"
#include "decoders/pocsag/pocsag_peak_decay.h"

namespace tolvana {

namespace {

constexpr double kMinBitPeriod = 8.0;  // about 2760 bit/s
constexpr double kMaxBitPeriod = 50.0; // about 440 bit/s
// The peaks decay by this factor twice per sample (a time constant of about
// 500 samples), fast enough to follow a receiver's level changes
// from one transmission to the next, slow enough to hold over a long run.
constexpr double kPeakDecay = 0.999;
// A level that holds this many bit periods is no signal any more: the peaks
// are forgotten so that the slicer follows whatever comes next.
constexpr double kPeakResetPeriods = 40.0;
// A longer run fails the lock test and so ends a transmission. A single
// codeword holds up to 20 equal bits (a message codeword whose data is all
// zero: the end of a short text padded with zero bits, "112" for one), and
// two codewords can join their runs at the boundary, so a limit of 20 cut
// ordinary messages short and lost their text. 32 bits stays clear of what
// real traffic sends and still ends a transmission within 63 ms at 512 bit/s.
constexpr double kLockRunPeriods = 32.0;
// While receiving, a level held longer than this is closed as a run at once.
// Otherwise a receiver whose audio rests on a DC offset after the carrier
// drops would keep the last level for ever: no run, no lock test, no end of
// the transmission. The margin over the lock limit is needed because the
// clock tracker nudges the bit period by a tenth of the run's rounding error
// before the lock test; a margin of 10 % fails it for any period drift
// below 5 %.
constexpr double kHeldRunPeriods = 35.0;
// Runs of the preamble: a clean stream of runs between 1 and 9 bits.
constexpr double kPreambleMaxBits = 9.0;
constexpr int kPreambleBitsNeeded = 50;

// Median of five values with ten min/max operations and no branch: on noise
// the order of the five is random, and each compare-and-swap branch would be
// mispredicted every other sample. The smallest of a..d lies below three
// values and the largest above three, so neither can be the median unless
// it equals it; the median of the five is then the median of e and the two
// that remain, max(min(a, b), min(c, d)) and min(max(a, b), max(c, d)).
// The result is one of the five values, so it is the same number as any
// other correct median gives.
inline double median5(double a, double b, double c, double d, double e) noexcept {
    const double low = std::max(std::min(a, b), std::min(c, d));
    const double high = std::min(std::max(a, b), std::max(c, d));
    return std::max(std::min(low, high), std::min(std::max(low, high), e));
}

// Round to the nearest whole number, ties to even, for |x| < 2^51: adding
// 1.5 * 2^52 leaves no fraction bits, so the addition itself rounds (in the
// default rounding mode, which nothing in tolvana changes). Exactly
// std::nearbyint there, without the library call.
inline double roundHalfEven(double x) noexcept {
    constexpr double kShift = 0x1.8p52;
    return (x + kShift) - kShift;
}

// The peaks of real audio: whole numbers within the decay table, kept as
// integers. A peak that the sample overshoots becomes the sample rounded;
// since the peak is a whole number, "x > peak, then peak = round(x)" is
// max(peak, round(x)), and likewise min() for the negative peak.
struct TablePeaks {
    std::int32_t positive = 0;
    std::int32_t negative = 0;

    void update(double x) noexcept {
        const auto rounded = static_cast<std::int32_t>(roundHalfEven(x));
        positive = std::max(pocsag::kPeakDecay.decayed(positive), rounded);
        negative = std::min(pocsag::kPeakDecay.decayed(negative), rounded);
    }
    double positiveValue() const noexcept { return positive; }
    double negativeValue() const noexcept { return negative; }
    void reset() noexcept { positive = negative = 0; }
};

// Any other block (samples beyond 16 bits, not numbers): the same decay
// in doubles, the reference the table is checked against.
struct DoublePeaks {
    double positive = 0.0;
    double negative = 0.0;

    static double decayed(double peak) noexcept {
        // Rounded twice to whole numbers, ties to even: a peak of 500 or less
        // no longer decays.
        return std::nearbyint(std::nearbyint(peak * kPeakDecay) * kPeakDecay);
    }
    void update(double x) noexcept {
        positive = decayed(positive);
        negative = decayed(negative);
        if (x > positive) {
            positive = std::nearbyint(x);
        }
        if (x < negative) {
            negative = std::nearbyint(x);
        }
    }
    double positiveValue() const noexcept { return positive; }
    double negativeValue() const noexcept { return negative; }
    void reset() noexcept { positive = negative = 0.0; }
};

bool fitsTable(double peak) noexcept {
    return peak >= -pocsag::kPeakDecayLimit && peak <= pocsag::kPeakDecayLimit;
}

// Whether every sample is a number in the 16-bit range.
bool sixteenBit(const ChannelBlock& block) noexcept {
#if defined(__x86_64__) || defined(_M_X64)
    // Two at a time, no branch; "not >=" and "not <=" also catch NaN.
    const __m128d low = _mm_set1_pd(-32768.0);
    const __m128d high = _mm_set1_pd(32767.0);
    __m128d outside = _mm_setzero_pd();
    for (std::size_t n = 0; n < block.size(); n += 2) {
        const __m128d v = _mm_loadu_pd(block.data() + n);
        outside = _mm_or_pd(outside, _mm_or_pd(_mm_cmpnge_pd(v, low), _mm_cmpnle_pd(v, high)));
    }
    return _mm_movemask_pd(outside) == 0;
#else
    bool inside = true;
    for (const double sample : block) {
        inside &= (sample >= -32768.0) & (sample <= 32767.0);
    }
    return inside;
#endif
}

} // namespace

void PocsagDemodulator::process(const ChannelBlock& block) noexcept {
    slice(block);
    trackClock();
    convertBits();
    searchSync();
    collectCodewords();
}

void PocsagDemodulator::resetReceiver() noexcept {
    m_receiver = PocsagReceiver::Idle;
    m_endOfTransmission = false;
    m_batchReady = false;
}

// Schmitt trigger: the level goes high above half the positive peak and low
// below half the negative peak. Each run is measured between the two
// threshold crossings, interpolated between samples.
void PocsagDemodulator::slice(const ChannelBlock& block) noexcept {
    // Samples of 16 bits (all that a sound card or a file gives) keep the
    // peaks within the decay table; anything else takes the double path.
    if (fitsTable(m_positivePeak) && fitsTable(m_negativePeak) && sixteenBit(block)) {
        TablePeaks peaks{static_cast<std::int32_t>(m_positivePeak),
                         static_cast<std::int32_t>(m_negativePeak)};
        sliceWith(block, peaks);
        m_positivePeak = peaks.positive;
        m_negativePeak = peaks.negative;
    } else {
        DoublePeaks peaks{m_positivePeak, m_negativePeak};
        sliceWith(block, peaks);
        m_positivePeak = peaks.positive;
        m_negativePeak = peaks.negative;
    }
}

template <class Peaks>
void PocsagDemodulator::sliceWith(const ChannelBlock& block, Peaks& result) noexcept {
    Peaks peaks = result; // a local: the run ring's stores cannot touch it
    const bool receiving = m_receiver != PocsagReceiver::Idle;
    const double heldLimit = kHeldRunPeriods * m_bitPeriod;
    const double peakResetLimit = kPeakResetPeriods * m_bitPeriod;
    Dither dither = m_dither;
    // The last five samples, oldest first; the median does not care about
    // their order, only the window's contents carry over.
    double w0 = m_recent[m_recentNext % 5];
    double w1 = m_recent[(m_recentNext + 1) % 5];
    double w2 = m_recent[(m_recentNext + 2) % 5];
    double w3 = m_recent[(m_recentNext + 3) % 5];
    double w4 = m_recent[(m_recentNext + 4) % 5];
    bool high = m_high;
    double previousDoubled = m_previousDoubled;
    double edgeCounter = m_edgeCounter;
    double heldClosed = m_heldClosed;
    for (const double sample : block) {
        // A discriminator near its threshold adds clicks of one or two
        // samples at full swing. Taken as they come, each one splits a run
        // into three and inserts two bits, and it lifts a peak so far that
        // the threshold reaches the signal level. The median of the last
        // five samples removes them and keeps the edges where they are
        // (two samples late, the same for every edge); the shortest bit
        // the clock tracker accepts is eight samples long.
        w0 = w1;
        w1 = w2;
        w2 = w3;
        w3 = w4;
        w4 = sample + dither.offset();
        const double x = median5(w0, w1, w2, w3, w4);

        // Both peaks decay alike. A negative peak that never decays keeps
        // the falling threshold wherever the loudest negative swing left it
        // (the noise before the carrier, a click): short low bits then stay
        // above it, bits go missing and the codewords slip.
        peaks.update(x);
        const double y = 2.0 * x;
        const auto fall = [&] {
            const double negative = peaks.negativeValue();
            const double d = std::max(previousDoubled - y, 1.0);
            const double t = (previousDoubled - negative) / d;
            closeRun(edgeCounter - 1.0 + t - heldClosed, true);
            high = false;
            edgeCounter = 1.0 - t;
            heldClosed = 0.0;
        };
        // The level first, then the one threshold that can change it: the
        // level holds for a run of samples, while a threshold is crossed and
        // recrossed in clusters, so this order meets fewer surprises.
        if (!high) {
            if (y > peaks.positiveValue()) {
                const double positive = peaks.positiveValue();
                const double d = std::max(y - previousDoubled, 1.0);
                const double t = (positive - previousDoubled) / d;
                closeRun(edgeCounter - 1.0 + t - heldClosed, false);
                high = true;
                edgeCounter = 1.0 - t;
                heldClosed = 0.0;
                // Below the negative peak as well cannot happen (that peak is
                // never above 0, the positive one never below), but it is
                // the order of the two tests that counts.
                if (y < peaks.negativeValue()) {
                    fall();
                }
            }
        } else if (y < peaks.negativeValue()) {
            fall();
        }
        previousDoubled = y;
        edgeCounter += 1.0;
        // Once per held level: its bits complete the codeword under way, and
        // the run's length ends the transmission in the lock test.
        if (receiving && heldClosed == 0.0 && edgeCounter - 1.0 > heldLimit) {
            heldClosed = edgeCounter - 1.0;
            closeRun(heldClosed, high);
        }
        if (peakResetLimit < edgeCounter) {
            peaks.reset();
        }
    }
    result = peaks;
    m_dither = dither;
    m_recent = {w0, w1, w2, w3, w4};
    m_recentNext = 0;
    m_high = high;
    m_previousDoubled = previousDoubled;
    m_edgeCounter = edgeCounter;
    m_heldClosed = heldClosed;
}

void PocsagDemodulator::closeRun(double length, bool high) noexcept {
    // Interpolation can put a crossing a hair before the previous one when a
    // peak has just moved; such a run has no length, but it keeps its level.
    m_runs[m_runsWritten % kRunRing] = Run{std::max(length, 0.0), high};
    ++m_runsWritten;
}

void PocsagDemodulator::trackClock() noexcept {
    // More than a ring of new runs cannot happen (at most one level change
    // per sample plus a held-level close), but never read overwritten ones.
    m_runsTracked = std::max(m_runsTracked, m_runsWritten - std::min<std::uint64_t>(m_runsWritten, kRunRing));
    for (; m_runsTracked < m_runsWritten; ++m_runsTracked) {
        trackRun(m_runs[m_runsTracked % kRunRing].length, m_runsTracked);
    }
}

void PocsagDemodulator::trackRun(double r, std::uint64_t number) noexcept {
    double& p = m_bitPeriod;
    auto& h = m_histogram;
    p = std::max(p, kMinBitPeriod);

    // A tenth of the run's whole rounding error, however many bits it holds:
    // long runs pull as hard as short ones.
    const double q = pocsag::nearestWhole(r / p);
    if (q > 0.0) {
        p += (r - q * p) / 10.0;
    }
    p = std::clamp(p, kMinBitPeriod, kMaxBitPeriod);

    // Octave up: most runs look two or more periods long, so the period is
    // half the real one (it starts at the shortest and climbs by octaves).
    if ((h[2] > 2.0 * h[1] || h[3] > 2.0 * h[1] || h[4] > 2.0 * h[1]) && p < 24.0) {
        p *= 2.0;
        h = {h[0] + h[1] / 2.0, h[1] / 2.0 + h[2] + h[3] / 2.0, h[3] / 2.0 + h[4], 0.0, 0.0};
    }
    // Octave down: more runs of about no period than of one, so the period
    // is twice the real one.
    if (h[0] > h[1] && p > 16.0) {
        p /= 2.0;
        h = {h[0] / 2.0, h[0] / 2.0 + h[1] / 4.0, h[1] / 2.0, h[2] / 4.0 + h[1] / 4.0, h[2] / 2.0};
    }
    for (double& count : h) {
        count *= 0.98;
    }
    const double bits = pocsag::nearestWhole(r / p);
    h[static_cast<std::size_t>(std::min(bits, 4.0))] += 2.0;

    m_periodNewest = (m_periodNewest + 1) % m_periodHistory.size();
    m_periodHistory[m_periodNewest] = p;
    // The slot after the newest holds the period of 99 runs ago.
    const double older = m_periodHistory[(m_periodNewest + 1) % m_periodHistory.size()];

    const bool clean = std::abs(older - p) / (p + older) <= 0.1 && h[1] / 4.0 >= h[0] &&
                       r <= kLockRunPeriods * p;
    if (!clean) {
        if (m_receiver != PocsagReceiver::Idle && !m_endOfTransmission) {
            m_endOfTransmission = true;
            m_transmissionRunsEnd = number + 1;
        }
        m_preambleSum = 0.0;
        m_preambleCount = 0;
    }

    // The preamble period is measured afresh every 50 bit periods until the
    // first sync codeword is found. Noise can look like a preamble for a
    // moment; a period fixed on it would make the real preamble that follows
    // unreadable, and the transmission would be lost.
    const bool measuring =
        m_receiver == PocsagReceiver::Idle || m_receiver == PocsagReceiver::PreambleFound;
    if (m_preambleCount > kPreambleBitsNeeded && measuring) {
        if (m_receiver == PocsagReceiver::Idle) {
            m_receiver = PocsagReceiver::PreambleFound;
            m_bitsRead = m_bitsWritten;
        }
        m_preamblePeriod = m_preambleSum / m_preambleCount;
        m_preambleSum = 0.0;
        m_preambleCount = 0;
    }

    if (measuring && bits >= 1.0 && bits <= kPreambleMaxBits) {
        m_preambleSum += r;
        m_preambleCount += static_cast<int>(bits);
    }
}

// Runs become bits with the period measured on the preamble, which holds for
// the whole transmission. The converter does not restart when a transmission
// starts: the runs since the end of the last one (noise, the preamble) pass
// through the sync search first and do no harm there.
void PocsagDemodulator::convertBits() noexcept {
    if (m_receiver == PocsagReceiver::Idle) {
        return;
    }
    // Nothing after the run that ended the transmission belongs to it.
    const std::uint64_t end = m_endOfTransmission ? std::min(m_runsWritten, m_transmissionRunsEnd)
                                                  : m_runsWritten;
    std::uint64_t n = std::max(m_runsConverted, m_runsWritten - std::min<std::uint64_t>(m_runsWritten, kRunRing));
    for (; n < end; ++n) {
        const Run& run = m_runs[n % kRunRing];
        // A run shorter than half a bit still gives one bit. A run longer than
        // the bit ring can only be the end of a transmission (it fails the
        // lock test): it is cut to the ring's size.
        const double count = std::clamp(pocsag::nearestWhole(run.length / m_preamblePeriod), 1.0,
                                        static_cast<double>(kBitRing));
        const std::uint8_t bit = run.high ? 1 : 0;
        for (int i = static_cast<int>(count); i > 0; --i) {
            pushBit(bit);
        }
    }
    m_runsConverted = std::max(m_runsConverted, n);
}

void PocsagDemodulator::pushBit(std::uint8_t bit) noexcept {
    if (m_bitsWritten - m_bitsRead == kBitRing) {
        ++m_bitsRead; // only a cut-down overlong run fills the ring: drop its oldest bit
    }
    m_bits[m_bitsWritten % kBitRing] = bit;
    ++m_bitsWritten;
}

void PocsagDemodulator::searchSync() noexcept {
    if (m_receiver != PocsagReceiver::PreambleFound && m_receiver != PocsagReceiver::SearchingSync) {
        return;
    }
    bool found = false;
    while (!found && bitAvailable()) {
        m_shift = (m_shift << 1) | takeBit();
        if (m_shift == pocsag::kSyncCodeword) {
            m_inverted = false;
            found = true;
        } else if (~m_shift == pocsag::kSyncCodeword) {
            m_inverted = true;
            found = true;
        }
    }
    if (found) {
        m_receiver = PocsagReceiver::Collecting;
        m_bitCount = 0;
    }
    m_batch.fill(0);
    m_batch[0] = m_inverted ? ~m_shift : m_shift;
    m_batchFill = 1;
}

void PocsagDemodulator::collectCodewords() noexcept {
    if (m_receiver != PocsagReceiver::Collecting) {
        return;
    }
    while (!m_batchReady && bitAvailable()) {
        m_shift = (m_shift << 1) | takeBit();
        if (++m_bitCount < 32) {
            continue;
        }
        m_bitCount = 0;
        const std::uint32_t word = m_inverted ? ~m_shift : m_shift;
        m_batch[static_cast<std::size_t>(m_batchFill++)] = word;
        if (word == 0 || m_batchFill == kBatchWords) {
            // A zero word is what a dead carrier gives: it ends the batch
            // and is not kept.
            m_batchReady = true;
            m_receiver = PocsagReceiver::SearchingSync;
            if (word == 0) {
                --m_batchFill;
            }
        }
    }
    // The part of a batch received before the end still counts.
    if (m_endOfTransmission) {
        m_batchReady = true;
    }
}

} // namespace tolvana
