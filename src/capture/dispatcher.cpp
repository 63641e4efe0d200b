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

LevelMeters Dispatcher::dispatchBlock(std::span<const std::int16_t, kBlockFrames> left,
                                      std::span<const std::int16_t, kBlockFrames> right,
                                      TimePoint now) {
    // A switched-off chain's block keeps its old contents; only the blocks of
    // chains that are on are written.
    double* targets[6];
    std::size_t count = 0;
    const auto want = [&](bool on, ChannelBlock& block) {
        if (on) {
            targets[count++] = block.data();
        }
    };
    want(m_switches.fms[0], m_fms[0].block());
    want(m_switches.zvei[0], m_zvei[0].block());
    want(m_switches.pocsag[0], m_pocsag[0].block());
    const std::size_t leftTargets = count;
    want(m_switches.fms[1], m_fms[1].block());
    want(m_switches.zvei[1], m_zvei[1].block());
    want(m_switches.pocsag[1], m_pocsag[1].block());

    std::int64_t sumLeft = 0;
    std::int64_t sumRight = 0;
    int peakLeft = 0;
    int peakRight = 0;
    for (std::size_t n = 0; n < kBlockFrames; ++n) {
        const int l = left[n];
        const int r = right[n];
        const double dl = l;
        const double dr = r;
        for (std::size_t t = 0; t < leftTargets; ++t) {
            targets[t][n] = dl;
        }
        for (std::size_t t = leftTargets; t < count; ++t) {
            targets[t][n] = dr;
        }
        const int al = std::abs(l);
        const int ar = std::abs(r);
        sumLeft += al;
        sumRight += ar;
        peakLeft = std::max(peakLeft, al);
        peakRight = std::max(peakRight, ar);
    }

    const LevelMeters meters{roundedMean(sumLeft), limitedPeak(peakLeft), roundedMean(sumRight),
                             limitedPeak(peakRight)};

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
