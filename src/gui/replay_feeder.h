// Replays a recording into the running window through the same path as the
// sound card: buffers of 1024 stereo frames, handed to the dispatcher on the
// window's thread, on the recording's clock (start of the replay + sample
// position). Paced at real time, a buffer is handed on when its 46 ms have
// passed, as the sound card would deliver it; "fast" hands on as many as fit
// into a short slice of time and then lets the event loop run, so the window
// stays responsive however fast the file goes through.
//
// As with a recording decoded by tolvana-decode, the last buffer is filled
// up with silence and one second of silence follows, so a transmission that
// runs to the end of the file is still closed and handed on.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "capture/audio_source.h"
#include "capture/dispatcher.h"

namespace tolvana::gui {

class ReplayFeeder final : public QObject {
    Q_OBJECT

public:
    using BufferSink = std::function<void(std::span<const std::int16_t, kBufferValues>, TimePoint)>;

    /// Tick of the paced replay; a buffer lasts about 46 ms.
    static constexpr int kPacedTickMs = 10;
    /// Work per turn of the event loop in a fast replay.
    static constexpr int kFastSliceMs = 12;
    /// A paced replay that fell behind (a long message box, a stopped
    /// machine) catches up at most this many buffers per tick.
    static constexpr int kMaxCatchUpBuffers = 8;

    explicit ReplayFeeder(BufferSink sink, QObject* parent = nullptr);
    ~ReplayFeeder() override;

    /// Opens the recording (raw 16-bit 22050 Hz stereo PCM when the name ends
    /// in ".raw") and starts feeding it; the recording clock starts at
    /// `start`. On failure returns false with a one-line reason in `error`.
    bool start(const QString& path, bool fast, TimePoint start, QString* error);
    /// Stops at once; finished() is not emitted.
    void stop();

    bool running() const { return m_source != nullptr; }
    bool fast() const { return m_fast; }
    QString path() const { return m_path; }
    /// Frames of the recording handed on so far (silence after it not counted).
    std::uint64_t framesFed() const { return m_frames; }
    std::uint64_t buffersFed() const { return m_buffers; }

signals:
    /// The recording and its closing second of silence went through.
    /// `readError` is empty when the file ended properly.
    void finished(const QString& readError);

private:
    void feed();
    /// One buffer; false when the recording and its tail are done.
    bool feedOne();
    void finish();

    BufferSink m_sink;
    std::unique_ptr<AudioSource> m_source;
    QString m_path;
    bool m_fast = false;
    bool m_reading = false;
    int m_tailLeft = 0;
    bool m_busy = false;
    TimePoint m_start;
    std::uint64_t m_frames = 0;
    std::uint64_t m_buffers = 0; // silence included: the recording clock
    std::uint64_t m_pacedBase = 0; // buffers fed when m_clock last started
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::array<std::int16_t, kBufferValues> m_buffer{};
};

} // namespace tolvana::gui
