#include "fms_test_util.h"

#include <span>

namespace tolvana::test {

DecoderSwitches fmsOnly(bool left, bool right) {
    DecoderSwitches s;
    s.fms = {left, right};
    return s;
}

CollectingSink decodeStereo(const Signal& left, const Signal& right, const DecoderSwitches& switches,
                            std::uint64_t seed) {
    CollectingSink sink;
    Dispatcher dispatcher(sink, switches, seed);
    std::vector<std::int16_t> pcm = interleave(toPcm(left), toPcm(right));
    // whole buffers, then one second of silence as after a recording
    const std::size_t frames = pcm.size() / 2;
    const std::size_t buffers = (frames + kBlockFrames - 1) / kBlockFrames + kSampleRate / kBlockFrames + 1;
    pcm.resize(buffers * kBufferValues, 0);
    for (std::size_t b = 0; b < buffers; ++b) {
        const auto time = TimePoint{} + std::chrono::milliseconds(b * kBlockFrames * 1000 / kSampleRate);
        dispatcher.dispatchBuffer(std::span<const std::int16_t, kBufferValues>(pcm.data() + b * kBufferValues, kBufferValues),
                                  time);
    }
    return sink;
}

CollectingSink decodeLeft(const Signal& left, std::uint64_t seed) {
    return decodeStereo(left, Signal{}, fmsOnly(true, false), seed);
}

void padToOffset(Signal& s, std::size_t offsetInBuffer) {
    const std::size_t at = s.samples.size() % kBlockFrames;
    const std::size_t pad = (offsetInBuffer + kBlockFrames - at) % kBlockFrames;
    s.samples.insert(s.samples.end(), pad, 0.0);
}

} // namespace tolvana::test
