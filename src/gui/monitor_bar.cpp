#include "gui/monitor_bar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "capture/dispatcher.h"
#include "export/tcp_export.h"
#include "gui/alert_list_view.h"
#include "gui/captions.h"
#include "gui/colours.h"

namespace tolvana::gui {

ConnectionIndicator::ConnectionIndicator(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(text::kWinsock, this));
    m_lamp = new QFrame(this);
    m_lamp->setObjectName(QStringLiteral("Winsock2Lamp"));
    m_lamp->setFrameShape(QFrame::Box);
    m_lamp->setFixedSize(16, 16);
    m_lamp->setAutoFillBackground(true);
    layout->addWidget(m_lamp);
    m_state = new QLabel(this);
    m_state->setMinimumWidth(m_state->fontMetrics().horizontalAdvance(QStringLiteral("00")));
    layout->addWidget(m_state);
    showState(-1, kConnectionIndicatorUnknown);
    m_state->clear();
}

void ConnectionIndicator::showState(int state, quint32 colour) {
    QPalette palette = m_lamp->palette();
    palette.setColor(QPalette::Window, toQColor(colour));
    m_lamp->setPalette(palette);
    m_state->setText(QString::number(state));
}

QColor ConnectionIndicator::colour() const {
    return m_lamp->palette().color(QPalette::Window);
}

MonitorBar::MonitorBar(AlertLists& alerts, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);

    auto* buttons = new QVBoxLayout;
    m_start = new QPushButton(text::kStart, this);
    m_start->setObjectName(QStringLiteral("Command5"));
    m_stop = new QPushButton(text::kStop, this);
    m_stop->setObjectName(QStringLiteral("Command2"));
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    row->addLayout(buttons);

    auto* meters = new QGridLayout;
    const std::array<QString, 4> captions = {text::kMeanLeft, text::kMeanRight, text::kPeakLeft,
                                             text::kPeakRight};
    for (std::size_t i = 0; i < m_meters.size(); ++i) {
        auto* bar = new QProgressBar(this);
        bar->setRange(0, kMeterLimit);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setMaximumHeight(12);
        bar->setMinimumWidth(90);
        m_meters[i] = bar;
        const int r = static_cast<int>(i % 2) * 2;
        const int c = static_cast<int>(i / 2);
        meters->addWidget(new QLabel(captions[i], this), r, c);
        meters->addWidget(bar, r + 1, c);
    }
    row->addLayout(meters);

    AlertListModel* const models[] = {&alerts.List1, &alerts.List2, &alerts.List3};
    for (std::size_t i = 0; i < m_alerts.size(); ++i) {
        auto* column = new QVBoxLayout;
        column->setSpacing(1);
        auto* label = new QLabel(models[i]->label(), this);
        auto* list = new AlertListView(*models[i], this);
        list->setObjectName(QStringLiteral("List%1").arg(i + 1));
        list->setMinimumWidth(150);
        list->setMaximumHeight(64);
        label->setBuddy(list);
        column->addWidget(label);
        column->addWidget(list);
        m_alerts[i] = list;
        row->addLayout(column, 1);
    }

    m_connection = new ConnectionIndicator(this);
    row->addWidget(m_connection, 0, Qt::AlignTop);
    showRunning(false);
}

void MonitorBar::setLevels(int meanLeft, int peakLeft, int meanRight, int peakRight) {
    m_meters[MeanLeft]->setValue(meanLeft);
    m_meters[PeakLeft]->setValue(peakLeft);
    m_meters[MeanRight]->setValue(meanRight);
    m_meters[PeakRight]->setValue(peakRight);
}

void MonitorBar::showRunning(bool running) {
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
    paintWidget(m_start, running ? std::nullopt : std::optional<QColor>(kGreen));
    paintWidget(m_stop, running ? std::optional<QColor>(kRed) : std::nullopt);
}

} // namespace tolvana::gui
