#include "capture/dispatcher.h"

#include <algorithm>
#include <cstdlib>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tolvana {

namespace {

// Mean of the absolute values over one block, rounded to the nearest integer
// with halves going to the even neighbour, done in integers so that no
// floating-point rounding mode can change a meter reading.
int roundedMean(std::int64_t sum) {
    std::int64_t q = sum / kBlockFrames;
    const std::int64_t rem = sum % kBlockFrames;
    if (rem * 2 > kBlockFrames || (rem * 2 == kBlockFrames && (q & 1) != 0)) {
        ++q;
    }
    return static_cast<int>(std::min<std::int64_t>(q, kMeterLimit));
}

int limitedPeak(int peak) { return std::min(peak, kMeterLimit); }

std::uint64_t chainSeed(std::uint64_t seed, int chain) {
    return seed * std::uint64_t{0x100000001B3ull} + static_cast<std::uint64_t>(chain) * std::uint64_t{0x9E3779B97F4A7C15ull};
}

} // namespace

Dispatcher::Dispatcher(ReceptionSink& sink, const DecoderSwitches& switches, std::uint64_t seed)
    : m_sink(sink),
      m_switches(switches),
      m_sinks{SideSink(sink), SideSink(sink)},
      m_fms{FmsDecoder(ChannelSide::Left, &m_sinks[0], chainSeed(seed, 0)),
            FmsDecoder(ChannelSide::Right, &m_sinks[1], chainSeed(seed, 1))},
      m_zvei{ZveiDecoder(ChannelSide::Left, &m_sinks[0], chainSeed(seed, 2)),
             ZveiDecoder(ChannelSide::Right, &m_sinks[1], chainSeed(seed, 3))},
      m_pocsag{PocsagDecoder(ChannelSide::Left, &m_sinks[0], chainSeed(seed, 4)),
               PocsagDecoder(ChannelSide::Right, &m_sinks[1], chainSeed(seed, 5))} {}

void Dispatcher::SideSink::fmsReception(ChannelSide side, const FmsReception& r, TimePoint time) {
    if (m_queue != nullptr) {
        m_queue->push_back(QueuedReception{m_tag, side, time, r});
    } else {
        m_sink->fmsReception(side, r, time);
    }
}

void Dispatcher::SideSink::toneCall(ChannelSide side, ToneCall tone, TimePoint time) {
    if (m_queue != nullptr) {
        m_queue->push_back(QueuedReception{m_tag, side, time, tone});
    } else {
        m_sink->toneCall(side, tone, time);
    }
}

void Dispatcher::SideSink::zveiSequence(ChannelSide side, const ZveiSequence& s, TimePoint time) {
    if (m_queue != nullptr) {
        m_queue->push_back(QueuedReception{m_tag, side, time, s});
    } else {
        m_sink->zveiSequence(side, s, time);
    }
}

void Dispatcher::SideSink::pocsagPage(ChannelSide side, const PocsagPage& page, TimePoint time) {
    if (m_queue != nullptr) {
        m_queue->push_back(QueuedReception{m_tag, side, time, page});
    } else {
        m_sink->pocsagPage(side, page, time);
    }
}

namespace {

// Writes one channel into the blocks of its chains that are on (a switched-
// off chain's block keeps its old contents) and measures its level: the
// mean and the peak of the magnitudes, with |-32768| = 32768 limited like
// any other value.
template <std::size_t kStride>
ChannelLevel fillAndMeasure(const std::int16_t* samples, ChannelBlock* const* targets, std::size_t count) {
    std::int32_t sum = 0; // at most 1024 * 32768 = 2^25
    std::int32_t peak = 0;
    std::size_t n = 0;
#if defined(__x86_64__) || defined(_M_X64)
    if constexpr (kStride == 2) {
        // Four frames at a time: our samples are the low halves of four
        // 32-bit lanes. The last four are left to the plain loop, so that
        // no load reaches past the buffer.
        __m128i sums = _mm_setzero_si128();
        __m128i peaks = _mm_setzero_si128();
        for (; n + 4 < kBlockFrames; n += 4) {
            const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 2 * n));
            const __m128i v = _mm_srai_epi32(_mm_slli_epi32(raw, 16), 16);
            const __m128d low = _mm_cvtepi32_pd(v);
            const __m128d high = _mm_cvtepi32_pd(_mm_shuffle_epi32(v, 0x0E));
            for (std::size_t t = 0; t < count; ++t) {
                _mm_storeu_pd(targets[t]->data() + n, low);
                _mm_storeu_pd(targets[t]->data() + n + 2, high);
            }
            const __m128i sign = _mm_srai_epi32(v, 31);
            const __m128i magnitude = _mm_sub_epi32(_mm_xor_si128(v, sign), sign);
            sums = _mm_add_epi32(sums, magnitude);
            const __m128i larger = _mm_cmpgt_epi32(magnitude, peaks);
            peaks = _mm_or_si128(_mm_and_si128(larger, magnitude), _mm_andnot_si128(larger, peaks));
        }
        alignas(16) std::int32_t laneSums[4];
        alignas(16) std::int32_t lanePeaks[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(laneSums), sums);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanePeaks), peaks);
        for (int lane = 0; lane < 4; ++lane) {
            sum += laneSums[lane];
            peak = std::max(peak, lanePeaks[lane]);
        }
    }
#endif
    for (; n < kBlockFrames; ++n) {
        const std::int32_t v = samples[n * kStride];
        for (std::size_t t = 0; t < count; ++t) {
            (*targets[t])[n] = v;
        }
        const std::int32_t a = v < 0 ? -v : v;
        sum += a;
        peak = std::max(peak, a);
    }
    return {roundedMean(sum), limitedPeak(peak)};
}

} // namespace

LevelMeters Dispatcher::dispatchBuffer(std::span<const std::int16_t, kBufferValues> interleaved,
                                       TimePoint now) {
    return dispatchBoth(interleaved.data(), interleaved.data() + 1, 2, now);
}

LevelMeters Dispatcher::dispatchBlock(std::span<const std::int16_t, kBlockFrames> left,
                                      std::span<const std::int16_t, kBlockFrames> right,
                                      TimePoint now) {
    return dispatchBoth(left.data(), right.data(), 1, now);
}

// dispatchSide(left) and then dispatchSide(right) on one thread, with the
// FMS and five-tone front ends of both sides in one pass where both sides
// run them: the sides share no state, so the right side's front ends may
// run before the left side's chains, and the receptions still reach the
// sink in the same order.
LevelMeters Dispatcher::dispatchBoth(const std::int16_t* left, const std::int16_t* right, std::size_t stride,
                                     TimePoint now) {
    const ChannelLevel l = fillSide(0, left, stride);
    const ChannelLevel r = fillSide(1, right, stride);
    if (frontsPaired(0) && frontsPaired(1)) {
        CrossingList lists[4];
        CrossingFront zveiLeft = m_zvei[0].front();
        CrossingFront zveiRight = m_zvei[1].front();
        runFronts(m_fms[0].block(), {m_fms[0].front(), lists[0]}, {zveiLeft, lists[1]}, m_fms[1].block(),
                  {m_fms[1].front(), lists[2]}, {zveiRight, lists[3]});
        const FrontsDone leftDone{lists[0], zveiLeft, lists[1]};
        const FrontsDone rightDone{lists[2], zveiRight, lists[3]};
        runChains(ChannelSide::Left, now, &leftDone);
        runChains(ChannelSide::Right, now, &rightDone);
    } else {
        runChains(ChannelSide::Left, now);
        runChains(ChannelSide::Right, now);
    }
    return {l.mean, l.peak, r.mean, r.peak};
}

ChannelLevel Dispatcher::fillSide(std::size_t i, const std::int16_t* samples, std::size_t stride) {
    ChannelBlock* targets[3];
    std::size_t count = 0;
    if (m_switches.fms[i]) {
        targets[count++] = &m_fms[i].block();
    }
    if (m_switches.zvei[i]) {
        targets[count++] = &m_zvei[i].block();
    }
    if (m_switches.pocsag[i]) {
        targets[count++] = &m_pocsag[i].block();
    }
    // Interleaved buffers and split blocks are the shapes that come.
    if (stride == 2) {
        return fillAndMeasure<2>(samples, targets, count);
    }
    if (stride == 1) {
        return fillAndMeasure<1>(samples, targets, count);
    }
    std::array<std::int16_t, kBlockFrames> split;
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        split[n] = samples[n * stride];
    }
    return fillAndMeasure<1>(split.data(), targets, count);
}

ChannelLevel Dispatcher::dispatchSide(ChannelSide side, const std::int16_t* samples, std::size_t stride,
                                      TimePoint now, ReceptionQueue* queue, std::uint32_t tag) {
    const std::size_t i = index(side);
    const ChannelLevel meters = fillSide(i, samples, stride);

    // Back to the sink afterwards, even when a reception could not be kept.
    struct Divert {
        SideSink& sink;
        ~Divert() { sink.divert(nullptr, 0); }
    } divert{m_sinks[i]};
    m_sinks[i].divert(queue, tag);
    runChains(side, now);
    return meters;
}

bool Dispatcher::frontsPaired(std::size_t i) const noexcept {
    return !m_pocsag[i].busy() && m_switches.fms[i] && m_zvei[i].sequenceDone() <= 0 && m_switches.zvei[i];
}

void Dispatcher::runChains(ChannelSide side, TimePoint now, const FrontsDone* done) {
    const std::size_t i = index(side);
    FmsDecoder& fms = m_fms[i];
    ZveiDecoder& zvei = m_zvei[i];
    PocsagDecoder& pocsag = m_pocsag[i];

    // While the pager receiver is synchronised it has the channel to itself.
    if (!pocsag.busy()) {
        // After a five-tone sequence the FMS chain sits out one buffer, since
        // the tail of the sequence is no FMS signal; the mark lives one buffer.
        const bool runFms = m_switches.fms[i] && zvei.sequenceDone() <= 0;
        if (frontsPaired(i)) {
            // Both chains read the same samples through the same kind of
            // front end (band-pass, dither, crossings): one pass does both.
            // The five-tone half is done on a copy of its state and kept
            // only if the chain runs, which the FMS chain decides just below.
            const auto runBoth = [&](const CrossingList& fmsCrossings, const CrossingFront& zveiFront,
                                     const CrossingList& zveiCrossings) {
                fms.run(fmsCrossings, now);
                zvei.clearSequenceDone();
                // A digital alarm's follow-up telegrams must not be read as tones.
                if (!fms.followUpPending()) {
                    zvei.front() = zveiFront;
                    zvei.run(zveiCrossings, now);
                }
            };
            if (done != nullptr) {
                // Run already, in one pass with the other side's.
                runBoth(done->fms, done->zveiFront, done->zvei);
            } else {
                CrossingList fmsCrossings;
                CrossingList zveiCrossings;
                CrossingFront zveiFront = zvei.front();
                runFronts(fms.block(), fms.front(), fmsCrossings, zveiFront, zveiCrossings);
                runBoth(fmsCrossings, zveiFront, zveiCrossings);
            }
        } else {
            if (runFms) {
                fms.run(now);
            }
            zvei.clearSequenceDone();
            if (m_switches.zvei[i] && !fms.followUpPending()) {
                zvei.run(now);
            }
        }
    }
    // A sequence assembled in this very buffer keeps the pager chain away
    // for the rest of the buffer, as does a pending FMS follow-up.
    if (m_switches.pocsag[i] && zvei.sequenceDone() == 0 && !fms.followUpPending()) {
        pocsag.run(now);
    }
}

} // namespace tolvana
