#include "gui/capture_controller.h"

#include <QFileInfo>
#include <QMediaDevices>
#include <QAudioDevice>

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
      }) {
    connect(&m_replay, &ReplayFeeder::finished, this, &CaptureController::onReplayFinished);
    connect(bar.startButton(), &QPushButton::clicked, this,
            [this] { start(m_monitor.settings().deviceIndex); });
    connect(bar.stopButton(), &QPushButton::clicked, this, &CaptureController::stop);
    connect(&page, &SoundcardPage::replayRequested, this, &CaptureController::startReplay);
    connect(&monitor, &Monitor::levelsChanged, &bar, &MonitorBar::setLevels);
}

CaptureController::~CaptureController() = default;

QStringList CaptureController::listInputDevices(int selected) {
    QStringList names;
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        names.append(device.description());
    }
    m_page.setDevices(names, selected);
    if (names.isEmpty()) {
        m_monitor.messages().show(text::kTitleAttention, text::kNoSoundCard, QMessageBox::Critical);
    }
    return names;
}

void CaptureController::setMode(Mode mode) {
    m_mode = mode;
    m_bar.showRunning(mode != Mode::Idle);
    m_page.deviceList()->setEnabled(mode != Mode::Live);
    emit modeChanged(mode);
}

void CaptureController::start(int deviceIndex) {
    stop();
    if (deviceIndex < 0) {
        m_monitor.messages().show(text::kWindowTitle, text::kNoSoundCardSelected, QMessageBox::NoIcon);
        return;
    }
    // The sound-card input joins here.
    m_monitor.messages().show(text::kTitleAttentionColon, text::kSoundCardBusy, QMessageBox::Warning);
}

void CaptureController::stop() {
    m_replay.stop();
    if (m_mode != Mode::Idle) {
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
