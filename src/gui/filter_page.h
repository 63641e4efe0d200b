// The "Filter" page: the positive and negative lists of FMS identities,
// five-tone calls and RICs (List6 0..5), each with "neu" and "löschen".
// Changes go to the filter files at once and take effect straight away;
// they are not part of "speichern".
//
//              FMS        ZVEI       RIC
//   positive   list 0     list 2     list 4
//   negative   list 1     list 3     list 5
#pragma once

#include <QListWidget>
#include <QPushButton>

#include <array>

#include "gui/settings_panel.h"
#include "records/filters.h"

namespace tolvana::gui {

class UserMessages;

class FilterPage final : public SettingsPanel {
    Q_OBJECT

public:
    FilterPage(FilterTables& filters, UserMessages& messages, QWidget* parent = nullptr);

    /// Shows the lists as the filter tables hold them.
    void refreshLists();

    QListWidget* list(int index) const { return m_lists.at(static_cast<std::size_t>(index)); }
    QPushButton* newButton(int index) const { return m_new.at(static_cast<std::size_t>(index)); }
    QPushButton* deleteButton(int index) const { return m_delete.at(static_cast<std::size_t>(index)); }

    /// The prompt of "neu" on list `index`.
    static QString prompt(int index);

private:
    void addEntry(int index);
    void removeEntry(int index);

    FilterTables& m_filters;
    UserMessages& m_messages;
    std::array<QListWidget*, 6> m_lists{};
    std::array<QPushButton*, 6> m_new{};
    std::array<QPushButton*, 6> m_delete{};
};

} // namespace tolvana::gui
