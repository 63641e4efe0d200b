#include "export/upload_log.h"

#include "records/german_time.h"

namespace tolvana {

UploadLog::UploadLog(QObject* parent)
    : QAbstractListModel(parent), m_clock([] { return QDateTime::currentDateTime(); }) {}

void UploadLog::add(const QString& message) {
    if (m_entries.size() >= static_cast<std::size_t>(kMaxEntries)) {
        beginRemoveRows(QModelIndex(), 0, 0);
        m_entries.pop_front();
        endRemoveRows();
    }
    const QString entry = longTime(m_clock()) + u' ' + message;
    const int row = static_cast<int>(m_entries.size());
    beginInsertRows(QModelIndex(), row, row);
    m_entries.push_back(entry);
    endInsertRows();
    emit entryAdded(entry);
}

QStringList UploadLog::entries() const {
    return QStringList(m_entries.begin(), m_entries.end());
}

int UploadLog::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant UploadLog::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    return m_entries[static_cast<std::size_t>(index.row())];
}

} // namespace tolvana
