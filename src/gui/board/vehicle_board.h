// The vehicle status board of the "Fahrzeugansicht" tab: the fields of the
// current page with the detail panel, and the 30 page selectors in their own
// frame. It draws the vehicle table of a MonitorState and changes it only
// through the board's actions (moves, page names) and the vehicle editor.
//
// Entry of field f on page p: p * fields per page + f.
#pragma once

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <functional>

#include "handoff/monitor_state.h"

namespace tolvana {

class BoardFields;
class BoardPrompts;
class DetailPanel;
class PageSelectors;
class VehicleEditor;

class VehicleBoard final : public QWidget {
    Q_OBJECT
public:
    VehicleBoard(MonitorState& state, BoardPrompts& prompts, QWidget* parent = nullptr);
    ~VehicleBoard() override;

    /// Redraws every field of the current page and the page names. Rebuilds
    /// the fields first when the board size of the options has changed.
    void update_label();
    /// Redraws one field of the current page.
    void update_labelx(int field);
    /// A vehicle's status changed (the FMS hand-off): redraws its field if it
    /// is on the current page, and nothing else.
    void vehicleChanged(int index);
    /// Lays the fields out for the board size of the options and redraws.
    void rebuild();

    int currentPage() const { return m_page; }
    /// As a left click on the page's selector.
    void setCurrentPage(int page);
    int fieldsPerPage() const;
    int entryOf(int field) const { return m_page * fieldsPerPage() + field; }

    BoardFields* fields() const { return m_fields; }
    PageSelectors* pageSelectors() const { return m_selectors; }
    DetailPanel* detailPanel() const { return m_detail; }

    /// Opens the vehicle editor on a field of the current page (modal); the
    /// field is redrawn when it closes. One editor at a time.
    void openEditor(int field);
    /// The open editor, or null.
    VehicleEditor* editor() const;
    /// Closes the editor without saving, as at shutdown.
    void closeEditor();

    /// Where the board and its editor take the time from (tests fix it).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

signals:
    void currentPageChanged(int page);

private:
    void drawField(int field);
    void showDetail(int field);
    void dropped(int source, QPoint globalPos);
    void dropOnField(int source, int target);
    void dropOnPage(int source, int page);
    void renamePageAsked(int page);
    void report(const class FileResult& result);
    QString pageTitle(int page) const;

    MonitorState& m_state;
    BoardPrompts& m_prompts;
    std::function<QDateTime()> m_clock;
    BoardFields* m_fields = nullptr;
    DetailPanel* m_detail = nullptr;
    PageSelectors* m_selectors = nullptr;
    QPointer<VehicleEditor> m_editor;
    BoardSize m_size;
    int m_boardSizeIndex = -1;
    int m_page = 0;
};

} // namespace tolvana
