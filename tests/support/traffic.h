// Mixed radio traffic for integration tests, the demo recording, long runs
// and benchmarks: FMS telegrams (some digital alarms), five-tone calls and
// pager messages at all three rates, spread over one or both channels with
// quiet gaps, plus the receptions a correct decoder must report, in order.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "decoders/common/types.h"
#include "support/signal.h"

namespace tolvana::test {

struct ExpectedReception {
    ChannelSide side = ChannelSide::Left;
    double endSeconds = 0.0; ///< where the transmission ends in the recording
    std::string line;        ///< the export line tolvana-decode prints (no names)
    std::string text;        ///< FMS follow-up text or pager text

    /// "L\t##FMS#...#+" as tolvana-decode prints it.
    std::string printed() const;
};

struct TrafficOptions {
    double seconds = 60.0;
    std::uint32_t seed = 1;
    bool left = true;
    bool right = true;
    bool fms = true;
    bool zvei = true;
    bool pocsag = true;
    double minGapSeconds = 1.0; ///< quiet time between transmissions on a channel
    double maxGapSeconds = 4.0;
    /// Signal-to-noise ratio of white noise over the whole recording; no
    /// noise when not finite.
    double snrDb = std::numeric_limits<double>::infinity();
    double amplitude = 10000.0;
    /// Transmissions per channel; 0: as many as fit into `seconds`. With a
    /// count the recording lasts as long as the transmissions need.
    int count = 0;
    /// Bit rates of the pager messages, one picked at random per message
    /// (not empty when `pocsag` is on).
    std::vector<double> pocsagRates{512.0, 1200.0, 2400.0};
    /// A receiver's discriminator gives the pager signal either way up.
    enum class Polarity { Mixed, Normal, Inverted };
    Polarity pocsagPolarity = Polarity::Mixed;
    /// FMS identities to pick from, e.g. the vehicles of a data folder;
    /// empty: random identities.
    std::vector<std::string> kennungs;
};

struct Traffic {
    Signal left;
    Signal right;
    std::vector<ExpectedReception> expected; ///< ordered by end time, left before right

    /// Interleaved 16-bit stereo at 22050 Hz.
    std::vector<std::int16_t> stereoPcm() const;
    std::vector<std::string> printedLines() const;
};

/// Random traffic; the same options always give the same recording. Calls
/// and RICs do not repeat on a channel within 30 s, so the duplicate windows
/// never hide one.
Traffic makeTraffic(const TrafficOptions& options);

} // namespace tolvana::test
