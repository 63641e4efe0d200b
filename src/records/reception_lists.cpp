#include "records/reception_lists.h"

#include "records/text_file.h"

namespace tolvana {

ReceptionListModel::ReceptionListModel(ReceptionKind kind, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind), m_headings(headings(kind)) {}

int ReceptionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ReceptionListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
}

QVariant ReceptionListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const Row& row = rowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return index.column() < row.cells.size() ? row.cells[index.column()] : QString();
    case CellColourRole:
        if (row.colour && index.column() == nameColumn()) {
            return QVariant::fromValue(static_cast<uint>(*row.colour));
        }
        return {};
    case RowTextRole:
        return row.cells.join(kFieldSeparator);
    default:
        return {};
    }
}

QVariant ReceptionListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_headings.size()) {
        return m_headings[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void ReceptionListModel::addRow(const QString& rowText, std::optional<quint32> nameColour) {
    beginInsertRows(QModelIndex(), 0, 0);
    m_rows.push_back({splitFields(rowText), nameColumn() >= 0 ? nameColour : std::nullopt});
    endInsertRows();
    dropOldestBeyondLimit();
}

void ReceptionListModel::dropOldestBeyondLimit() {
    const auto count = static_cast<int>(m_rows.size());
    if (count <= kMaxRows) {
        return;
    }
    beginRemoveRows(QModelIndex(), kMaxRows, count - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + (count - kMaxRows));
    endRemoveRows();
}

void ReceptionListModel::addRows(const QStringList& rowTexts) {
    if (rowTexts.isEmpty()) {
        return;
    }
    beginInsertRows(QModelIndex(), 0, static_cast<int>(rowTexts.size()) - 1);
    for (const QString& text : rowTexts) {
        m_rows.push_back({splitFields(text), std::nullopt});
    }
    endInsertRows();
    dropOldestBeyondLimit();
}

bool ReceptionListModel::clearIfFull() {
    if (m_kind != ReceptionKind::Fms || rowCount() < kFmsRowLimit) {
        return false;
    }
    clear();
    return true;
}

void ReceptionListModel::clear() {
    if (m_rows.empty()) {
        return;
    }
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString ReceptionListModel::rowText(int row) const {
    return rowAt(row).cells.join(kFieldSeparator);
}

std::optional<quint32> ReceptionListModel::nameColour(int row) const {
    return rowAt(row).colour;
}

int ReceptionListModel::nameColumn() const {
    switch (m_kind) {
    case ReceptionKind::Zvei:
        return 1;
    case ReceptionKind::Pocsag:
        return 2;
    case ReceptionKind::Fms:
        break;
    }
    return -1;
}

QStringList ReceptionListModel::headings(ReceptionKind kind) {
    switch (kind) {
    case ReceptionKind::Fms:
        return {QStringLiteral("Rufname"), QStringLiteral("Eigenschaft"), QStringLiteral("FMS"),
                QStringLiteral("Status"),  QStringLiteral("TKI"),         QStringLiteral("Rtg"),
                QStringLiteral("Zeit"),    QStringLiteral("Text")};
    case ReceptionKind::Zvei:
        return {QStringLiteral("Nummer"), QStringLiteral("Name"), QStringLiteral("Zeit")};
    case ReceptionKind::Pocsag:
        break;
    }
    return {QStringLiteral("Nummer"), QStringLiteral("Funktion"), QStringLiteral("Name"),
            QStringLiteral("Zeit"), QStringLiteral("Text")};
}

QList<int> ReceptionListModel::columnWidthsTwips(ReceptionKind kind) {
    switch (kind) {
    case ReceptionKind::Fms:
        return {1500, 3000, 1000, 1000, 1000, 1000, 1700, 6000};
    case ReceptionKind::Zvei:
        return {1500, 4000, 3000};
    case ReceptionKind::Pocsag:
        break;
    }
    return {1500, 1200, 3500, 1700, 6000};
}

ReceptionListModel& ReceptionLists::list(ReceptionKind kind) {
    switch (kind) {
    case ReceptionKind::Fms:
        return fms;
    case ReceptionKind::Zvei:
        return zvei;
    case ReceptionKind::Pocsag:
        break;
    }
    return pocsag;
}

} // namespace tolvana
