#include "capture/live_capture.h"

#include <QAudioFormat>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>
#include <utility>

namespace tolvana {

namespace {

constexpr int kFrameBytes = 4;

TimePoint systemNow() {
    return std::chrono::time_point_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now());
}

std::chrono::milliseconds framesToTime(std::uint64_t frames) {
    return std::chrono::milliseconds(static_cast<std::int64_t>(frames * 1000 / kSampleRate));
}

/// Keeps the re-entrance mark set while a buffer is processed, also when
/// the processing throws.
class BusyMark {
public:
    explicit BusyMark(bool& busy) : m_busy(busy) { m_busy = true; }
    ~BusyMark() { m_busy = false; }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;

private:
    bool& m_busy;
};

} // namespace

LiveCapture::LiveCapture(Dispatcher& dispatcher, QObject* parent)
    : LiveCapture(dispatcher, LiveCaptureOptions{}, parent) {}

LiveCapture::LiveCapture(Dispatcher& dispatcher, const LiveCaptureOptions& options, QObject* parent)
    : QObject(parent), m_dispatcher(dispatcher), m_options(options), m_clock(systemNow),
      m_ring(static_cast<std::size_t>(std::max(options.ringBuffers, 1))) {
    qRegisterMetaType<tolvana::CaptureProblem>();
    qRegisterMetaType<tolvana::LevelMeters>();
    qRegisterMetaType<tolvana::TimePoint>();
    m_watch.setInterval(m_options.watchInterval);
    connect(&m_watch, &QTimer::timeout, this, &LiveCapture::watch);
}

LiveCapture::~LiveCapture() {
    closeSource();
}

QStringList LiveCapture::inputDevices() {
    QStringList names;
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        names.append(device.description());
    }
    return names;
}

int LiveCapture::defaultDeviceIndex() {
    const QAudioDevice fallback = QMediaDevices::defaultAudioInput();
    const QList<QAudioDevice> devices = QMediaDevices::audioInputs();
    for (qsizetype i = 0; i < devices.size(); ++i) {
        if (devices[i].id() == fallback.id() || devices[i].isDefault()) {
            return static_cast<int>(i);
        }
    }
    return devices.isEmpty() ? -1 : 0;
}

int LiveCapture::findDevice(const QString& nameOrIndex) {
    const QString wanted = nameOrIndex.trimmed();
    if (wanted.compare(QLatin1String("default"), Qt::CaseInsensitive) == 0) {
        return defaultDeviceIndex();
    }
    const QStringList names = inputDevices();
    bool isNumber = false;
    const int index = wanted.toInt(&isNumber);
    if (isNumber) {
        return index >= 0 && index < names.size() ? index : -1;
    }
    const auto exact = names.indexOf(wanted);
    if (exact >= 0) {
        return static_cast<int>(exact);
    }
    int found = -1;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].contains(wanted, Qt::CaseInsensitive)) {
            if (found >= 0) {
                return -1; // ambiguous
            }
            found = static_cast<int>(i);
        }
    }
    return found;
}

QStringList LiveCapture::listInputDevices() {
    const QStringList names = inputDevices();
    if (names.isEmpty()) {
        report(CaptureProblem::NoDevice);
    }
    return names;
}

void LiveCapture::setClock(Clock clock) {
    m_clock = clock ? std::move(clock) : Clock(systemNow);
}

void LiveCapture::report(CaptureProblem problem, const QString& detail) {
    emit this->problem(problem, detail);
}

bool LiveCapture::start(int deviceIndex) {
    if (deviceIndex < 0) {
        report(CaptureProblem::NoDeviceChosen);
        return false;
    }
    if (m_running || m_source != nullptr) {
        stop();
    }
    // The device is taken from the list as it is now. Qt 6.4 waits forever
    // in QAudioSource::start() for a PulseAudio source that has gone away,
    // so a device that has left the list is never opened.
    const QList<QAudioDevice> devices = QMediaDevices::audioInputs();
    if (deviceIndex >= devices.size()) {
        report(CaptureProblem::CannotOpen);
        return false;
    }
    m_device = devices[deviceIndex];
    m_deviceName = m_device.description();

    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    m_source = new QAudioSource(m_device, format, this);
    // Ask the audio server for pieces of one buffer, so that a buffer reaches
    // the decoders about as soon as it is full.
    m_source->setBufferSize(kCaptureBufferBytes);
    // Both connections are queued: the capture may end (and delete the
    // source) in reaction, which must not happen inside the source's own code.
    connect(m_source, &QAudioSource::stateChanged, this, &LiveCapture::onStateChanged,
            Qt::QueuedConnection);

    // A new start begins with a new buffer; buffers that still wait from an
    // earlier run (stop and start inside a hand-off) are dispatched first.
    m_fill = 0;
    m_streamBytes = 0;
    m_closing = false;
    m_io = m_source->start();
    if (m_io == nullptr || m_source->error() != QAudio::NoError) {
        closeSource();
        report(CaptureProblem::CannotOpen);
        return false;
    }
    connect(m_io, &QIODevice::readyRead, this, &LiveCapture::readDevice, Qt::QueuedConnection);
    m_running = true;
    m_sinceSound.start();
    m_watch.start();
    emit started();
    return true;
}

void LiveCapture::stop() {
    if (m_source == nullptr) {
        return;
    }
    const bool wasRunning = m_running;
    if (m_running) {
        readDevice();
    }
    closeSource();
    if (wasRunning) {
        emit stopped();
    }
}

void LiveCapture::closeSource() {
    m_closing = true;
    m_running = false;
    m_watch.stop();
    // A partly filled buffer is dropped.
    m_fill = 0;
    // The members are cleared first: Qt's PulseAudio source runs the event
    // loop while it is destroyed, which may come back here.
    QAudioSource* source = std::exchange(m_source, nullptr);
    QIODevice* io = m_io;
    m_io = nullptr;
    if (source != nullptr) {
        disconnect(source, nullptr, this, nullptr);
        if (io != nullptr) {
            disconnect(io, nullptr, this, nullptr);
        }
        source->stop();
        delete source;
    }
}

void LiveCapture::readDevice() {
    if (m_io == nullptr) {
        return;
    }
    const QByteArray bytes = m_io->readAll();
    if (!bytes.isEmpty()) {
        m_sinceSound.restart();
        feed(bytes, m_clock());
    }
}

void LiveCapture::onStateChanged() {
    if (m_closing || !m_running || m_source == nullptr) {
        return;
    }
    // An audio server that dies, or a stream it ends, leaves the source
    // stopped with an error.
    if (m_source->state() == QAudio::StoppedState && m_source->error() != QAudio::NoError) {
        lose();
    }
}

void LiveCapture::watch() {
    if (!m_running) {
        return;
    }
    // What has come while this thread was held up is sound, not a stall.
    readDevice();
    if (!m_running) {
        return; // a hand-off stopped the capture
    }
    // A device that leaves the list has gone (unplugged, its module
    // unloaded). PulseAudio then moves the stream to another source without
    // a word, so the list is the only sign. Qt 6.4 does not announce list
    // changes from PulseAudio, hence the look at every tick.
    bool listed = false;
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        listed = listed || device.id() == m_device.id();
    }
    if (!listed || m_sinceSound.elapsed() > m_options.stallTimeout.count()) {
        lose();
    }
}

void LiveCapture::lose() {
    closeSource();
    emit stopped();
    report(CaptureProblem::DeviceLost, m_deviceName);
}

void LiveCapture::feed(const QByteArray& bytes) {
    feed(bytes, m_clock());
}

void LiveCapture::feed(const QByteArray& bytes, TimePoint arrival) {
    if (!bytes.isEmpty()) {
        m_incoming.push_back(Piece{bytes, 0, arrival});
    }
    // Cutting and dispatching work on the members only: a feed that comes
    // in while a buffer is processed (from a nested event loop) queues its
    // bytes behind what this one has not cut yet, so the order holds.
    for (;;) {
        cut();
        if (m_busy || m_waiting == 0) {
            break;
        }
        dispatchNext();
    }
    if (!m_busy && m_lostUnreported > 0) {
        const double seconds = static_cast<double>(m_lostUnreported) / kSampleRate;
        m_lostUnreported = 0;
        report(CaptureProblem::Overrun,
               QString::number(seconds, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')));
    }
}

void LiveCapture::cut() {
    const auto ringSize = static_cast<int>(m_ring.size());
    while (!m_incoming.empty()) {
        Piece& piece = m_incoming.front();
        const auto left = static_cast<std::size_t>(piece.bytes.size() - piece.pos);
        if (left == 0) {
            m_incoming.pop_front();
            continue;
        }
        if (m_waiting == ringSize) {
            if (!m_busy) {
                return; // a buffer goes on first, then cutting continues
            }
            // Every buffer is full and waits behind the one in hand: like a
            // sound card without a free buffer, this sound is lost.
            m_streamBytes += left;
            m_framesLost += left / kFrameBytes;
            m_lostUnreported += left / kFrameBytes;
            m_incoming.pop_front();
            continue;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(piece.bytes.constData()) + piece.pos;
        if (m_fill == 0 && m_streamBytes % kFrameBytes != 0) {
            // After a loss, the next buffer starts on a frame.
            const std::size_t skip =
                std::min<std::size_t>(left, kFrameBytes - m_streamBytes % kFrameBytes);
            piece.pos += static_cast<qsizetype>(skip);
            m_streamBytes += skip;
            continue;
        }
        Slot& slot = m_ring[static_cast<std::size_t>((m_next + m_waiting) % ringSize)];
        const std::size_t take =
            std::min<std::size_t>(left, static_cast<std::size_t>(kCaptureBufferBytes - m_fill));
        std::memcpy(reinterpret_cast<unsigned char*>(slot.values.data()) + m_fill, p, take);
        piece.pos += static_cast<qsizetype>(take);
        m_fill += static_cast<int>(take);
        m_streamBytes += take;
        if (m_fill == kCaptureBufferBytes) {
            // The buffer was complete when its last frame came: the frames
            // after it in the same piece came later, up to the arrival.
            const std::size_t after = (left - take) / kFrameBytes;
            slot.time = std::max(piece.arrival - framesToTime(after), m_lastTime);
            m_lastTime = slot.time;
            m_fill = 0;
            ++m_waiting;
            if (!m_busy) {
                return; // each buffer goes on as soon as it is complete
            }
        }
    }
}

void LiveCapture::dispatchNext() {
    const BusyMark mark(m_busy);
    // Copied out first: the slot is free again before decoding starts.
    Slot& slot = m_ring[static_cast<std::size_t>(m_next)];
    std::copy(slot.values.begin(), slot.values.end(), m_work.begin());
    const TimePoint time = slot.time;
    m_next = (m_next + 1) % static_cast<int>(m_ring.size());
    --m_waiting;
    const LevelMeters meters = m_dispatcher.dispatchBuffer(
        std::span<const std::int16_t, kBufferValues>(m_work.data(), kBufferValues), time);
    ++m_dispatched;
    emit bufferDispatched(meters, time);
}

} // namespace tolvana
