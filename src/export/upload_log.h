// The upload list: what happened to each upload, for the user. Every entry
// is the time of day in the German form, a blank and the message
// ("15:52:42 Datei übertragen"). The settings page shows it as a list; the
// headless program prints each entry on standard error.
#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QStringList>

#include <deque>
#include <functional>

namespace tolvana {

class UploadLog : public QAbstractListModel {
    Q_OBJECT

public:
    /// A monitor uploads once a minute for months: the oldest entries leave.
    static constexpr int kMaxEntries = 500;

    using Clock = std::function<QDateTime()>;

    explicit UploadLog(QObject* parent = nullptr);

    /// Replaces the wall clock (tests).
    void setClock(Clock clock) { m_clock = std::move(clock); }

    /// Appends "<time> <message>" at the end of the list.
    void add(const QString& message);

    QStringList entries() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    /// The entry as the list shows it, time included.
    void entryAdded(const QString& entry);

private:
    Clock m_clock;
    std::deque<QString> m_entries;
};

} // namespace tolvana
