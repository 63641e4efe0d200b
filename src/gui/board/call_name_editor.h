// The call-name editor of the page "Meldeempfänger (ZVEI/POCSAG)": the grid
// of five-tone calls and RICs with their names and colours, the buttons
// "neu", "ändern" and "löschen", the import of call names from a BOS file,
// and where BOS files are to be had. ZVEI.txt is written after every button,
// changed or not; when it cannot be written the table returns to what the
// file holds and the message is shown.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include "handoff/monitor_state.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tolvana {

class BoardPrompts;
class FileResult;

/// The grid's model: columns "Nr", "Name" and the colour (hidden in the
/// editor); the number cell has the call's colour as its background.
class CallNameModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NumberColumn = 0, NameColumn = 1, ColourColumn = 2, ColumnCount = 3 };

    explicit CallNameModel(CallNameTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// The table changed behind the model's back (load, import, undo).
    void reload();
    /// Changes of the table made through the model, so views keep their place.
    void append(const QString& nummer, const QString& name, const QString& farbeText);
    void replace(int row, const QString& nummer, const QString& name, const QString& farbeText);
    void removeAt(int row);

private:
    CallNameTable& m_table;
};

class CallNameEditor final : public QWidget {
    Q_OBJECT
public:
    CallNameEditor(MonitorState& state, BoardPrompts& prompts, QWidget* parent = nullptr);

    /// Shows the table again after it was loaded anew.
    void reload();

    QTableView* grid() const { return m_grid; }
    CallNameModel* model() const { return m_model; }
    QPushButton* newButton() const { return m_new; }
    QPushButton* changeButton() const { return m_change; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* importButton() const { return m_import; }

    /// The page that offers BOS files, shown beside "hier gibt es BOS-Dateien:".
    static QString bosFilesAddress();

signals:
    /// The call names changed (the reception lists may show them anew).
    void callNamesChanged();

private:
    void addCallName();
    void changeCallName();
    void deleteCallName();
    void importCallNames();
    /// Writes ZVEI.txt; when that fails, the table returns to `before`.
    void saveOrUndo(const CallNameTable& before);
    int currentRow() const;
    void report(const FileResult& result);

    MonitorState& m_state;
    BoardPrompts& m_prompts;
    CallNameModel* m_model = nullptr;
    QTableView* m_grid = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_import = nullptr;
};

} // namespace tolvana
