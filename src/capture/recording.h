// Decoding a recording: cut into the buffers the sound card would deliver and
// run through the dispatcher, on the recording's own clock (reception time =
// start time + sample position), however fast the file is read.
#pragma once

#include <cstdint>
#include <functional>

#include "capture/audio_source.h"
#include "capture/dispatcher.h"

namespace tolvana {

/// Time of a sample position on a recording that started at `start`.
inline TimePoint recordingTime(TimePoint start, std::uint64_t frame) {
    return start + std::chrono::milliseconds(static_cast<std::int64_t>(frame * 1000 / kSampleRate));
}

struct RecordingProgress {
    std::uint64_t frames = 0; ///< frames of the recording dispatched so far
    TimePoint time;           ///< recording clock at the end of the last buffer
    LevelMeters meters;
};

struct RecordingResult {
    std::uint64_t frames = 0; ///< frames the recording held
    std::uint64_t buffers = 0;
};

/// Feeds the whole source to the dispatcher in buffers of 1024 frames. A short
/// last buffer is filled up with silence, and one second of silence follows
/// the recording, so that a transmission that runs to the very end of the file
/// is still closed and handed on. `afterBuffer` (optional) runs after every
/// buffer; returning false stops the run.
///
/// With `threads` of 2 or more the two channels are decoded on two threads
/// of their own, batches of buffers ahead of the calling thread. The sink
/// and `afterBuffer` are still called on the calling thread only, in exactly
/// the order of a run on one thread: per buffer the left side's receptions,
/// the right side's, then `afterBuffer`. Only the dispatcher's chains may
/// have gone a few batches further when a run is stopped early.
RecordingResult decodeRecording(AudioSource& source, Dispatcher& dispatcher, TimePoint start,
                                const std::function<bool(const RecordingProgress&)>& afterBuffer = {},
                                int threads = 1);

} // namespace tolvana
