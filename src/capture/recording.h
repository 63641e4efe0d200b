// Decoding recorded or streamed sound: cut into the buffers the sound card
// would deliver and run through the dispatcher. A file runs on its own clock
// (reception time = start time + sample position), however fast it is read;
// a stream that arrives over time (standard input fed by an SDR pipeline) is
// read on a thread of its own, each buffer is decoded and handed on as soon
// as it is complete, and it may be stamped with the wall clock at its
// arrival instead.
#pragma once

#include "capture/audio_source.h"
#include "capture/dispatcher.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace tolvana {

/// Time of a sample position on a recording that started at `start`.
inline TimePoint recordingTime(TimePoint start, std::uint64_t frame) {
    return start + std::chrono::milliseconds(static_cast<std::int64_t>(frame * 1000 / kSampleRate));
}

/// The present time on the wall clock, to the millisecond.
inline TimePoint wallClockNow() {
    return std::chrono::time_point_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now());
}

struct RecordingProgress {
    std::uint64_t frames = 0; ///< frames of the recording dispatched so far
    TimePoint time;           ///< time of the last buffer (the end of it)
    LevelMeters meters;
};

struct RecordingResult {
    std::uint64_t frames = 0; ///< frames the recording held
    std::uint64_t buffers = 0;
};

/// What stamps each buffer with its time.
enum class BufferClock {
    /// start + sample position at the end of the buffer: a recording, however
    /// fast or slowly it is read.
    Recording,
    /// The wall clock when the buffer's last frame was read: live input, so
    /// that pauses and underruns of the sender never shift the times.
    Arrival,
};

struct DecodeOptions {
    BufferClock clock = BufferClock::Recording;
    /// The time of the first sample on the recording clock.
    TimePoint start;
    /// The wall clock of the arrival clock (tests put their own in).
    std::function<TimePoint()> wallClock = wallClockNow;
    /// The input arrives over time (a pipe, standard input): it is read on a
    /// thread of its own into a bounded queue, and every buffer is decoded
    /// and handed on as soon as it is there, on one thread or two. A file is
    /// read ahead in batches instead.
    bool stream = false;
    /// 2: the two channels are decoded on two threads of their own.
    int threads = 1;
    /// Runs after every buffer on the calling thread; false stops the run.
    std::function<bool(const RecordingProgress&)> afterBuffer;
    /// Runs on the calling thread about every `idleInterval` while a stream
    /// has no buffer waiting (timers, events).
    std::function<void()> whileWaiting;
    std::chrono::milliseconds idleInterval{100};
    /// When it becomes true, reading ends as at the end of the input: what
    /// was read is decoded and handed on, followed by the silent tail.
    const std::atomic<bool>* stop = nullptr;
};

/// Feeds the source to the dispatcher in buffers of 1024 frames. A short last
/// buffer is filled up with silence, and one second of silence follows the
/// input, so that a transmission that runs to the very end is still closed
/// and handed on.
///
/// With `threads` of 2 the two channels are decoded on two threads, ahead of
/// the calling thread. The sink, `afterBuffer` and `whileWaiting` are still
/// called on the calling thread only, in exactly the order of a run on one
/// thread: per buffer the left side's receptions, the right side's, then
/// `afterBuffer`. Only the dispatcher's chains may have gone a few batches
/// further when `afterBuffer` stops a file early.
RecordingResult decodeInput(AudioSource& source, Dispatcher& dispatcher,
                            const DecodeOptions& options);

/// A file on the recording clock (see decodeInput).
RecordingResult
decodeRecording(AudioSource& source, Dispatcher& dispatcher, TimePoint start,
                const std::function<bool(const RecordingProgress&)>& afterBuffer = {},
                int threads = 1);

/// The silent second that follows an input, for inputs that end elsewhere
/// (a sound card that is stopped): buffers stamped from `after` on.
void dispatchTail(Dispatcher& dispatcher, TimePoint after);

} // namespace tolvana
