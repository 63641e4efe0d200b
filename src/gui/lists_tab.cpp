#include "gui/lists_tab.h"

#include <QHeaderView>

#include <algorithm>
#include <QVBoxLayout>

#include "gui/colours.h"

namespace tolvana::gui {

QVariant CellColourProxy::data(const QModelIndex& index, int role) const {
    if (role == Qt::BackgroundRole || role == Qt::ForegroundRole) {
        const QVariant colour = QIdentityProxyModel::data(index, ReceptionListModel::CellColourRole);
        if (!colour.isValid()) {
            return {};
        }
        return role == Qt::BackgroundRole ? QVariant(toQColor(colour.toUInt())) : QVariant(QColor(Qt::black));
    }
    return QIdentityProxyModel::data(index, role);
}

ReceptionGrid::ReceptionGrid(ReceptionListModel& model, QWidget* parent)
    : QTableView(parent), m_model(model) {
    m_proxy.setSourceModel(&model);
    setModel(&m_proxy);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Every row is one line high: the view never measures thousands of rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    // The widths were chosen for a small 8-point font with digits 5.5 pixels
    // wide; they grow with the font in use, so an identity or a time still fits.
    const double scale = std::max(1.0, fontMetrics().horizontalAdvance(QLatin1Char('0')) / 5.5);
    const QList<int> widths = ReceptionListModel::columnWidthsTwips(model.kind());
    for (int column = 0; column < widths.size(); ++column) {
        horizontalHeader()->resizeSection(column, static_cast<int>(widths[column] * scale / kTwipsPerPixel));
    }
    horizontalHeader()->setStretchLastSection(true);
}

ListsTab::ListsTab(ReceptionLists& lists, QWidget* parent) : QWidget(parent) {
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(2, 2, 2, 2);
    m_layout->setSpacing(2);
    for (const ReceptionKind kind : kReceptionKinds) {
        auto* grid = new ReceptionGrid(lists.list(kind), this);
        const auto i = static_cast<std::size_t>(kind) - 1;
        static const char* const kNames[] = {"Grid", "Grid_Z", "Grid_P"};
        grid->setObjectName(QString::fromLatin1(kNames[i]));
        m_grids[i] = grid;
        m_layout->addWidget(grid);
    }
    arrange(arrangeGrids(MonitorSettings{}));
}

ReceptionGrid* ListsTab::grid(ReceptionKind kind) const {
    return m_grids[static_cast<std::size_t>(kind) - 1];
}

void ListsTab::arrange(const GridArrangement& a) {
    m_arrangement = a;
    const std::array<int, 3> heights = {a.fmsHeight, a.zveiHeight, a.pocsagHeight};
    for (std::size_t i = 0; i < heights.size(); ++i) {
        m_grids[i]->setVisible(heights[i] > 0);
        m_layout->setStretch(static_cast<int>(i), heights[i]);
    }
}

} // namespace tolvana::gui
