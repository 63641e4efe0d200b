// The strip above the tabs: "Start" and "stop", the four level meters, the
// three alert lists with their labels, and the TCP connection indicator
// beside "Winsock" with its state number.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <array>

#include "records/alert_lists.h"

namespace tolvana::gui {

class AlertListView;

/// The square beside "Winsock": silver until the first supervision tick,
/// then the colour of the connection's state, with the state number beside it.
class ConnectionIndicator final : public QWidget {
    Q_OBJECT

public:
    explicit ConnectionIndicator(QWidget* parent = nullptr);
    void showState(int state, quint32 colour);
    QColor colour() const;
    QString stateText() const { return m_state->text(); }

private:
    QFrame* m_lamp;
    QLabel* m_state;
};

class MonitorBar final : public QWidget {
    Q_OBJECT

public:
    enum Meter { MeanLeft, MeanRight, PeakLeft, PeakRight };

    explicit MonitorBar(AlertLists& alerts, QWidget* parent = nullptr);

    QPushButton* startButton() const { return m_start; }
    QPushButton* stopButton() const { return m_stop; }
    QProgressBar* meter(Meter which) const { return m_meters[static_cast<std::size_t>(which)]; }
    /// 0: " SprechTaste", 1: "Status5", 2: "Status 0".
    AlertListView* alertList(int index) const { return m_alerts[static_cast<std::size_t>(index)]; }
    ConnectionIndicator* connection() const { return m_connection; }

    void setLevels(int meanLeft, int peakLeft, int meanRight, int peakRight);
    /// Capture (or a replay) runs: "Start" off in the button face, "stop" on
    /// and red; idle: "Start" on and green, "stop" off in the button face.
    void showRunning(bool running);

private:
    QPushButton* m_start;
    QPushButton* m_stop;
    std::array<QProgressBar*, 4> m_meters{};
    std::array<AlertListView*, 3> m_alerts{};
    ConnectionIndicator* m_connection;
};

} // namespace tolvana::gui
