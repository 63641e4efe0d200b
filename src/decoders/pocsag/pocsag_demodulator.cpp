// POCSAG demodulator stages (frame layout in pocsag_demodulator.h).
#include "decoders/pocsag/pocsag_demodulator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <utility>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "decoders/pocsag/pocsag_bch.h"
#include "decoders/pocsag/pocsag_click_filter.h"
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
// The next batch's sync codeword is looked for this many bits either side
// of where it belongs, and taken with up to this many wrong bits. Noise
// matches it that well somewhere in the nine places with a chance of about
// 1 in 11000 (41449 of the 2^32 words of 32 bits lie within 4 bits of it),
// while a signal weak enough to lose more than 4 of its 32 bits loses most
// pages anyway.
constexpr int kSyncSlackBits = 4;
constexpr int kSyncMaxErrors = 4;
// The first sync codeword of a transmission is taken with up to this many
// wrong bits where the 32 bits before it are the end of the preamble with
// up to kPreambleEndMaxErrors wrong. Noise gives both at once with a
// chance of about 10^-9 per bit.
constexpr int kFirstSyncMaxErrors = 3;
constexpr int kPreambleEndMaxErrors = 4;
// A preamble period measured again that differs by more than this share from
// the bit clock's restarts the clock if the clock has not locked: it was
// started on noise before the preamble, on a period too far off to follow.
// A clock that has locked follows the signal better than the runs measure
// it in noise (2 % off at 6 dB at 2400 bit/s).
constexpr double kRestartShare = 0.02;
// Runs of the preamble: a clean stream of runs between 1 and 9 bits.
constexpr double kPreambleMaxBits = 9.0;
constexpr int kPreambleBitsNeeded = 50;

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
    // A discriminator near its threshold adds clicks of one or two samples
    // at full swing. Taken as they come, each one splits a run into three
    // and lifts a peak so far that the threshold reaches the signal level.
    // The median of the last five samples removes them and keeps the edges
    // where they are (two samples late, the same for every edge); the
    // shortest bit the clock tracker accepts is eight samples long.
    ChannelBlock filtered;
    pocsag::filterClicks(block, m_clicks, filtered);
    slice(block, filtered);
    trackClock();
    clockBits(filtered);
    searchSync();
    collectCodewords();
    releaseHeldBatch();
}

void PocsagDemodulator::resetReceiver() noexcept {
    m_receiver = PocsagReceiver::Idle;
    m_endOfTransmission = false;
    m_batchReady = false;
    m_batchHeld = false;
    m_newBatchPending = false;
    m_syncWindow = SyncWindow{};
    m_clock.stop();
}

// Schmitt trigger: the level goes high above half the positive peak and low
// below half the negative peak. Each run is measured between the two
// threshold crossings, interpolated between samples.
void PocsagDemodulator::slice(const ChannelBlock& block, const ChannelBlock& filtered) noexcept {
    // Samples of 16 bits (all that a sound card or a file gives) keep the
    // peaks within the decay table; anything else takes the double path.
    if (fitsTable(m_positivePeak) && fitsTable(m_negativePeak) && sixteenBit(block) && !m_doublesOnly) {
        sliceWholeNumbers(filtered);
    } else {
        sliceDoubles(filtered);
    }
}

// Inline: a call in the slicer's loop would make the compiler keep the loop's
// numbers in memory (no vector register survives a call), and each sample
// would wait for its edge counter to come back from there.
[[gnu::always_inline]] inline void PocsagDemodulator::closeRun(double length, bool high) noexcept {
    // Interpolation can put a crossing a hair before the previous one when a
    // peak has just moved; such a run has no length, but it keeps its level.
    m_runs[m_runsWritten % kRunRing] = Run{std::max(length, 0.0), high};
    ++m_runsWritten;
}

// A crossing of the threshold the level is waiting for, between the
// previous sample (doubled) and this one:
//   rise: d = max(y - prev, 1), t = (positive - prev) / d
//   fall: d = max(prev - y, 1), t = (prev - negative) / d
// It closes the run of the level that ends here.
[[gnu::always_inline]] inline void PocsagDemodulator::cross(double y, double previous, double threshold,
                                                            SlicerLevel& level) noexcept {
    const double d = std::max(level.high ? previous - y : y - previous, 1.0);
    const double t = (level.high ? previous - threshold : threshold - previous) / d;
    closeRun(level.edgeCounter - 1.0 + t - level.heldClosed, level.high);
    level.high = !level.high;
    level.edgeCounter = 1.0 - t;
    level.heldClosed = 0.0;
}

// After the edge counter has passed the smaller of the two limits: once per
// held level, its bits complete the codeword under way and the run's length
// ends the transmission in the lock test. True when the level has held so
// long that the peaks are to be forgotten.
[[gnu::always_inline]] inline bool PocsagDemodulator::holdLevel(const SlicerLimits& limits,
                                                                SlicerLevel& level) noexcept {
    if (limits.receiving && level.heldClosed == 0.0 && level.edgeCounter - 1.0 > limits.held) {
        level.heldClosed = level.edgeCounter - 1.0;
        closeRun(level.heldClosed, level.high);
    }
    return limits.peakReset < level.edgeCounter;
}

PocsagDemodulator::SlicerLimits PocsagDemodulator::slicerLimits() const noexcept {
    SlicerLimits limits;
    limits.receiving = m_receiver != PocsagReceiver::Idle;
    limits.held = kHeldRunPeriods * m_bitPeriod;
    limits.peakReset = kPeakResetPeriods * m_bitPeriod;
    // Both tests on a long level need the edge counter above one of these
    // (x - 1 > h implies x > h), so one comparison per sample passes over
    // them until then.
    limits.first = std::min(limits.receiving ? limits.held : limits.peakReset, limits.peakReset);
    return limits;
}

// Samples from 16-bit audio. The peaks are whole numbers within the decay
// table, kept as table indexes (peak + kPeakDecayLimit) so that one look-up
// and one max or min take a peak from one sample to the next: that path is
// what the loop waits on (a form with one look-up per pair of samples,
// through a table of two samples' decay, measured slower). A peak that the
// sample overshoots becomes the sample rounded; since the peak is a whole
// number, "x > peak, then peak = round(x)" is max(peak, round(x)), and
// likewise min() for the negative peak. The threshold tests compare whole
// numbers too (see WholeSamples); doubles come in only where a crossing is
// interpolated.
void PocsagDemodulator::sliceWholeNumbers(const ChannelBlock& x) noexcept {
    constexpr std::int32_t kOffset = pocsag::kPeakDecayLimit;
    pocsag::WholeSamples whole;
    pocsag::toWholeSamples(x, kOffset, whole);
    const auto& decayed = pocsag::kPeakDecay.once;
    const SlicerLimits limits = slicerLimits();
    auto positive = static_cast<std::int32_t>(m_positivePeak) + kOffset;
    auto negative = static_cast<std::int32_t>(m_negativePeak) + kOffset;
    SlicerLevel level{m_high, m_edgeCounter, m_heldClosed};
    double previous = m_previousDoubled;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const std::int32_t rounded = whole.rounded[n];
        positive = std::max<std::int32_t>(decayed[static_cast<std::size_t>(positive)], rounded);
        negative = std::min<std::int32_t>(decayed[static_cast<std::size_t>(negative)], rounded);
        // The level first, then the one threshold that can change it: the
        // level holds for a run of samples, while a threshold is crossed and
        // recrossed in clusters. Below the negative peak right after rising
        // cannot happen (that peak is never above 0, the positive one never
        // below).
        if (level.high ? whole.floorDoubled[n] < negative : whole.ceilDoubled[n] > positive) {
            const double y = 2.0 * x[n];
            if (n > 0) {
                previous = 2.0 * x[n - 1];
            }
            cross(y, previous, static_cast<double>((level.high ? negative : positive) - kOffset), level);
        }
        level.edgeCounter += 1.0;
        if (level.edgeCounter > limits.first) [[unlikely]] {
            if (holdLevel(limits, level)) {
                positive = negative = kOffset;
            }
        }
    }
    m_positivePeak = positive - kOffset;
    m_negativePeak = negative - kOffset;
    m_high = level.high;
    m_previousDoubled = 2.0 * x.back();
    m_edgeCounter = level.edgeCounter;
    m_heldClosed = level.heldClosed;
}

// Any other block (samples beyond 16 bits, not numbers): the same decay in
// doubles, the reference the table is checked against.
void PocsagDemodulator::sliceDoubles(const ChannelBlock& x) noexcept {
    const SlicerLimits limits = slicerLimits();
    const auto decayed = [](double peak) {
        // Rounded twice to whole numbers, ties to even: a peak of 500 or less
        // no longer decays.
        return std::nearbyint(std::nearbyint(peak * kPeakDecay) * kPeakDecay);
    };
    double positive = m_positivePeak;
    double negative = m_negativePeak;
    SlicerLevel level{m_high, m_edgeCounter, m_heldClosed};
    double previous = m_previousDoubled;
    for (const double sample : x) {
        positive = decayed(positive);
        negative = decayed(negative);
        if (sample > positive) {
            positive = std::nearbyint(sample);
        }
        if (sample < negative) {
            negative = std::nearbyint(sample);
        }
        const double y = 2.0 * sample;
        if (level.high ? y < negative : y > positive) {
            cross(y, previous, level.high ? negative : positive, level);
        }
        previous = y;
        level.edgeCounter += 1.0;
        if (level.edgeCounter > limits.first) [[unlikely]] {
            if (holdLevel(limits, level)) {
                positive = negative = 0.0;
            }
        }
    }
    m_positivePeak = positive;
    m_negativePeak = negative;
    m_high = level.high;
    m_previousDoubled = previous;
    m_edgeCounter = level.edgeCounter;
    m_heldClosed = level.heldClosed;
}

void PocsagDemodulator::trackClock() noexcept {
    // More than a ring of new runs cannot happen (at most one level change
    // per sample plus a held-level close), but never read overwritten ones.
    m_runsTracked = std::max(m_runsTracked, m_runsWritten - std::min<std::uint64_t>(m_runsWritten, kRunRing));
    for (; m_runsTracked < m_runsWritten; ++m_runsTracked) {
        trackRun(m_runs[m_runsTracked % kRunRing].length);
    }
}

void PocsagDemodulator::trackRun(double r) noexcept {
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
        // Once a sync codeword has been found, the batches themselves tell
        // where the transmission ends (see searchSync): the runs cannot.
        // Noise at some levels gives the slicer runs whose lengths pass for
        // a bit stream for seconds, and a transmission would run into the
        // next one; deep noise on a weak signal fails them in the middle of
        // a batch. And the bit clock reads the samples, not the runs: a run
        // that ends the transmission here would cut off the bits the clock
        // has still to read before it (a dead carrier is closed as a run 35
        // bits after the last change).
        const bool synchronised =
            m_receiver == PocsagReceiver::SearchingSync || m_receiver == PocsagReceiver::Collecting;
        if (m_receiver != PocsagReceiver::Idle && !m_endOfTransmission && !synchronised) {
            m_endOfTransmission = true;
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
        const double period = m_preambleSum / m_preambleCount;
        if (m_receiver == PocsagReceiver::Idle) {
            m_receiver = PocsagReceiver::PreambleFound;
            m_bitsRead = m_bitsWritten;
        } else if (!m_clock.locked() && std::abs(period - m_clock.period()) > kRestartShare * period) {
            // The preamble found first was noise, or the clock ran off: it
            // starts again on the period measured now.
            m_restartClock = true;
        }
        m_preamblePeriod = period;
        m_preambleSum = 0.0;
        m_preambleCount = 0;
    }

    if (measuring && bits >= 1.0 && bits <= kPreambleMaxBits) {
        m_preambleSum += r;
        m_preambleCount += static_cast<int>(bits);
    }
}

// While a transmission is received, the bit clock turns the samples into
// bits (see pocsag_bit_clock.h), from the block in which the preamble was
// found, with the bit period measured on it.
void PocsagDemodulator::clockBits(const ChannelBlock& filtered) noexcept {
    if (m_receiver == PocsagReceiver::Idle) {
        m_clock.stop();
    } else if (!m_endOfTransmission) {
        if (!m_clock.running() || m_restartClock) {
            m_clock.start(filtered, m_preamblePeriod);
            m_restartClock = false;
        }
        pocsag::BitClock::Bits bits;
        // On the preamble (a bit change every bit) the clock takes bigger
        // steps, until the sync codeword is found.
        const std::size_t count = m_clock.run(filtered, bits, m_receiver == PocsagReceiver::PreambleFound);
        for (std::size_t i = 0; i < count; ++i) {
            if (m_bitsWritten - m_bitsRead == kBitRing) {
                ++m_bitsRead; // cannot happen: the bits are read in every block
            }
            m_bits[m_bitsWritten++ % kBitRing] = bits[i];
        }
    }
    m_clock.keepTail(filtered);
}

void PocsagDemodulator::searchSync() noexcept {
    if (m_receiver == PocsagReceiver::SearchingSync) {
        checkNextSync();
        return;
    }
    if (m_receiver != PocsagReceiver::PreambleFound) {
        return;
    }
    // The first sync codeword follows the preamble's alternating bits
    // (1010...10 as sent). Right behind them, a few wrong bits in it are
    // noise; anywhere else it must come exactly.
    constexpr std::uint32_t kPreambleEnd = 0xAAAAAAAAu;
    bool found = false;
    while (!found && bitAvailable()) {
        const std::uint32_t before = m_shift;
        m_shift = (m_shift << 1) | takeBit();
        const std::uint32_t outgoing = before >> 31;
        m_previousWord = (m_previousWord << 1) | outgoing;
        for (const bool inverted : {false, true}) {
            const std::uint32_t sync = inverted ? ~pocsag::kSyncCodeword : pocsag::kSyncCodeword;
            const std::uint32_t preamble = inverted ? ~kPreambleEnd : kPreambleEnd;
            const int errors = std::popcount(m_shift ^ sync);
            if (errors == 0 || (errors <= kFirstSyncMaxErrors &&
                                std::popcount(m_previousWord ^ preamble) <= kPreambleEndMaxErrors)) {
                m_inverted = inverted;
                found = true;
                break;
            }
        }
    }
    if (found) {
        startBatch();
    }
}

void PocsagDemodulator::startBatch() noexcept {
    m_receiver = PocsagReceiver::Collecting;
    m_bitCount = 0;
    m_batch.fill(0);
    m_batch[0] = pocsag::kSyncCodeword;
    m_batchFill = 1;
    m_nextSyncOffset = pocsag::kUnknownOffset;
    m_newBatchPending = false;
}

// A transmitter sends its batches back to back: the next sync codeword
// follows the last codeword of a batch at once. It is looked for there, a
// few bits either side (the reading may have slipped inside the batch), and
// with a few wrong bits (noise); the best match in that window starts the
// next batch. Where none comes, the transmission has ended, whatever follows
// later: the next transmission starts with a preamble of its own.
//
// The batch before is held until then: where the sync codeword stands
// tells the message decoder how far the reading has slipped by the end of
// that batch.
void PocsagDemodulator::checkNextSync() noexcept {
    const std::uint32_t expected = m_inverted ? ~pocsag::kSyncCodeword : pocsag::kSyncCodeword;
    while (m_syncWindow.bits < 32 + kSyncSlackBits && bitAvailable()) {
        m_shift = (m_shift << 1) | takeBit();
        ++m_syncWindow.bits;
        if (m_syncWindow.bits < 32 - kSyncSlackBits) {
            continue;
        }
        const int errors = std::popcount(m_shift ^ expected);
        const int away = std::abs(m_syncWindow.bits - 32);
        if (errors < m_syncWindow.bestErrors ||
            (errors == m_syncWindow.bestErrors && away < std::abs(m_syncWindow.bestBits - 32))) {
            m_syncWindow.bestErrors = errors;
            m_syncWindow.bestBits = m_syncWindow.bits;
            m_syncWindow.bestRead = m_bitsRead;
        }
    }
    if (m_syncWindow.bits < 32 + kSyncSlackBits) {
        return; // the window is not complete yet
    }
    // The bits after the best match are read again, as the first codeword
    // of the batch; they are still in the ring (the window is a few bits).
    const bool found =
        m_syncWindow.bestErrors <= kSyncMaxErrors && m_bitsWritten - m_syncWindow.bestRead < kBitRing;
    if (found) {
        m_bitsRead = m_syncWindow.bestRead;
        m_receiver = PocsagReceiver::Collecting;
        m_bitCount = 0;
        m_newBatchPending = true;
    } else if (!m_endOfTransmission) {
        m_endOfTransmission = true;
    }
    if (m_batchHeld) {
        m_batchHeld = false;
        m_batchReady = true;
        m_nextSyncOffset = found ? m_syncWindow.bestBits - 32 : pocsag::kUnknownOffset;
    }
    m_syncWindow = SyncWindow{};
}

void PocsagDemodulator::collectCodewords() noexcept {
    if (m_receiver != PocsagReceiver::Collecting || m_batchReady) {
        return;
    }
    if (m_newBatchPending) {
        if (m_endOfTransmission) {
            return; // not a codeword of the new batch yet
        }
        startBatch();
    }
    while (bitAvailable()) {
        m_shift = (m_shift << 1) | takeBit();
        if (++m_bitCount < 32) {
            continue;
        }
        m_bitCount = 0;
        const std::uint32_t word = m_inverted ? ~m_shift : m_shift;
        m_batch[static_cast<std::size_t>(m_batchFill++)] = word;
        if (word == 0) {
            // A zero word is what a dead carrier gives: it ends the batch
            // and is not kept.
            --m_batchFill;
            m_batchReady = true;
            m_receiver = PocsagReceiver::SearchingSync;
            m_syncWindow = SyncWindow{};
            return;
        }
        if (m_batchFill == kBatchWords) {
            m_batchHeld = true; // until the next sync codeword is found or missed
            m_receiver = PocsagReceiver::SearchingSync;
            m_syncWindow = SyncWindow{};
            return;
        }
    }
    // The part of a batch received before the end still counts.
    if (m_endOfTransmission) {
        m_batchReady = true;
    }
}

void PocsagDemodulator::releaseHeldBatch() noexcept {
    // The transmission ended before the place of the next sync codeword was
    // read: the batch goes as it is.
    if (m_endOfTransmission && m_batchHeld) {
        m_batchHeld = false;
        m_batchReady = true;
        m_nextSyncOffset = pocsag::kUnknownOffset;
    }
}

} // namespace tolvana
