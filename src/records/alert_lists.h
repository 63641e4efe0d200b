// The three small alert lists above the reception lists: the talk-button and
// call-tone list (FMS status 15, "Tonruf I", "Tonruf II"), the status 5 list
// (request to speak) and the status 0 list (emergency). An entry reads
//
//   15:52:42 62345678<8 blanks><TAB>07.12.2004 15:52:42
//
// so its second TAB-separated field is its date and time. A list turns green
// when it receives an entry and light grey again once it is empty.
#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tolvana {

class AlertListModel : public QAbstractListModel {
    Q_OBJECT

public:
    /// A list holding more than this many entries is emptied before the next one.
    static constexpr int kMaxEntries = 100;
    /// Housekeeping removes entries older than this.
    static constexpr qint64 kMaxAgeSeconds = 4 * 60;

    explicit AlertListModel(QString label, QObject* parent = nullptr);

    /// The caption beside the list.
    const QString& label() const { return m_label; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const QStringList& entries() const { return m_entries; }
    /// 0x00BBGGRR: kAlertGreen after an entry arrived, kLightGrey when empty.
    quint32 background() const { return m_background; }
    /// -1 when no entry is selected.
    int selectedRow() const { return m_selected; }
    void setSelectedRow(int row);

    /// Appends an entry text as it stands, selects it and turns the list green.
    void appendEntry(const QString& entry);
    void clear();
    /// Removes the selected entry, as a mouse press on the list does; an
    /// emptied list turns grey. False when nothing was selected.
    bool removeSelected();
    /// Removes every entry whose time lies more than four minutes before
    /// `now`; an emptied list turns grey. Returns how many went.
    int removeExpired(const QDateTime& now);

signals:
    void backgroundChanged(quint32 colour);
    void selectedRowChanged(int row);

private:
    void setBackground(quint32 colour);
    void removeEntry(int row);

    QString m_label;
    QStringList m_entries;
    int m_selected = -1;
    quint32 m_background;
};

/// The entry text for an identity or a tone name received at `now`.
QString alertLineText(const QString& text, const QDateTime& now);

/// Puts an alert into a list: nothing for the identity "00000000" (an empty
/// telegram); a list holding more than 100 entries is emptied first; then the
/// entry is appended, selected, and the list turns green. True when added.
bool AppendAlertLine(AlertListModel& list, const QString& text, const QDateTime& now);

/// The three alert lists with their captions.
class AlertLists {
public:
    AlertListModel List1{QStringLiteral(" SprechTaste")}; ///< FMS status 15 and the two call tones
    AlertListModel List2{QStringLiteral("Status5")};      ///< FMS status 5
    AlertListModel List3{QStringLiteral("Status 0")};     ///< FMS status 0

    /// Housekeeping of all three lists (see AlertListModel::removeExpired).
    int removeExpired(const QDateTime& now);
};

} // namespace tolvana
