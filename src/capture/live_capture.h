// Live capture from a sound card (Qt Multimedia), shared by tolvana and
// tolvana-decode. It lists the input devices, opens one for 16-bit stereo at
// 22050 Hz, cuts what the device delivers into a ring of ten buffers of 1024
// frames (4096 bytes, 46.4 ms each) and hands each buffer to the Dispatcher
// on the thread that owns the capture (the GUI thread in tolvana), stamped
// with the wall-clock time at which it arrived.
//
//   QAudioSource ──bytes──► ring of 10 × 1024 frames ──► Dispatcher::dispatchBuffer
//      (audio server)        (a buffer waits here            (six chains, hand-off)
//                             while one is processed)   └──► bufferDispatched(meters, time)
//
// Re-entrance. A hand-off may run a nested event loop (a message box, events
// processed while it waits). Sound that arrives meanwhile is put into the
// ring and waits; when the buffer in hand is done, the waiting ones follow at
// once, in order. None is processed twice and none is skipped. Only when all
// ten buffers are full and still waiting is further sound dropped (as a sound
// card drops it when it has no free buffer); the loss is counted and reported
// (CaptureProblem::Overrun) once the ring has been worked off.
//
// The device is watched while capturing: an error of the audio stream, the
// device leaving the device list, or no sound at all for `stallTimeout` stop
// the capture and report CaptureProblem::DeviceLost; capture never ends
// without a word.
//
// Use (the main window):
//
//   LiveCapture capture(dispatcher);
//   connect(&capture, &LiveCapture::problem, ...);          // show captureMessage(p, detail)
//   connect(&capture, &LiveCapture::bufferDispatched, ...); // the four level meters
//   connect(&capture, &LiveCapture::stopped, ...);          // Start/stop buttons back to idle
//   devicesBox->addItems(capture.listInputDevices());       // InitDevices; position = deviceIndex
//   capture.start(settings.deviceIndex);                    // "Start"
//   capture.stop();                                         // "stop", window closing
#pragma once

#include "capture/capture_messages.h"
#include "capture/dispatcher.h"

#include <QAudioDevice>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QAudioSource;
class QIODevice;

namespace tolvana {

/// Buffers in the capture ring.
inline constexpr int kCaptureRingBuffers = 10;
/// Bytes of one captured buffer: 1024 frames of two 16-bit values.
inline constexpr int kCaptureBufferBytes = kBufferValues * 2;

struct LiveCaptureOptions {
    /// Buffers that may wait while one is processed (the ring).
    int ringBuffers = kCaptureRingBuffers;
    /// No sound at all for this long while capturing counts as a lost device.
    std::chrono::milliseconds stallTimeout{10000};
    /// How often the device list and the stall time are checked while capturing.
    std::chrono::milliseconds watchInterval{1000};
};

class LiveCapture final : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<TimePoint()>;

    explicit LiveCapture(Dispatcher& dispatcher, QObject* parent = nullptr);
    LiveCapture(Dispatcher& dispatcher, const LiveCaptureOptions& options,
                QObject* parent = nullptr);
    /// Stops a running capture (without signals).
    ~LiveCapture() override;

    LiveCapture(const LiveCapture&) = delete;
    LiveCapture& operator=(const LiveCapture&) = delete;

    // ---- devices ------------------------------------------------------

    /// The capture devices by their description, in the order of
    /// QMediaDevices::audioInputs(): the position is the `deviceIndex`.
    static QStringList inputDevices();
    /// Position of the system's default input in inputDevices(), or -1.
    static int defaultDeviceIndex();
    /// Position of a device given as "default", as its position, or as its
    /// description (exact, else the only one that contains the text,
    /// ignoring case); -1 when there is no such device.
    static int findDevice(const QString& nameOrIndex);

    /// Filling the device list: as inputDevices(), and when the list is empty
    /// it emits problem(NoDevice).
    QStringList listInputDevices();

    // ---- Start and stop -----------------------------------------------

    /// Opens device `deviceIndex` (a position in inputDevices()) and starts
    /// capturing. A negative index emits problem(NoDeviceChosen); an index
    /// without a device, or a device that cannot be opened, emits
    /// problem(CannotOpen). Returns whether capture runs (then started() has
    /// been emitted). Starting while running restarts on the new device.
    bool start(int deviceIndex);
    /// Ends capture: what the device still holds is taken and every complete
    /// buffer is dispatched; a partly filled buffer is dropped. Emits
    /// stopped() if capture was running. Safe to call at any time.
    void stop();

    bool isRunning() const { return m_running; }
    /// The description of the device in use (or last used).
    QString deviceName() const { return m_deviceName; }
    /// True while a buffer is being processed (the re-entrance guard).
    bool isBusy() const { return m_busy; }
    /// Buffers handed to the dispatcher since construction.
    std::uint64_t buffersDispatched() const { return m_dispatched; }
    /// Frames dropped because the ring was full, since construction.
    std::uint64_t framesLost() const { return m_framesLost; }

    /// The clock that stamps arriving sound (default: the system clock).
    void setClock(Clock clock);

    /// Sound as the device delivers it: interleaved 16-bit stereo frames at
    /// 22050 Hz in the machine's byte order, in pieces of any size. The
    /// device's data comes in here; tests and other inputs may feed it too.
    /// A buffer completed by this piece is stamped `arrival` minus the
    /// duration of the frames after it in the piece.
    void feed(const QByteArray& bytes, TimePoint arrival);
    /// The same, stamped with the clock's present time.
    void feed(const QByteArray& bytes);

signals:
    /// After each buffer has gone through the dispatcher: the four level
    /// meters and the buffer's time.
    void bufferDispatched(const tolvana::LevelMeters& meters, tolvana::TimePoint time);
    /// A message for the user; `detail` as captureMessage() takes it.
    void problem(tolvana::CaptureProblem problem, const QString& detail);
    void started();
    /// Capture has ended: by stop() or because the device was lost.
    void stopped();

private:
    struct Piece {
        QByteArray bytes;
        qsizetype pos = 0;
        TimePoint arrival;
    };
    struct Slot {
        std::vector<std::int16_t> values = std::vector<std::int16_t>(kBufferValues);
        TimePoint time;
    };

    void report(CaptureProblem problem, const QString& detail = {});
    void closeSource();
    void readDevice();
    void onStateChanged();
    void watch();
    void lose();
    void cut();
    void dispatchNext();

    Dispatcher& m_dispatcher;
    LiveCaptureOptions m_options;
    Clock m_clock;

    QAudioSource* m_source = nullptr; // child of this object while open
    QPointer<QIODevice> m_io;
    QAudioDevice m_device;
    QString m_deviceName;
    QTimer m_watch;
    QElapsedTimer m_sinceSound;
    bool m_running = false;
    bool m_closing = false;

    // Sound not yet cut into the ring, oldest first.
    std::deque<Piece> m_incoming;
    // The ring: m_waiting full buffers from m_next on, then the one filling.
    std::vector<Slot> m_ring;
    std::vector<std::int16_t> m_work = std::vector<std::int16_t>(kBufferValues);
    int m_next = 0;
    int m_waiting = 0;
    int m_fill = 0;                  // bytes in the filling buffer
    std::uint64_t m_streamBytes = 0; // bytes received since start (frame alignment)
    bool m_busy = false;
    std::uint64_t m_dispatched = 0;
    std::uint64_t m_framesLost = 0;
    std::uint64_t m_lostUnreported = 0; // frames
    TimePoint m_lastTime;
};

} // namespace tolvana

Q_DECLARE_METATYPE(tolvana::LevelMeters)
Q_DECLARE_METATYPE(tolvana::TimePoint)
