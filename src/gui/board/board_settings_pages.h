// The board's parts of two settings pages: "I-R-F-BOS-Datei laden" on
// "Fzge importieren" (the check box that appends instead of replacing
// belongs to the settings), and the nine buttons "Status für alle auf" on
// "Status für alle setzen". Both change the vehicle table and say so with
// vehiclesChanged(), on which the board redraws.
#pragma once

#include <QDateTime>
#include <QWidget>

#include <array>
#include <functional>

#include "handoff/monitor_state.h"

class QPushButton;

namespace tolvana {

class BoardPrompts;
class FileResult;

class VehicleImportPanel final : public QWidget {
    Q_OBJECT
public:
    VehicleImportPanel(MonitorState& state, BoardPrompts& prompts, QWidget* parent = nullptr);

    QPushButton* loadButton() const { return m_load; }
    /// Whether an import appends behind the last used entry; by default the
    /// saved option `appendOnImport`. The settings page may pass its check box.
    void setAppendSource(std::function<bool()> append) { m_append = std::move(append); }

signals:
    void vehiclesChanged();

private:
    void load();

    MonitorState& m_state;
    BoardPrompts& m_prompts;
    std::function<bool()> m_append;
    QPushButton* m_load = nullptr;
};

class StatusForAllPanel final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kButtons = 9;

    /// With `captioned`, the buttons stand in a frame "Status für alle auf".
    StatusForAllPanel(MonitorState& state, BoardPrompts& prompts, QWidget* parent = nullptr,
                      bool captioned = true);

    /// Button k sets status k + 1.
    QPushButton* button(int k) const { return m_buttons.at(static_cast<std::size_t>(k)); }
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

signals:
    void vehiclesChanged();

private:
    void setAll(int status);

    MonitorState& m_state;
    BoardPrompts& m_prompts;
    std::function<QDateTime()> m_clock;
    std::array<QPushButton*, kButtons> m_buttons{};
};

} // namespace tolvana
