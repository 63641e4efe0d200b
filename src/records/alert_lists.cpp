#include "records/alert_lists.h"

#include <utility>

#include "records/colour.h"
#include "records/german_time.h"
#include "records/text_file.h"

namespace tolvana {

AlertListModel::AlertListModel(QString label, QObject* parent)
    : QAbstractListModel(parent), m_label(std::move(label)), m_background(kLightGrey) {}

int AlertListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant AlertListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return m_entries[index.row()];
    }
    return {};
}

void AlertListModel::setSelectedRow(int row) {
    const int selected = row >= 0 && row < rowCount() ? row : -1;
    if (selected != m_selected) {
        m_selected = selected;
        emit selectedRowChanged(m_selected);
    }
}

void AlertListModel::setBackground(quint32 colour) {
    if (colour != m_background) {
        m_background = colour;
        emit backgroundChanged(colour);
    }
}

void AlertListModel::appendEntry(const QString& entry) {
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    m_entries.append(entry);
    endInsertRows();
    setSelectedRow(row);
    setBackground(kAlertGreen);
}

void AlertListModel::clear() {
    if (!m_entries.isEmpty()) {
        beginResetModel();
        m_entries.clear();
        endResetModel();
    }
    setSelectedRow(-1);
}

void AlertListModel::removeEntry(int row) {
    beginRemoveRows(QModelIndex(), row, row);
    m_entries.removeAt(row);
    endRemoveRows();
    if (row == m_selected) {
        setSelectedRow(-1);
    } else if (row < m_selected) {
        setSelectedRow(m_selected - 1);
    }
}

bool AlertListModel::removeSelected() {
    if (m_selected < 0) {
        return false;
    }
    removeEntry(m_selected);
    if (m_entries.isEmpty()) {
        setBackground(kLightGrey);
    }
    return true;
}

int AlertListModel::removeExpired(const QDateTime& now) {
    int removed = 0;
    for (int row = rowCount() - 1; row >= 0; --row) {
        const QStringList fields = splitFields(m_entries[row]);
        const QDateTime time = fields.size() > 1 ? parseGridDateTime(fields[1]) : QDateTime();
        // An entry without a readable time is left for the user to remove.
        if (time.isValid() && time.secsTo(now) > kMaxAgeSeconds) {
            removeEntry(row);
            ++removed;
        }
    }
    if (removed > 0 && m_entries.isEmpty()) {
        setBackground(kLightGrey);
    }
    return removed;
}

QString alertLineText(const QString& text, const QDateTime& now) {
    return longTime(now) + u' ' + trimBlanks(text).toString() + QStringLiteral("        ") +
           kFieldSeparator + gridDateTime(now);
}

bool AppendAlertLine(AlertListModel& list, const QString& text, const QDateTime& now) {
    if (text == QLatin1String("00000000")) {
        return false;
    }
    if (list.rowCount() > AlertListModel::kMaxEntries) {
        list.clear();
    }
    list.appendEntry(alertLineText(text, now));
    return true;
}

int AlertLists::removeExpired(const QDateTime& now) {
    return List1.removeExpired(now) + List2.removeExpired(now) + List3.removeExpired(now);
}

} // namespace tolvana
