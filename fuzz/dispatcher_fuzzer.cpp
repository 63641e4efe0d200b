// Fuzz target: arbitrary audio through the dispatcher with all six decoder
// chains on. The input is taken as the sound card delivers it: interleaved
// 16-bit little-endian stereo samples (left, right, left, ...), cut into
// whole buffers of 1024 frames, the last one filled up with silence.
//
//   byte  0    1    2    3    4    5    6    7
//       | left 0  | right 0 | left 1  | right 1 | ...
#include "checking_sink.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::int16_t> samples(size / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto value = static_cast<std::uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        samples[i] = static_cast<std::int16_t>(value);
    }
    tolvana::fuzz::dispatchTwiceAndCompare(samples);
    return 0;
}
