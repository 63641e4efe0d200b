// The three reception lists (FMS, ZVEI, POCSAG) as table models for the list
// view: the newest reception on top, one row per reception, its cells given
// as one TAB-joined text (the same text as its daily log line).
//
//   FMS     Rufname | Eigenschaft | FMS | Status | TKI | Rtg | Zeit | Text
//   ZVEI    Nummer | Name | Zeit
//   POCSAG  Nummer | Funktion | Name | Zeit | Text
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

#include "records/reception_kind.h"

namespace tolvana {

class ReceptionListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    /// A cell's background as a 0x00BBGGRR value (uint), only for a cell that
    /// has one: the "Name" cell of a live ZVEI or POCSAG row. Qt Core has no
    /// colour type; the widget maps this role to its background.
    static constexpr int CellColourRole = Qt::UserRole + 1;
    /// The whole row text, as added and as logged.
    static constexpr int RowTextRole = Qt::UserRole + 2;

    /// The FMS list is emptied before a new row once it holds this many
    /// receptions (501 grid rows with the heading row).
    static constexpr int kFmsRowLimit = 500;
    /// No list holds more rows than this: the oldest leave first. The five-
    /// tone and pager lists had no limit at all, and a monitor that runs for
    /// months must not grow without end; the daily logs keep everything.
    static constexpr int kMaxRows = 5000;

    explicit ReceptionListModel(ReceptionKind kind, QObject* parent = nullptr);

    ReceptionKind kind() const { return m_kind; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    /// Inserts a reception at the top; `nameColour` colours its "Name" cell
    /// (ignored for FMS, which has none).
    void addRow(const QString& rowText, std::optional<quint32> nameColour = std::nullopt);
    /// Inserts rows in file order, oldest first, so the last ends on top;
    /// they get no colour and no row limit (reloading a day's log).
    void addRows(const QStringList& rowTexts);
    /// The FMS rule, run for every telegram that passed the filter before it
    /// is checked further: a full list is emptied. True when it was. Does
    /// nothing for ZVEI and POCSAG, whose lists have no limit.
    bool clearIfFull();
    void clear();

    /// Row 0 is the newest.
    QString rowText(int row) const;
    std::optional<quint32> nameColour(int row) const;

    /// Column of the "Name" cell, -1 for FMS.
    int nameColumn() const;
    static QStringList headings(ReceptionKind kind);
    /// Column widths of the grids in twips (15 twips are one pixel at 96 dpi).
    static QList<int> columnWidthsTwips(ReceptionKind kind);

private:
    struct Row {
        QStringList cells;
        std::optional<quint32> colour;
    };
    const Row& rowAt(int row) const {
        return m_rows[m_rows.size() - 1 - static_cast<std::size_t>(row)];
    }

    ReceptionKind m_kind;
    QStringList m_headings;
    void dropOldestBeyondLimit();

    std::deque<Row> m_rows; // oldest first, so adding at the top is cheap
};

/// The three lists, one per kind.
class ReceptionLists {
public:
    ReceptionListModel fms{ReceptionKind::Fms};
    ReceptionListModel zvei{ReceptionKind::Zvei};
    ReceptionListModel pocsag{ReceptionKind::Pocsag};

    ReceptionListModel& list(ReceptionKind kind);

    void addFmsRow(const QString& rowText) { fms.addRow(rowText); }
    void addZveiRow(const QString& rowText, quint32 colour) { zvei.addRow(rowText, colour); }
    void addPocsagRow(const QString& rowText, quint32 colour) { pocsag.addRow(rowText, colour); }
};

} // namespace tolvana
