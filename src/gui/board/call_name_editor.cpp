#include "gui/board/call_name_editor.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "gui/board/board_prompts.h"
#include "gui/board/board_texts.h"
#include "gui/board/field_look.h"
#include "records/bos_import.h"

namespace tolvana {

namespace {

constexpr qsizetype kZveiLength = 5;
constexpr qsizetype kRicLength = 7;

bool isCallNumberLength(const QString& number) {
    return number.size() == kZveiLength || number.size() == kRicLength;
}

} // namespace

CallNameModel::CallNameModel(CallNameTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {}

int CallNameModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.callNameCount();
}

int CallNameModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CallNameModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_table.callNameCount()) {
        return {};
    }
    const CallName& entry = m_table.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case NumberColumn:
            return entry.Nummer;
        case NameColumn:
            return entry.Name;
        default:
            return entry.farbeText;
        }
    }
    // A call that was never given a colour (an imported one) keeps the
    // grid's own background rather than black.
    if (index.column() == NumberColumn && !entry.farbeText.isEmpty()) {
        const QColor colour = paintedColour(entry.Farbe);
        if (role == Qt::BackgroundRole) {
            return colour;
        }
        if (role == Qt::ForegroundRole) {
            return textColourOn(colour);
        }
    }
    return {};
}

QVariant CallNameModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    switch (section) {
    case NumberColumn:
        return board_texts::kGridNumber;
    case NameColumn:
        return board_texts::kGridName;
    default:
        return board_texts::kGridColour;
    }
}

void CallNameModel::reload() {
    beginResetModel();
    endResetModel();
}

void CallNameModel::append(const QString& nummer, const QString& name, const QString& farbeText) {
    const int row = m_table.callNameCount();
    beginInsertRows({}, row, row);
    m_table.append(nummer, name, farbeText);
    endInsertRows();
}

void CallNameModel::replace(int row, const QString& nummer, const QString& name,
                            const QString& farbeText) {
    m_table.replace(row, nummer, name, farbeText);
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void CallNameModel::removeAt(int row) {
    beginRemoveRows({}, row, row);
    m_table.remove(row);
    endRemoveRows();
}

QString CallNameEditor::bosFilesAddress() {
    // BOS files list FMS identities and five-tone calls; this page explains
    // both and points on to where regions publish their lists.
    return QStringLiteral("https://de.wikipedia.org/wiki/Funkmeldesystem");
}

CallNameEditor::CallNameEditor(MonitorState& state, BoardPrompts& prompts, QWidget* parent)
    : QWidget(parent), m_state(state), m_prompts(prompts) {
    using namespace board_texts;
    m_model = new CallNameModel(m_state.callNames, this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("Grid_melder"));
    m_grid->setModel(m_model);
    m_grid->setColumnHidden(CallNameModel::ColourColumn, true);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);

    m_new = new QPushButton(kNew, this);
    m_new->setObjectName(QStringLiteral("Command14"));
    m_change = new QPushButton(kChange, this);
    m_change->setObjectName(QStringLiteral("Command12"));
    m_delete = new QPushButton(kDelete, this);
    m_delete->setObjectName(QStringLiteral("Command16"));
    m_import = new QPushButton(kImportCallNames, this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_new, m_change, m_delete}) {
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    buttons->addWidget(m_import);

    auto* link = new QLabel(this);
    link->setTextFormat(Qt::RichText);
    link->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(bosFilesAddress().toHtmlEscaped()));
    link->setOpenExternalLinks(true); // the desktop's browser, hand cursor over the link
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    auto* linkRow = new QHBoxLayout;
    linkRow->addWidget(new QLabel(kBosFilesHere, this));
    linkRow->addWidget(link, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(m_grid, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(linkRow);

    connect(m_new, &QPushButton::clicked, this, &CallNameEditor::addCallName);
    connect(m_change, &QPushButton::clicked, this, &CallNameEditor::changeCallName);
    connect(m_delete, &QPushButton::clicked, this, &CallNameEditor::deleteCallName);
    connect(m_import, &QPushButton::clicked, this, &CallNameEditor::importCallNames);
}

void CallNameEditor::reload() {
    m_model->reload();
}

int CallNameEditor::currentRow() const {
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() && current.row() < m_state.callNames.callNameCount() ? current.row()
                                                                                  : -1;
}

void CallNameEditor::report(const FileResult& result) {
    if (!result.ok()) {
        m_prompts.inform(board_texts::kAttention, result.error());
    }
}

void CallNameEditor::saveOrUndo(const CallNameTable& before) {
    const FileResult result = m_state.callNames.saveCallNames(m_state.folder);
    if (!result.ok()) {
        m_state.callNames = before;
        m_model->reload();
    }
    report(result);
    emit callNamesChanged();
}

void CallNameEditor::addCallName() {
    using namespace board_texts;
    const CallNameTable before = m_state.callNames;
    const std::optional<QString> number = m_prompts.askText(kProgramTitle, kEnterCallNumber);
    if (number && isCallNumberLength(*number)) {
        const std::optional<QString> name = m_prompts.askText(kProgramTitle, kEnterWearer);
        if (name && !name->isEmpty()) {
            // Without a chosen colour the row keeps the grid's background.
            const std::optional<quint32> colour = m_prompts.chooseColour(kLightGrey);
            const int row = m_state.callNames.callNameCount();
            m_model->append(*number, *name, colour ? QString::number(*colour) : QString());
            m_grid->setCurrentIndex(m_model->index(row, CallNameModel::NumberColumn));
        }
    }
    saveOrUndo(before);
}

void CallNameEditor::changeCallName() {
    using namespace board_texts;
    const CallNameTable before = m_state.callNames;
    const int row = currentRow();
    if (row >= 0) {
        const CallName entry = m_state.callNames.at(row);
        const std::optional<QString> number =
            m_prompts.askText(kChangeTitle, kChangeNumber, entry.Nummer);
        if (number && isCallNumberLength(*number)) {
            const std::optional<QString> name =
                m_prompts.askText(kChangeTitle, kEnterWearer, entry.Name);
            if (name && !name->isEmpty()) {
                const std::optional<quint32> colour = m_prompts.chooseColour(entry.Farbe);
                // Cancelling the colour keeps the row's colour.
                const QString farbeText = colour ? QString::number(*colour) : entry.farbeText;
                m_model->replace(row, *number, *name, farbeText);
            }
        }
    }
    saveOrUndo(before);
}

void CallNameEditor::deleteCallName() {
    const CallNameTable before = m_state.callNames;
    const int row = currentRow();
    if (row >= 0 &&
        m_prompts.ask(board_texts::kProgramTitle,
                      board_texts::kDeleteCallName.arg(m_state.callNames.at(row).Nummer))) {
        m_model->removeAt(row);
    }
    saveOrUndo(before);
}

void CallNameEditor::importCallNames() {
    using namespace board_texts;
    const QString path = m_prompts.chooseFile(kSelectBosFile, kBosFileFilter);
    const CallNameTable before = m_state.callNames;
    if (!path.isEmpty()) {
        const BosImport imported = importBosFile(path, ImportMode::CallNames, m_state.vehicles,
                                                 m_state.callNames, false);
        m_model->reload();
        if (!imported.result.ok()) {
            report(imported.result);
        } else if (isBosFilePath(path) && QFileInfo::exists(path)) {
            m_prompts.inform(kProgramTitle, kCallNamesImported.arg(imported.imported));
        }
    }
    saveOrUndo(before);
}

} // namespace tolvana
