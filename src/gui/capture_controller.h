// "Start" and "stop", and what they run: the sound card, or a recording
// replayed through the same dispatcher. One of them at a time: starting one
// ends the other. The buttons show which state the monitor is in ("Start"
// green while idle, "stop" red while something runs), and the device list is
// locked while the sound card is open.
#pragma once

#include <QObject>
#include <QStringList>

#include "capture/live_capture.h"
#include "gui/replay_feeder.h"

namespace tolvana::gui {

class Monitor;
class MonitorBar;
class SoundcardPage;

class CaptureController final : public QObject {
    Q_OBJECT

public:
    enum class Mode { Idle, Live, Replay };

    CaptureController(Monitor& monitor, MonitorBar& bar, SoundcardPage& page, QObject* parent = nullptr);
    ~CaptureController() override;

    Mode mode() const { return m_mode; }
    bool running() const { return m_mode != Mode::Idle; }

    /// Fills the device list of the "Soundkarte" page (position = deviceIndex)
    /// and selects `selected`; tells the user when there is no input device.
    QStringList listInputDevices(int selected);

    /// What "Start" does: opens the sound card of `deviceIndex` and runs it.
    /// When it cannot (no device chosen, or it does not open) the user is
    /// told why and the buttons go back to idle. Returns whether it runs.
    bool start(int deviceIndex);
    /// What "stop" does: closes the sound card, or ends the replay.
    void stop();
    /// Replays a recording (paced at real time, or as fast as it goes).
    /// False, with a message to the user, when it cannot be read.
    bool startReplay(const QString& path, bool fast);

    ReplayFeeder& replay() { return m_replay; }
    LiveCapture& live() { return m_live; }

signals:
    void modeChanged(tolvana::gui::CaptureController::Mode mode);
    /// A replay went through to its end (not stopped).
    void replayFinished();

private:
    void setMode(Mode mode);
    void onReplayFinished(const QString& readError);
    void onLiveProblem(CaptureProblem problem, const QString& detail);
    void onLiveStopped();

    Monitor& m_monitor;
    MonitorBar& m_bar;
    SoundcardPage& m_page;
    ReplayFeeder m_replay;
    LiveCapture m_live;
    Mode m_mode = Mode::Idle;
};

} // namespace tolvana::gui
