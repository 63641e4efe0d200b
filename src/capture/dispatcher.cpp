#include "capture/dispatcher.h"

#include <algorithm>
#include <cstdlib>

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
    : m_switches(switches),
      m_fms{FmsDecoder(ChannelSide::Left, &sink, chainSeed(seed, 0)),
            FmsDecoder(ChannelSide::Right, &sink, chainSeed(seed, 1))},
      m_zvei{ZveiDecoder(ChannelSide::Left, &sink, chainSeed(seed, 2)),
             ZveiDecoder(ChannelSide::Right, &sink, chainSeed(seed, 3))},
      m_pocsag{PocsagDecoder(ChannelSide::Left, &sink, chainSeed(seed, 4)),
               PocsagDecoder(ChannelSide::Right, &sink, chainSeed(seed, 5))} {}

LevelMeters Dispatcher::dispatchBuffer(std::span<const std::int16_t, kBufferValues> interleaved,
                                       TimePoint now) {
    std::array<std::int16_t, kBlockFrames> left;
    std::array<std::int16_t, kBlockFrames> right;
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        left[n] = interleaved[2 * n];
        right[n] = interleaved[2 * n + 1];
    }
    return dispatchBlock(left, right, now);
}

namespace {

// Writes one channel into the blocks of its chains that are on: converted
// once, copied to the others. A switched-off chain's block keeps its old
// contents.
void fillBlocks(std::span<const std::int16_t, kBlockFrames> samples, ChannelBlock* const* targets,
                std::size_t count) {
    if (count == 0) {
        return;
    }
    ChannelBlock& first = *targets[0];
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        first[n] = samples[n];
    }
    for (std::size_t t = 1; t < count; ++t) {
        *targets[t] = first;
    }
}

struct ChannelLevel {
    std::int64_t sum = 0;
    int peak = 0;
};

ChannelLevel level(std::span<const std::int16_t, kBlockFrames> samples) {
    // |-32768| is 32768: taken in int, like the meters' limit expects.
    std::int32_t sum = 0; // at most 1024 * 32768 = 2^25
    int peak = 0;
    for (const std::int16_t v : samples) {
        const int a = std::abs(static_cast<int>(v));
        sum += a;
        peak = std::max(peak, a);
    }
    return {sum, peak};
}

} // namespace

LevelMeters Dispatcher::dispatchBlock(std::span<const std::int16_t, kBlockFrames> left,
                                      std::span<const std::int16_t, kBlockFrames> right,
                                      TimePoint now) {
    for (std::size_t side = 0; side < 2; ++side) {
        ChannelBlock* targets[3];
        std::size_t count = 0;
        if (m_switches.fms[side]) {
            targets[count++] = &m_fms[side].block();
        }
        if (m_switches.zvei[side]) {
            targets[count++] = &m_zvei[side].block();
        }
        if (m_switches.pocsag[side]) {
            targets[count++] = &m_pocsag[side].block();
        }
        fillBlocks(side == 0 ? left : right, targets, count);
    }

    const ChannelLevel l = level(left);
    const ChannelLevel r = level(right);
    const LevelMeters meters{roundedMean(l.sum), limitedPeak(l.peak), roundedMean(r.sum),
                             limitedPeak(r.peak)};

    runChains(ChannelSide::Left, now);
    runChains(ChannelSide::Right, now);
    return meters;
}

void Dispatcher::runChains(ChannelSide side, TimePoint now) {
    const std::size_t i = index(side);
    FmsDecoder& fms = m_fms[i];
    ZveiDecoder& zvei = m_zvei[i];
    PocsagDecoder& pocsag = m_pocsag[i];

    // While the pager receiver is synchronised it has the channel to itself.
    if (!pocsag.busy()) {
        // After a five-tone sequence the FMS chain sits out one buffer, since
        // the tail of the sequence is no FMS signal; the mark lives one buffer.
        if (m_switches.fms[i] && zvei.sequenceDone() <= 0) {
            fms.run(now);
        }
        zvei.clearSequenceDone();
        // A digital alarm's follow-up telegrams must not be read as tones.
        if (m_switches.zvei[i] && !fms.followUpPending()) {
            zvei.run(now);
        }
    }
    // A sequence assembled in this very buffer keeps the pager chain away
    // for the rest of the buffer, as does a pending FMS follow-up.
    if (m_switches.pocsag[i] && zvei.sequenceDone() == 0 && !fms.followUpPending()) {
        pocsag.run(now);
    }
}

} // namespace tolvana
