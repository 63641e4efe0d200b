#include "gui/capture_controller.h"

#include <QFileInfo>

#include "gui/captions.h"
#include "gui/monitor.h"
#include "gui/monitor_bar.h"
#include "gui/settings_pages.h"

namespace tolvana::gui {

CaptureController::CaptureController(Monitor& monitor, MonitorBar& bar, SoundcardPage& page, QObject* parent)
    : QObject(parent),
      m_monitor(monitor),
      m_bar(bar),
      m_page(page),
      m_replay([&monitor](std::span<const std::int16_t, kBufferValues> buffer, TimePoint time) {
          monitor.dispatchBuffer(buffer, time);
      }),
      m_live(monitor.dispatcher()) {
    connect(&m_replay, &ReplayFeeder::finished, this, &CaptureController::onReplayFinished);
    connect(bar.startButton(), &QPushButton::clicked, this,
            [this] { start(m_monitor.settings().deviceIndex); });
    connect(bar.stopButton(), &QPushButton::clicked, this, &CaptureController::stop);
    connect(&page, &SoundcardPage::replayRequested, this, &CaptureController::startReplay);
    connect(&monitor, &Monitor::levelsChanged, &bar, &MonitorBar::setLevels);
    connect(&m_live, &LiveCapture::bufferDispatched, &bar, [&bar](const LevelMeters& m, TimePoint) {
        bar.setLevels(m.meanLeft, m.peakLeft, m.meanRight, m.peakRight);
    });
    connect(&m_live, &LiveCapture::problem, this, &CaptureController::onLiveProblem);
    connect(&m_live, &LiveCapture::stopped, this, &CaptureController::onLiveStopped);
}

CaptureController::~CaptureController() = default;

QStringList CaptureController::listInputDevices(int selected) {
    const QStringList names = m_live.listInputDevices();
    m_page.setDevices(names, selected);
    return names;
}

void CaptureController::setMode(Mode mode) {
    m_mode = mode;
    m_bar.showRunning(mode != Mode::Idle);
    m_page.deviceList()->setEnabled(mode != Mode::Live);
    emit modeChanged(mode);
}

bool CaptureController::start(int deviceIndex) {
    stop();
    // The buttons and the device list change before the device opens ...
    setMode(Mode::Live);
    if (m_live.start(deviceIndex)) {
        return true;
    }
    // ... and go back when it does not: nothing runs, so "Start" is offered
    // again (the reason is on screen already).
    setMode(Mode::Idle);
    return false;
}

void CaptureController::stop() {
    m_replay.stop();
    m_live.stop();
    if (m_mode != Mode::Idle) {
        setMode(Mode::Idle);
    }
}

void CaptureController::onLiveProblem(CaptureProblem problem, const QString& detail) {
    const CaptureMessage message = captureMessage(problem, detail);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.icon) {
    case CaptureMessage::Icon::Critical:
        icon = QMessageBox::Critical;
        break;
    case CaptureMessage::Icon::Warning:
        icon = QMessageBox::Warning;
        break;
    case CaptureMessage::Icon::None:
        break;
    }
    m_monitor.messages().show(message.title.isEmpty() ? text::kWindowTitle : message.title, message.text, icon);
}

void CaptureController::onLiveStopped() {
    // The device went away (a "stop" has set idle already).
    if (m_mode == Mode::Live) {
        setMode(Mode::Idle);
    }
}

bool CaptureController::startReplay(const QString& path, bool fast) {
    stop();
    QString error;
    if (!m_replay.start(path, fast, wallClock(), &error)) {
        m_monitor.messages().show(text::kTitleAttention,
                                  text::kReplayCannotOpen.arg(QFileInfo(path).fileName(), error));
        return false;
    }
    setMode(Mode::Replay);
    return true;
}

void CaptureController::onReplayFinished(const QString& readError) {
    setMode(Mode::Idle);
    if (!readError.isEmpty()) {
        m_monitor.messages().show(text::kTitleAttention,
                                  text::kReplayReadError.arg(QFileInfo(m_replay.path()).fileName(), readError));
    }
    emit replayFinished();
}

} // namespace tolvana::gui
