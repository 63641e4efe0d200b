// Everything the window runs on that is not a widget: the monitor's state
// (options, tables, filters, lists), the hand-off with its outputs, the
// dispatcher that every captured or replayed buffer goes through, the TCP
// export and the minute timer. The window shows it; tests drive it.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <span>

#include "capture/dispatcher.h"
#include "export/local_message_export.h"
#include "export/reception_action.h"
#include "export/tcp_export.h"
#include "gui/gui_view.h"
#include "gui/user_messages.h"
#include "handoff/monitor_state.h"
#include "handoff/reception_handoff.h"

namespace tolvana::gui {

/// Which decoder chains run, from the six switches of the options.
DecoderSwitches decoderSwitches(const MonitorSettings& settings);

/// The minute timer's period.
inline constexpr int kMinuteTimerMs = 60000;

class Monitor : public QObject {
    Q_OBJECT

public:
    /// `actions` starts the reception action; null: real processes.
    explicit Monitor(DataFolder folder, ActionStarter* actions = nullptr, QObject* parent = nullptr);
    ~Monitor() override;

    MonitorState& state() { return m_state; }
    const MonitorSettings& settings() const { return m_state.settings; }
    const DataFolder& folder() const { return m_state.folder; }
    UserMessages& messages() { return m_messages; }
    GuiView& view() { return m_view; }
    ReceptionHandoff& handoff() { return m_handoff; }
    Dispatcher& dispatcher() { return m_dispatcher; }
    TcpExport& tcp() { return m_tcp; }
    LocalMessageExport& localMessage() { return m_localMessage; }
    QTimer& minuteTimer() { return m_minuteTimer; }

    /// One buffer of 1024 stereo frames from the sound card or a replay,
    /// on the window's thread: decoders, hand-off, meters.
    void dispatchBuffer(std::span<const std::int16_t, kBufferValues> buffer, TimePoint time);
    std::uint64_t buffersDispatched() const { return m_buffers; }

    /// The decoder switches of the options go to the dispatcher.
    void applyDecoderSwitches();
    /// The TCP export as the options say: connected (and supervised once a
    /// second) when it is on, closed when it is off. An export that stands
    /// to the configured receiver is left as it is.
    void applyTcpExport();
    /// The target of the local-message export from the options.
    void applyLocalMessageTarget();

    /// The minute timer's tick: alert entries age out, the status page is
    /// written when it changed (and the HTML export is on); then pageWritten
    /// and minuteTicked tell the parts of the window that hang on it (the
    /// upload goes after pageWritten).
    void minuteTick();
    void minuteTick(TimePoint now);

signals:
    void levelsChanged(int meanLeft, int peakLeft, int meanRight, int peakRight);
    void pageWritten();
    void minuteTicked();

private:
    std::unique_ptr<ActionStarter> m_ownActions;
    MonitorState m_state;
    UserMessages m_messages;
    GuiView m_view;
    TcpExport m_tcp;
    LocalMessageExport m_localMessage;
    ReceptionHandoff m_handoff;
    Dispatcher m_dispatcher;
    QTimer m_minuteTimer;
    std::uint64_t m_buffers = 0;
};

/// The wall clock as the hand-off counts time.
TimePoint wallClock();

} // namespace tolvana::gui
