// The vehicle editor ("Eigenschaften"): one entry of the vehicle table with
// its call name, additional information and FMS identity, its status and
// TKI set by hand, and the pagers (five-tone calls or RICs) carried on it.
// The board opens it modally on a field.
//
// Every change is written at once through the tables' writers; a write that
// fails is shown, and a vehicle whose Fzg.txt could not be written stays as
// it was, with the editor still open.
#pragma once

#include <QDateTime>
#include <QDialog>

#include <array>
#include <functional>

#include "handoff/monitor_state.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace tolvana {

class BoardPrompts;
class FileResult;

class VehicleEditor final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTextFields = 4;
    static constexpr int kStatusButtons = 9;
    static constexpr int kTkiButtons = 4;

    VehicleEditor(MonitorState& state, BoardPrompts& prompts, int entry,
                  std::function<QDateTime()> clock, QWidget* parent = nullptr);

    int entry() const { return m_entry; }
    /// The entry had no Rufname when the editor opened.
    bool isNewEntry() const { return m_isNewEntry; }

    /// 0 "Rufname:", 1 "Zusatzinfo:", 2 "FMS-Kennung:", 3 "Bündelfunk-Rufnummer:".
    QLineEdit* textField(int i) const { return m_text.at(static_cast<std::size_t>(i)); }
    QPushButton* statusButton(int i) const { return m_status.at(static_cast<std::size_t>(i)); }
    QPushButton* tkiButton(int i) const { return m_tki.at(static_cast<std::size_t>(i)); }
    QListWidget* pagerList() const { return m_pagers; }
    QPushButton* newPagerButton() const { return m_newPager; }
    QPushButton* deletePagerButton() const { return m_deletePager; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* backButton() const { return m_back; }

private:
    void save();
    void setStatus(int status);
    void setTki(int tki);
    void addPager();
    void removePager();
    bool entryExists() const;
    QString text(int i) const;
    void report(const FileResult& result);

    MonitorState& m_state;
    BoardPrompts& m_prompts;
    std::function<QDateTime()> m_clock;
    int m_entry;
    bool m_isNewEntry = false;
    std::array<QLineEdit*, kTextFields> m_text{};
    std::array<QPushButton*, kStatusButtons> m_status{};
    std::array<QPushButton*, kTkiButtons> m_tki{};
    QListWidget* m_pagers = nullptr;
    QPushButton* m_newPager = nullptr;
    QPushButton* m_deletePager = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_back = nullptr;
};

} // namespace tolvana
