#include "capture/recording.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace tolvana {

namespace {

/// The buffers of a recording as the dispatcher gets them: the file's frames
/// in runs of 1024, the last one filled up with silence, then one second of
/// silence. Each buffer's time is taken when it is complete, as live capture
/// sees it.
class BufferStream {
public:
    BufferStream(AudioSource& source, TimePoint start) : m_source(source), m_start(start) {}

    /// Fills the next buffer; false when the recording and its tail are done.
    bool next(std::span<std::int16_t, kBufferValues> buffer) {
        if (m_reading) {
            const std::size_t got = m_source.readFrames(buffer);
            if (got > 0) {
                if (got < kBlockFrames) {
                    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(2 * got), buffer.end(), 0);
                    m_reading = false;
                }
                m_frames += got;
                return advance();
            }
            m_reading = false;
        }
        if (m_tailLeft == 0) {
            return false;
        }
        --m_tailLeft;
        std::fill(buffer.begin(), buffer.end(), 0);
        return advance();
    }

    /// Frames of the recording read so far (silence not counted).
    std::uint64_t frames() const noexcept { return m_frames; }
    /// Time at the end of the buffer last returned.
    TimePoint time() const noexcept { return recordingTime(m_start, m_position); }

private:
    bool advance() {
        m_position += kBlockFrames;
        return true;
    }

    AudioSource& m_source;
    TimePoint m_start;
    bool m_reading = true;
    int m_tailLeft = (kSampleRate + kBlockFrames - 1) / kBlockFrames;
    std::uint64_t m_frames = 0;
    std::uint64_t m_position = 0; // frames dispatched, silence included
};

RecordingResult decodeOnOneThread(BufferStream& stream, Dispatcher& dispatcher,
                                  const std::function<bool(const RecordingProgress&)>& afterBuffer) {
    std::array<std::int16_t, kBufferValues> buffer{};
    RecordingResult result;
    while (stream.next(buffer)) {
        const LevelMeters meters = dispatcher.dispatchBuffer(buffer, stream.time());
        ++result.buffers;
        result.frames = stream.frames();
        if (afterBuffer && !afterBuffer(RecordingProgress{stream.frames(), stream.time(), meters})) {
            return result;
        }
    }
    result.frames = stream.frames();
    return result;
}

// Two threads, one per channel, each running its side's three chains over
// a batch of buffers, while the calling thread reads the next batches and
// hands on the receptions of the finished ones. Batches are large enough
// that the threads meet only a few dozen times per minute of audio.
constexpr std::size_t kBatchBuffers = 32;
constexpr std::size_t kBatchSlots = 3; // one being read, two being decoded

struct Batch {
    std::vector<std::int16_t> pcm = std::vector<std::int16_t>(kBatchBuffers * kBufferValues);
    std::size_t buffers = 0;
    std::array<std::uint64_t, kBatchBuffers> frames{};
    std::array<TimePoint, kBatchBuffers> times{};
    std::array<ReceptionQueue, 2> receptions;
    std::array<std::array<ChannelLevel, kBatchBuffers>, 2> levels{};
};

class ChannelThreads {
public:
    ChannelThreads(Dispatcher& dispatcher, std::array<Batch, kBatchSlots>& batches)
        : m_dispatcher(dispatcher), m_batches(batches) {
        for (std::size_t side = 0; side < 2; ++side) {
            m_threads[side] = std::thread([this, side] { run(side); });
        }
    }
    ~ChannelThreads() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (std::thread& t : m_threads) {
            t.join();
        }
    }
    ChannelThreads(const ChannelThreads&) = delete;
    ChannelThreads& operator=(const ChannelThreads&) = delete;

    /// Batch number `published()` is filled: the threads may decode it.
    void publish(bool last) {
        {
            const std::lock_guard lock(m_mutex);
            ++m_published;
            m_last = last;
        }
        m_changed.notify_all();
    }
    /// No further batch will come.
    void finish() {
        {
            const std::lock_guard lock(m_mutex);
            m_last = true;
        }
        m_changed.notify_all();
    }
    /// Waits until both sides have decoded batch number `batch`; rethrows
    /// what stopped a thread.
    void waitFor(std::uint64_t batch) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_error || (m_done[0] > batch && m_done[1] > batch); });
        if (m_error) {
            std::rethrow_exception(m_error);
        }
    }

private:
    void run(std::size_t side) {
        try {
            for (std::uint64_t k = 0;; ++k) {
                {
                    std::unique_lock lock(m_mutex);
                    m_changed.wait(lock, [&] { return m_stop || m_published > k || m_last; });
                    if (m_stop || m_published <= k) {
                        return;
                    }
                }
                decode(m_batches[k % kBatchSlots], side);
                {
                    const std::lock_guard lock(m_mutex);
                    m_done[side] = k + 1;
                }
                m_changed.notify_all();
            }
        } catch (...) {
            {
                const std::lock_guard lock(m_mutex);
                if (!m_error) {
                    m_error = std::current_exception();
                }
            }
            m_changed.notify_all();
        }
    }

    void decode(Batch& batch, std::size_t side) {
        const auto channel = static_cast<ChannelSide>(side);
        ReceptionQueue& queue = batch.receptions[side];
        queue.clear();
        for (std::size_t b = 0; b < batch.buffers; ++b) {
            batch.levels[side][b] =
                m_dispatcher.dispatchSide(channel, batch.pcm.data() + b * kBufferValues + side, 2,
                                          batch.times[b], &queue, static_cast<std::uint32_t>(b));
        }
    }

    Dispatcher& m_dispatcher;
    std::array<Batch, kBatchSlots>& m_batches;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_published = 0;
    std::array<std::uint64_t, 2> m_done{};
    bool m_last = false;
    bool m_stop = false;
    std::exception_ptr m_error;
    std::array<std::thread, 2> m_threads; // last: started when all above is ready
};

RecordingResult decodeOnTwoThreads(BufferStream& stream, Dispatcher& dispatcher, ReceptionSink& sink,
                                   const std::function<bool(const RecordingProgress&)>& afterBuffer) {
    std::array<Batch, kBatchSlots> batches;
    ChannelThreads threads(dispatcher, batches);
    RecordingResult result;
    std::uint64_t published = 0;
    std::uint64_t delivered = 0;
    bool streamEnded = false;
    for (;;) {
        // Read ahead into every free slot; the threads work meanwhile.
        while (!streamEnded && published - delivered < kBatchSlots) {
            Batch& batch = batches[published % kBatchSlots];
            batch.buffers = 0;
            while (batch.buffers < kBatchBuffers &&
                   stream.next(std::span<std::int16_t, kBufferValues>(
                       batch.pcm.data() + batch.buffers * kBufferValues, kBufferValues))) {
                batch.frames[batch.buffers] = stream.frames();
                batch.times[batch.buffers] = stream.time();
                ++batch.buffers;
            }
            streamEnded = batch.buffers < kBatchBuffers;
            if (batch.buffers == 0) {
                break;
            }
            ++published;
            threads.publish(streamEnded);
        }
        if (streamEnded) {
            threads.finish();
        }
        if (delivered == published) {
            break;
        }

        threads.waitFor(delivered);
        Batch& batch = batches[delivered % kBatchSlots];
        std::array<std::size_t, 2> next{};
        for (std::size_t b = 0; b < batch.buffers; ++b) {
            for (std::size_t side = 0; side < 2; ++side) {
                const ReceptionQueue& queue = batch.receptions[side];
                for (; next[side] < queue.size() && queue[next[side]].buffer == b; ++next[side]) {
                    deliver(queue[next[side]], sink);
                }
            }
            ++result.buffers;
            result.frames = batch.frames[b];
            const LevelMeters meters{batch.levels[0][b].mean, batch.levels[0][b].peak,
                                     batch.levels[1][b].mean, batch.levels[1][b].peak};
            if (afterBuffer && !afterBuffer(RecordingProgress{batch.frames[b], batch.times[b], meters})) {
                return result;
            }
        }
        ++delivered;
    }
    result.frames = stream.frames();
    return result;
}

} // namespace

RecordingResult decodeRecording(AudioSource& source, Dispatcher& dispatcher, TimePoint start,
                                const std::function<bool(const RecordingProgress&)>& afterBuffer,
                                int threads) {
    BufferStream stream(source, start);
    if (threads < 2) {
        return decodeOnOneThread(stream, dispatcher, afterBuffer);
    }
    return decodeOnTwoThreads(stream, dispatcher, dispatcher.sink(), afterBuffer);
}

} // namespace tolvana
