#include "gui/board/board_settings_pages.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/board/board_actions.h"
#include "gui/board/board_prompts.h"
#include "gui/board/board_texts.h"
#include "records/bos_import.h"

namespace tolvana {

VehicleImportPanel::VehicleImportPanel(MonitorState& state, BoardPrompts& prompts, QWidget* parent)
    : QWidget(parent), m_state(state), m_prompts(prompts),
      m_append([this] { return m_state.settings.appendOnImport == 1; }) {
    m_load = new QPushButton(board_texts::kImportVehicles, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_load);
    connect(m_load, &QPushButton::clicked, this, &VehicleImportPanel::load);
}

void VehicleImportPanel::load() {
    using namespace board_texts;
    const QString path = m_prompts.chooseFile(kSelectBosFile, kBosFileFilter);
    if (!path.isEmpty()) {
        const BosImport imported = importBosFile(path, ImportMode::Vehicles, m_state.vehicles,
                                                 m_state.callNames, m_append());
        if (!imported.result.ok()) {
            m_prompts.inform(kAttention, imported.result.error());
        } else if (isBosFilePath(path) && QFileInfo::exists(path)) {
            m_prompts.inform(kProgramTitle,
                             imported.found > imported.imported
                                 ? kVehicleTableFull.arg(imported.found)
                                       .arg(imported.imported)
                                       .arg(m_state.vehicles.size())
                                 : kVehiclesImported.arg(imported.imported));
        }
    }
    // Written also when nothing was imported: the file always shows the table.
    const FileResult saved = m_state.vehicles.saveVehicles(m_state.folder);
    emit vehiclesChanged();
    if (!saved.ok()) {
        m_prompts.inform(kAttention, saved.error());
    }
}

StatusForAllPanel::StatusForAllPanel(MonitorState& state, BoardPrompts& prompts, QWidget* parent,
                                     bool captioned)
    : QWidget(parent), m_state(state), m_prompts(prompts),
      m_clock([] { return QDateTime::currentDateTime(); }) {
    auto* frame = new QGroupBox(captioned ? board_texts::kStatusForAll : QString(), this);
    auto* row = new QHBoxLayout(frame);
    for (int k = 0; k < kButtons; ++k) {
        auto* b = new QPushButton(QString::number(k + 1), frame);
        b->setObjectName(QStringLiteral("Command4_%1").arg(k));
        connect(b, &QPushButton::clicked, this, [this, k] { setAll(k + 1); });
        row->addWidget(b);
        m_buttons[static_cast<std::size_t>(k)] = b;
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
}

void StatusForAllPanel::setAll(int status) {
    // Up to 6000 status files, each synced to the disk: a progress bar
    // (after half a second) while the window keeps drawing and receiving.
    QProgressDialog progress(board_texts::kWritingStatusFiles.arg(status), QString(), 0, 1, this);
    progress.setWindowTitle(board_texts::kProgramTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setValue(0);
    const FileResult result =
        setStatusForAll(m_state, status, m_clock(), [&progress](int done, int total) {
            progress.setMaximum(std::max(total, 1));
            progress.setValue(done);
        });
    progress.close();
    emit vehiclesChanged();
    if (!result.ok()) {
        m_prompts.inform(board_texts::kAttention, result.error());
    }
}

} // namespace tolvana
