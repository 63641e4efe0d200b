// Shared helpers of the FMS tests: feeding signals through the dispatcher
// with only the FMS chains on, and building streams of transmissions.
#pragma once

#include <cstdint>
#include <vector>

#include "capture/dispatcher.h"
#include "support/collecting_sink.h"
#include "support/fms_encoder.h"
#include "support/signal.h"

namespace tolvana::test {

/// FMS on the given sides, everything else off.
DecoderSwitches fmsOnly(bool left = true, bool right = true);

/// Runs a stereo recording through a dispatcher, buffer by buffer on the
/// recording's clock, followed by one second of silence; returns what the
/// chains reported.
CollectingSink decodeStereo(const Signal& left, const Signal& right, const DecoderSwitches& switches,
                            std::uint64_t seed = 1);
/// The same for the left channel alone (the right one silent).
CollectingSink decodeLeft(const Signal& left, std::uint64_t seed = 1);

/// Feeds a mono signal to one decoder buffer by buffer (padded with silence
/// to whole buffers); `afterBuffer` runs after each.
template <typename Decoder, typename After>
void feed(Decoder& decoder, const Signal& signal, After afterBuffer) {
    const std::size_t buffers = (signal.samples.size() + kBlockFrames - 1) / kBlockFrames;
    for (std::size_t b = 0; b < buffers; ++b) {
        ChannelBlock& block = decoder.block();
        for (std::size_t n = 0; n < kBlockFrames; ++n) {
            const std::size_t i = b * kBlockFrames + n;
            block[n] = i < signal.samples.size() ? std::round(signal.samples[i]) : 0.0;
        }
        decoder.run(TimePoint{} + std::chrono::milliseconds(b * 1000 * kBlockFrames / kSampleRate));
        afterBuffer(b);
    }
}

/// A 1024-sample aligned start: silence so that the next piece begins at the
/// given sample offset within a buffer.
void padToOffset(Signal& s, std::size_t offsetInBuffer);

} // namespace tolvana::test
