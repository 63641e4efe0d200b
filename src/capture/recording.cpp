#include "capture/recording.h"

#include <array>

namespace tolvana {

RecordingResult decodeRecording(AudioSource& source, Dispatcher& dispatcher, TimePoint start,
                                const std::function<bool(const RecordingProgress&)>& afterBuffer) {
    std::array<std::int16_t, kBufferValues> buffer{};
    RecordingResult result;
    std::uint64_t position = 0; // frames dispatched, silence included
    const auto dispatch = [&](std::uint64_t frames) {
        // The buffer's time is taken when it is complete, as live capture sees it.
        position += kBlockFrames;
        const TimePoint now = recordingTime(start, position);
        const LevelMeters meters = dispatcher.dispatchBuffer(buffer, now);
        ++result.buffers;
        if (afterBuffer) {
            return afterBuffer(RecordingProgress{frames, now, meters});
        }
        return true;
    };

    bool more = true;
    while (more) {
        const std::size_t got = source.readFrames(buffer);
        if (got == 0) {
            break;
        }
        if (got < kBlockFrames) {
            std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(2 * got), buffer.end(), 0);
            more = false;
        }
        result.frames += got;
        if (!dispatch(result.frames)) {
            return result;
        }
    }
    buffer.fill(0);
    const int tailBuffers = (kSampleRate + kBlockFrames - 1) / kBlockFrames;
    for (int i = 0; i < tailBuffers; ++i) {
        if (!dispatch(result.frames)) {
            break;
        }
    }
    return result;
}

} // namespace tolvana
