// Fuzz target: audio made of runs of a few extreme levels, through the
// dispatcher with all six chains on. Plain 16-bit input rarely hits the
// corners a receiver meets on the air (an overdriven, clipping input, a
// constant DC level, a hard square wave, a channel that is dead silent), so
// each input byte here is a run of one level:
//
//    7   5 4       0
//   +-----+---------+
//   |level| length-1|   length 1..32 samples
//   +-----+---------+
//
//   level  0: -32768   1: 32767   2: 0       3: 16384
//          4: -16384   5: 1       6: -1      7: 3000
//
// The runs make the left channel; the right channel carries the same signal
// inverted (saturating at 32767), as a receiver with the other discriminator
// polarity would deliver it. A square wave of 1200 Hz is nine samples per
// half period, one byte each.
#include "checking_sink.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr std::array<std::int16_t, 8> kLevels = {-32768, 32767, 0, 16384, -16384, 1, -1, 3000};

std::int16_t inverted(std::int16_t v) {
    return v == -32768 ? std::int16_t{32767} : static_cast<std::int16_t>(-v);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::int16_t> samples;
    samples.reserve(size * 32 * 2);
    for (std::size_t i = 0; i < size; ++i) {
        const std::int16_t level = kLevels[data[i] >> 5];
        const int length = (data[i] & 0x1F) + 1;
        for (int k = 0; k < length; ++k) {
            samples.push_back(level);
            samples.push_back(inverted(level));
        }
    }
    tolvana::fuzz::dispatchTwiceAndCompare(samples);
    return 0;
}
