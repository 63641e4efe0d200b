// One of the three alert lists above the grids (talk button and call tones,
// status 5, status 0): small print, green while it holds an entry the user
// has not taken away, light grey when empty. Pressing a mouse button on the
// list removes an entry: the one under the pointer, or the selected one (the
// newest) when the press is beside the entries.
#pragma once

#include <QListView>

#include "records/alert_lists.h"

namespace tolvana::gui {

class AlertListView final : public QListView {
    Q_OBJECT

public:
    explicit AlertListView(AlertListModel& model, QWidget* parent = nullptr);

    AlertListModel& alertModel() const { return m_model; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void showBackground(quint32 colour);
    void showSelection(int row);

    AlertListModel& m_model;
};

} // namespace tolvana::gui
