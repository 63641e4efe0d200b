// The "Listenansicht" tab: the FMS, five-tone and pager grids, one table view
// each over the reception list models, newest reception on top. A live
// five-tone or pager row shows its call's colour in the "Name" cell.
#pragma once

#include <QIdentityProxyModel>
#include <QTableView>
#include <QWidget>

#include <array>

#include "gui/grid_arrangement.h"
#include "records/reception_kind.h"
#include "records/reception_lists.h"

class QVBoxLayout;

namespace tolvana::gui {

/// Gives the list models' cell colours (0x00BBGGRR) to the view as the
/// background of the cell, with black text on it.
class CellColourProxy final : public QIdentityProxyModel {
    Q_OBJECT

public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};

/// One reception grid.
class ReceptionGrid final : public QTableView {
    Q_OBJECT

public:
    explicit ReceptionGrid(ReceptionListModel& model, QWidget* parent = nullptr);
    ReceptionListModel& listModel() const { return m_model; }

private:
    ReceptionListModel& m_model;
    CellColourProxy m_proxy;
};

class ListsTab final : public QWidget {
    Q_OBJECT

public:
    explicit ListsTab(ReceptionLists& lists, QWidget* parent = nullptr);

    ReceptionGrid* grid(ReceptionKind kind) const;
    /// Shows and sizes the grids; the heights share the tab's height in
    /// their proportions.
    void arrange(const GridArrangement& arrangement);
    const GridArrangement& arrangement() const { return m_arrangement; }

private:
    std::array<ReceptionGrid*, 3> m_grids{};
    QVBoxLayout* m_layout = nullptr;
    GridArrangement m_arrangement;
};

} // namespace tolvana::gui
