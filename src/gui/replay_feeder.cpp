#include "gui/replay_feeder.h"

#include <algorithm>

#include "capture/recording.h"

namespace tolvana::gui {

namespace {
constexpr int kTailBuffers = (kSampleRate + kBlockFrames - 1) / kBlockFrames;
}

ReplayFeeder::ReplayFeeder(BufferSink sink, QObject* parent) : QObject(parent), m_sink(std::move(sink)) {
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReplayFeeder::feed);
}

ReplayFeeder::~ReplayFeeder() = default;

bool ReplayFeeder::start(const QString& path, bool fast, TimePoint start, QString* error) {
    stop();
    const RawFormat raw{};
    const bool isRaw = path.endsWith(QLatin1String(".raw"), Qt::CaseInsensitive);
    std::string reason;
    m_source = AudioSource::open(path.toStdString(), isRaw ? &raw : nullptr, reason);
    if (m_source == nullptr) {
        if (error != nullptr) {
            *error = QString::fromStdString(reason);
        }
        return false;
    }
    m_path = path;
    m_fast = fast;
    m_reading = true;
    m_tailLeft = kTailBuffers;
    m_start = start;
    m_frames = 0;
    m_buffers = 0;
    m_pacedBase = 0;
    m_clock.start();
    m_timer.start(fast ? 0 : kPacedTickMs);
    return true;
}

void ReplayFeeder::stop() {
    m_timer.stop();
    m_source.reset();
}

bool ReplayFeeder::feedOne() {
    if (m_reading) {
        const std::size_t got = m_source->readFrames(m_buffer);
        if (got < static_cast<std::size_t>(kBlockFrames)) {
            std::fill(m_buffer.begin() + static_cast<std::ptrdiff_t>(2 * got), m_buffer.end(), 0);
            m_reading = false;
        }
        m_frames += got;
        if (got == 0) {
            return feedOne();
        }
    } else if (m_tailLeft > 0) {
        --m_tailLeft;
        m_buffer.fill(0);
    } else {
        return false;
    }
    ++m_buffers;
    m_sink(m_buffer, recordingTime(m_start, m_buffers * kBlockFrames));
    return true;
}

void ReplayFeeder::feed() {
    // A hand-off that runs a nested event loop must not feed the next buffer
    // from inside the one being handled.
    if (m_busy || m_source == nullptr) {
        return;
    }
    m_busy = true;
    bool more = true;
    if (m_fast) {
        const qint64 sliceEnd = m_clock.elapsed() + kFastSliceMs;
        while (more && m_source != nullptr && m_clock.elapsed() < sliceEnd) {
            more = feedOne();
        }
    } else {
        // A buffer is due once the sound card would have filled it.
        const std::uint64_t due =
            m_pacedBase + static_cast<std::uint64_t>(m_clock.elapsed()) * kSampleRate / 1000 / kBlockFrames;
        for (int n = 0; more && m_source != nullptr && m_buffers < due && n < kMaxCatchUpBuffers; ++n) {
            more = feedOne();
        }
        if (m_buffers + kMaxCatchUpBuffers < due) {
            // Fallen far behind: go on from here at real time rather than rush.
            m_pacedBase = m_buffers;
            m_clock.restart();
        }
    }
    m_busy = false;
    if (!more && m_source != nullptr) {
        finish();
    }
}

void ReplayFeeder::finish() {
    const QString readError = QString::fromStdString(m_source->readError());
    stop();
    emit finished(readError);
}

} // namespace tolvana::gui
