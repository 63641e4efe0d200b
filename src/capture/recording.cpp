#include "capture/recording.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace tolvana {

namespace {

/// Where a buffer stands: frames of the input read up to its end, and its time.
struct Stamp {
    std::uint64_t frames = 0;
    TimePoint time;
};

/// The buffers of an input as the dispatcher gets them: the input's frames
/// in runs of 1024, the last one filled up with silence, then one second of
/// silence. Each buffer's time is taken when it is complete, as live capture
/// sees it: on the recording clock, or the wall clock when it was read.
class BufferStream {
public:
    BufferStream(AudioSource& source, const DecodeOptions& options)
        : m_source(source), m_options(options) {}

    /// Fills the next buffer; false when the input and its tail are done.
    bool next(std::span<std::int16_t, kBufferValues> buffer, Stamp& stamp) {
        if (m_reading && m_options.stop != nullptr && m_options.stop->load()) {
            m_reading = false; // stopped: what was read is done, the tail follows
        }
        if (m_reading) {
            const std::size_t got = m_source.readFrames(buffer);
            if (got > 0) {
                if (got < kBlockFrames) {
                    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(2 * got), buffer.end(),
                              0);
                    m_reading = false;
                }
                m_frames += got;
                return advance(stamp, true);
            }
            m_reading = false;
        }
        if (m_tailLeft == 0) {
            return false;
        }
        --m_tailLeft;
        std::fill(buffer.begin(), buffer.end(), 0);
        return advance(stamp, false);
    }

    /// Frames of the input read so far (silence not counted).
    std::uint64_t frames() const noexcept { return m_frames; }

private:
    bool advance(Stamp& stamp, bool read) {
        m_position += kBlockFrames;
        if (m_options.clock == BufferClock::Recording) {
            m_time = recordingTime(m_options.start, m_position);
        } else if (read) {
            m_time = std::max(m_options.wallClock(), m_time);
        } else {
            m_time += std::chrono::milliseconds(kBlockFrames * 1000 / kSampleRate);
        }
        stamp = Stamp{m_frames, m_time};
        return true;
    }

    AudioSource& m_source;
    const DecodeOptions& m_options;
    bool m_reading = true;
    int m_tailLeft = (kSampleRate + kBlockFrames - 1) / kBlockFrames;
    std::uint64_t m_frames = 0;
    std::uint64_t m_position = 0; // frames dispatched, silence included
    TimePoint m_time;
};

/// Buffers for the decoding loop: straight from the stream (a file), or from
/// a reader thread (a stream that arrives over time).
class Feed {
public:
    virtual ~Feed() = default;
    /// The next buffer; waits for it if need be. False at the end.
    virtual bool next(std::span<std::int16_t, kBufferValues> buffer, Stamp& stamp) = 0;
    /// Whether next() would return without waiting for input.
    virtual bool ready() = 0;
    /// Waits at most `timeout` until ready(); returns ready().
    virtual bool waitReady(std::chrono::milliseconds timeout) = 0;
    virtual std::uint64_t frames() const = 0;
};

class DirectFeed final : public Feed {
public:
    explicit DirectFeed(BufferStream& stream) : m_stream(stream) {}
    bool next(std::span<std::int16_t, kBufferValues> buffer, Stamp& stamp) override {
        return m_stream.next(buffer, stamp);
    }
    bool ready() override { return true; }
    bool waitReady(std::chrono::milliseconds) override { return true; }
    std::uint64_t frames() const override { return m_stream.frames(); }

private:
    BufferStream& m_stream;
};

// A stream read on a thread of its own into a queue of buffers, so that the
// decoding thread never sits in a read while receptions wait to be handed
// on, and each buffer is stamped when it was read, however busy decoding is.
// The queue is bounded (a piped recording that comes faster than it is
// decoded waits in its pipe).
constexpr std::size_t kStreamQueueBuffers = 256; // 12 s, 1 MB

class ThreadedFeed final : public Feed {
public:
    ThreadedFeed(AudioSource& source, BufferStream& stream, const std::atomic<bool>* stop)
        : m_source(source), m_stream(stream), m_stop(stop) {
        m_source.setInterrupt(
            [this] { return m_quit.load() || (m_stop != nullptr && m_stop->load()); });
        m_thread = std::thread([this] { read(); });
    }
    ~ThreadedFeed() override {
        {
            const std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
        m_source.setInterrupt({});
    }
    ThreadedFeed(const ThreadedFeed&) = delete;
    ThreadedFeed& operator=(const ThreadedFeed&) = delete;

    bool next(std::span<std::int16_t, kBufferValues> buffer, Stamp& stamp) override {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_count > 0 || m_ended; });
        if (m_count == 0) {
            if (m_error) {
                std::rethrow_exception(m_error);
            }
            return false;
        }
        const Slot& slot = m_slots[m_head];
        std::copy(slot.values.begin(), slot.values.end(), buffer.begin());
        stamp = slot.stamp;
        m_head = (m_head + 1) % kStreamQueueBuffers;
        --m_count;
        m_frames = stamp.frames;
        lock.unlock();
        m_changed.notify_all();
        return true;
    }
    bool ready() override {
        const std::lock_guard lock(m_mutex);
        return m_count > 0 || m_ended;
    }
    bool waitReady(std::chrono::milliseconds timeout) override {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_count > 0 || m_ended; });
    }
    std::uint64_t frames() const override { return m_frames; }

private:
    struct Slot {
        std::vector<std::int16_t> values = std::vector<std::int16_t>(kBufferValues);
        Stamp stamp;
    };

    void read() {
        try {
            for (;;) {
                std::size_t tail = 0;
                {
                    std::unique_lock lock(m_mutex);
                    m_changed.wait(lock, [&] { return m_quit || m_count < kStreamQueueBuffers; });
                    if (m_quit) {
                        break;
                    }
                    tail = (m_head + m_count) % kStreamQueueBuffers;
                }
                // The slot past the queue's end is the reader's own until it
                // is counted in.
                Slot& slot = m_slots[tail];
                if (!m_stream.next(
                        std::span<std::int16_t, kBufferValues>(slot.values.data(), kBufferValues),
                        slot.stamp)) {
                    break;
                }
                {
                    const std::lock_guard lock(m_mutex);
                    ++m_count;
                }
                m_changed.notify_all();
            }
        } catch (...) {
            const std::lock_guard lock(m_mutex);
            m_error = std::current_exception();
        }
        {
            const std::lock_guard lock(m_mutex);
            m_ended = true;
        }
        m_changed.notify_all();
    }

    AudioSource& m_source;
    BufferStream& m_stream;
    const std::atomic<bool>* m_stop;
    std::vector<Slot> m_slots = std::vector<Slot>(kStreamQueueBuffers);
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_head = 0;
    std::size_t m_count = 0;
    bool m_ended = false;
    std::atomic<bool> m_quit{false};
    std::exception_ptr m_error;
    std::uint64_t m_frames = 0; // of the buffers taken; decoding thread only
    std::thread m_thread;       // last: started when all above is ready
};

/// Waits until the feed has a buffer (or has ended), running `whileWaiting`
/// on every idle interval.
void waitForInput(Feed& feed, const DecodeOptions& options) {
    while (!feed.waitReady(options.idleInterval)) {
        if (options.whileWaiting) {
            options.whileWaiting();
        }
    }
}

RecordingResult decodeOnOneThread(Feed& feed, Dispatcher& dispatcher,
                                  const DecodeOptions& options) {
    std::array<std::int16_t, kBufferValues> buffer{};
    RecordingResult result;
    Stamp stamp;
    for (;;) {
        waitForInput(feed, options);
        if (!feed.next(buffer, stamp)) {
            break;
        }
        const LevelMeters meters = dispatcher.dispatchBuffer(buffer, stamp.time);
        ++result.buffers;
        result.frames = stamp.frames;
        if (options.afterBuffer &&
            !options.afterBuffer(RecordingProgress{stamp.frames, stamp.time, meters})) {
            return result;
        }
    }
    result.frames = feed.frames();
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

RecordingResult decodeOnTwoThreads(Feed& feed, Dispatcher& dispatcher,
                                   const DecodeOptions& options) {
    ReceptionSink& sink = dispatcher.sink();
    std::array<Batch, kBatchSlots> batches;
    ChannelThreads threads(dispatcher, batches);
    RecordingResult result;
    std::uint64_t published = 0;
    std::uint64_t delivered = 0;
    bool streamEnded = false;
    for (;;) {
        // Read ahead into the free slots, as far as the input is there: a
        // file fills whole batches; a stream gives what has arrived, and is
        // waited for only when nothing is being decoded, so a reception is
        // never held back until more input comes.
        while (!streamEnded && published - delivered < kBatchSlots) {
            if (published == delivered) {
                waitForInput(feed, options);
            } else if (!feed.ready()) {
                break;
            }
            Batch& batch = batches[published % kBatchSlots];
            batch.buffers = 0;
            do {
                Stamp stamp;
                if (!feed.next(std::span<std::int16_t, kBufferValues>(
                                   batch.pcm.data() + batch.buffers * kBufferValues, kBufferValues),
                               stamp)) {
                    streamEnded = true;
                    break;
                }
                batch.frames[batch.buffers] = stamp.frames;
                batch.times[batch.buffers] = stamp.time;
                ++batch.buffers;
            } while (batch.buffers < kBatchBuffers && feed.ready());
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
            if (options.afterBuffer &&
                !options.afterBuffer(RecordingProgress{batch.frames[b], batch.times[b], meters})) {
                return result;
            }
        }
        ++delivered;
    }
    result.frames = feed.frames();
    return result;
}

} // namespace

RecordingResult decodeInput(AudioSource& source, Dispatcher& dispatcher,
                            const DecodeOptions& options) {
    BufferStream stream(source, options);
    DirectFeed direct(stream);
    std::unique_ptr<ThreadedFeed> threaded;
    if (options.stream) {
        threaded = std::make_unique<ThreadedFeed>(source, stream, options.stop);
    }
    Feed& feed = threaded ? static_cast<Feed&>(*threaded) : direct;
    if (options.threads < 2) {
        return decodeOnOneThread(feed, dispatcher, options);
    }
    return decodeOnTwoThreads(feed, dispatcher, options);
}

RecordingResult decodeRecording(AudioSource& source, Dispatcher& dispatcher, TimePoint start,
                                const std::function<bool(const RecordingProgress&)>& afterBuffer,
                                int threads) {
    DecodeOptions options;
    options.start = start;
    options.afterBuffer = afterBuffer;
    options.threads = threads;
    return decodeInput(source, dispatcher, options);
}

void dispatchTail(Dispatcher& dispatcher, TimePoint after) {
    const std::array<std::int16_t, kBufferValues> silence{};
    const int buffers = (kSampleRate + kBlockFrames - 1) / kBlockFrames;
    for (int b = 1; b <= buffers; ++b) {
        dispatcher.dispatchBuffer(
            silence, recordingTime(after, static_cast<std::uint64_t>(b) * kBlockFrames));
    }
}

} // namespace tolvana
