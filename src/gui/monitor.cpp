#include "gui/monitor.h"

#include <algorithm>

namespace tolvana::gui {

namespace {
bool on(const MonitorSettings& s, DecoderSwitch which) {
    return s.decoderEnabled[static_cast<std::size_t>(which)] == 1;
}

ActionStarter& actionsOrOwn(ActionStarter* given, std::unique_ptr<ActionStarter>& own) {
    if (given != nullptr) {
        return *given;
    }
    own = std::make_unique<ProcessActionStarter>();
    return *own;
}
} // namespace

DecoderSwitches decoderSwitches(const MonitorSettings& s) {
    DecoderSwitches d;
    constexpr auto left = static_cast<std::size_t>(sideIndex(ChannelSide::Left));
    constexpr auto right = static_cast<std::size_t>(sideIndex(ChannelSide::Right));
    d.fms[left] = on(s, FmsLeft);
    d.zvei[left] = on(s, ZveiLeft);
    d.pocsag[left] = on(s, PocsagLeft);
    d.fms[right] = on(s, FmsRight);
    d.zvei[right] = on(s, ZveiRight);
    d.pocsag[right] = on(s, PocsagRight);
    return d;
}

TimePoint wallClock() {
    return std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
}

Monitor::Monitor(DataFolder folder, ActionStarter* actions, QObject* parent)
    : QObject(parent),
      m_state(std::move(folder)),
      m_view(m_messages),
      m_handoff(m_state, m_view,
                HandoffOutputs{&actionsOrOwn(actions, m_ownActions), &m_tcp, &m_localMessage}),
      m_dispatcher(m_handoff, DecoderSwitches{}) {
    m_minuteTimer.setInterval(kMinuteTimerMs);
    connect(&m_minuteTimer, &QTimer::timeout, this, qOverload<>(&Monitor::minuteTick));
}

Monitor::~Monitor() = default;

void Monitor::dispatchBuffer(std::span<const std::int16_t, kBufferValues> buffer, TimePoint time) {
    const LevelMeters m = m_dispatcher.dispatchBuffer(buffer, time);
    ++m_buffers;
    emit levelsChanged(m.meanLeft, m.peakLeft, m.meanRight, m.peakRight);
}

void Monitor::applyDecoderSwitches() {
    m_dispatcher.setSwitches(decoderSwitches(m_state.settings));
}

void Monitor::applyTcpExport() {
    MonitorSettings& s = m_state.settings;
    if (s.tcpExport != 1) {
        m_tcp.stop();
        return;
    }
    const auto port = static_cast<quint16>(std::clamp(s.tcpPort, 0, 65535));
    const QString server = s.tcpServer.isEmpty() ? QStringLiteral("localhost") : s.tcpServer;
    const bool sameTarget = server == m_tcp.server() && port == m_tcp.port();
    if (sameTarget && m_tcp.supervising() &&
        m_tcp.state() == static_cast<int>(ExportConnectionState::Connected)) {
        return;
    }
    // An empty server means "localhost", and the options keep that name
    // from now on (the page's field stays as the user left it).
    s.tcpServer = m_tcp.start(s.tcpServer, port);
}

void Monitor::applyLocalMessageTarget() {
    m_localMessage.setServerName(m_state.settings.targetWindowTitle);
}

void Monitor::minuteTick() {
    minuteTick(wallClock());
}

void Monitor::minuteTick(TimePoint now) {
    const bool written = m_handoff.housekeeping(now);
    if (written) {
        emit pageWritten();
    }
    emit minuteTicked();
}

} // namespace tolvana::gui
