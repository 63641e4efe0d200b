#include "gui/board/board_part.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "gui/board/board_prompts.h"
#include "gui/board/board_settings_pages.h"
#include "gui/board/board_texts.h"
#include "gui/board/call_name_editor.h"
#include "gui/board/vehicle_board.h"
#include "gui/main_window.h"
#include "gui/monitor.h"
#include "gui/settings_pages.h"
#include "gui/settings_tab.h"
#include "gui/window_parts.h"

namespace tolvana::gui {

namespace {

// Messages go through the window's own boxes (shown without blocking, the
// same text never twice at once); questions, input boxes and the colour
// and file dialogs wait for the answer, as they must.
class WindowPrompts final : public QObject, public BoardPrompts {
public:
    WindowPrompts(UserMessages& messages, QWidget* window)
        : QObject(window), m_messages(messages), m_dialogs(window) {}

    void inform(const QString& title, const QString& text) override {
        m_messages.show(title, text,
                        title == board_texts::kAttention ? QMessageBox::Warning
                                                         : QMessageBox::Information);
    }
    bool ask(const QString& title, const QString& question) override {
        return m_dialogs.ask(title, question);
    }
    std::optional<QString> askText(const QString& title, const QString& prompt,
                                   const QString& preset) override {
        return m_dialogs.askText(title, prompt, preset);
    }
    std::optional<quint32> chooseColour(quint32 preset) override {
        return m_dialogs.chooseColour(preset);
    }
    QString chooseFile(const QString& caption, const QString& filter) override {
        return m_dialogs.chooseFile(caption, filter);
    }

private:
    UserMessages& m_messages;
    DialogPrompts m_dialogs;
};

} // namespace

BoardPart installBoardPart(WindowParts& parts) {
    MonitorState& state = parts.monitor.state();
    GuiView& view = parts.monitor.view();
    auto* prompts = new WindowPrompts(parts.monitor.messages(), &parts.window);

    BoardPart part;
    part.board = new VehicleBoard(state, *prompts);
    parts.boardTab->addWidget(part.board);
    QObject::connect(&view, &GuiView::vehicleStatusChanged, part.board, &VehicleBoard::vehicleChanged);
    QObject::connect(&view, &GuiView::boardRedrawRequested, part.board, &VehicleBoard::update_label);
    QObject::connect(&view, &GuiView::boardRebuildRequested, part.board, &VehicleBoard::rebuild);
    QObject::connect(&view, &GuiView::shuttingDown, part.board, &VehicleBoard::closeEditor);

    part.callNames = new CallNameEditor(state, *prompts);
    parts.settings.extensionArea(SettingsPage::Meldeempfaenger)->addWidget(part.callNames, 1);
    // Start-up announces the page names once every table is loaded.
    QObject::connect(&view, &GuiView::stationNamesChanged, part.board, &VehicleBoard::update_label);
    QObject::connect(&view, &GuiView::stationNamesChanged, part.callNames, &CallNameEditor::reload);

    part.vehicleImport = new VehicleImportPanel(state, *prompts);
    parts.settings.extensionArea(SettingsPage::FzgeImportieren)->addWidget(part.vehicleImport);
    // The check box right above the button, as the user sees it, saved or not.
    if (auto* page = qobject_cast<VehicleImportPage*>(
            parts.settings.panel(SettingsPage::FzgeImportieren))) {
        QCheckBox* append = page->appendOnImport();
        part.vehicleImport->setAppendSource([append] { return append->isChecked(); });
    }
    QObject::connect(part.vehicleImport, &VehicleImportPanel::vehiclesChanged, part.board,
                     &VehicleBoard::update_label);

    // The page shows the caption "Status für alle auf" itself.
    part.statusForAll = new StatusForAllPanel(state, *prompts, nullptr, false);
    parts.settings.extensionArea(SettingsPage::StatusFuerAlle)->addWidget(part.statusForAll);
    QObject::connect(part.statusForAll, &StatusForAllPanel::vehiclesChanged, part.board,
                     &VehicleBoard::update_label);
    return part;
}

} // namespace tolvana::gui
