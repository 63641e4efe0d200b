// The "Einstellungen" tab: the page list on the left, the panel of the
// selected page with its name above it, and "speichern", which turns red as
// soon as an option differs from what was last saved.
//
// Pages are added in the order of the list; the twelve standard pages are
// reached by SettingsPage, pages added later (addPage) by the index it
// returns. applySettingsToControls() and collectSettingsFromControls() run
// over every page.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QWidget>

#include <vector>

#include "gui/settings_panel.h"
#include "records/settings.h"

namespace tolvana::gui {

/// The standard pages, in list order.
enum class SettingsPage : int {
    Soundkarte = 0,
    Meldeempfaenger,
    FzgeImportieren,
    Aktionen,
    StatusFuerAlle,
    Fahrzeugansicht,
    Statusfarben,
    HtmlExport,
    Winsock,
    WinMessages,
    Filter,
    Info,
};
inline constexpr int kStandardPages = 12;

class SettingsTab final : public QWidget {
    Q_OBJECT

public:
    explicit SettingsTab(QWidget* parent = nullptr);

    /// Appends a page to the list (its caption is the page name); returns
    /// its index. The tab takes ownership.
    int addPage(SettingsPanel* panel);
    int pageCount() const { return static_cast<int>(m_panels.size()); }
    SettingsPanel* panel(int index) const { return m_panels.at(static_cast<std::size_t>(index)); }
    SettingsPanel* panel(SettingsPage page) const { return panel(static_cast<int>(page)); }
    /// The area of a page for widgets that other parts of the window add.
    QVBoxLayout* extensionArea(SettingsPage page) const { return panel(page)->extensionArea(); }

    void selectPage(int index);
    int currentPage() const { return m_list->currentRow(); }

    QListWidget* pageList() const { return m_list; }
    QLabel* pageTitle() const { return m_title; }
    QPushButton* saveButton() const { return m_save; }

    void applySettingsToControls(const MonitorSettings& settings);
    /// `base` with every field that a page shows replaced by its control's value.
    MonitorSettings collectSettingsFromControls(const MonitorSettings& base) const;

    /// "speichern" red: the controls hold changes that are not saved.
    void markUnsaved();
    /// "speichern" back in the button face.
    void markSaved();
    bool unsaved() const { return m_unsaved; }

    /// Announces a finished "speichern" (MainWindow calls it).
    void notifySaved(const MonitorSettings& before, const MonitorSettings& after) { emit saved(before, after); }

signals:
    void saveRequested();
    /// After "speichern": the options before and after it.
    void saved(const tolvana::MonitorSettings& before, const tolvana::MonitorSettings& after);

private:
    QListWidget* m_list;
    QLabel* m_title;
    QStackedWidget* m_stack;
    QPushButton* m_save;
    std::vector<SettingsPanel*> m_panels;
    bool m_unsaved = false;
};

} // namespace tolvana::gui
