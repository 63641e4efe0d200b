#include "gui/alert_list_view.h"

#include <QMouseEvent>

#include "gui/colours.h"

namespace tolvana::gui {

AlertListView::AlertListView(AlertListModel& model, QWidget* parent) : QListView(parent), m_model(model) {
    setModel(&model);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    setFont(small);
    showBackground(model.background());
    showSelection(model.selectedRow());
    connect(&model, &AlertListModel::backgroundChanged, this, &AlertListView::showBackground);
    connect(&model, &AlertListModel::selectedRowChanged, this, &AlertListView::showSelection);
}

void AlertListView::showBackground(quint32 colour) {
    paintWidget(this, toQColor(colour));
}

void AlertListView::showSelection(int row) {
    if (row < 0) {
        clearSelection();
        return;
    }
    const QModelIndex index = m_model.index(row);
    setCurrentIndex(index);
    scrollTo(index);
}

void AlertListView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex under = indexAt(event->position().toPoint());
    if (under.isValid()) {
        m_model.setSelectedRow(under.row());
    }
    m_model.removeSelected();
    event->accept();
}

} // namespace tolvana::gui
