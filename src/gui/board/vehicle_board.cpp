#include "gui/board/vehicle_board.h"

#include <QVBoxLayout>

#include <algorithm>

#include "gui/board/board_actions.h"
#include "gui/board/board_fields.h"
#include "gui/board/board_prompts.h"
#include "gui/board/board_texts.h"
#include "gui/board/detail_panel.h"
#include "gui/board/field_look.h"
#include "gui/board/page_selectors.h"
#include "gui/board/vehicle_editor.h"

namespace tolvana {

VehicleBoard::VehicleBoard(MonitorState& state, BoardPrompts& prompts, QWidget* parent)
    : QWidget(parent), m_state(state), m_prompts(prompts),
      m_clock([] { return QDateTime::currentDateTime(); }) {
    auto* fieldsFrame = new QFrame(this);
    fieldsFrame->setFrameShape(QFrame::StyledPanel);
    m_fields = new BoardFields(fieldsFrame);
    m_fields->setObjectName(QStringLiteral("FXLabel1"));
    m_detail = new DetailPanel(fieldsFrame);
    auto* fieldsLayout = new QVBoxLayout(fieldsFrame);
    fieldsLayout->setContentsMargins(2, 2, 2, 2);
    fieldsLayout->addWidget(m_fields, 1);
    fieldsLayout->addWidget(m_detail);

    m_selectors = new PageSelectors(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(fieldsFrame, 1);
    layout->addWidget(m_selectors);
    setTabOrder(m_fields, m_selectors->button(0));

    connect(m_fields, &BoardFields::fieldHovered, this, &VehicleBoard::showDetail);
    connect(m_fields, &BoardFields::fieldChosen, this, &VehicleBoard::showDetail);
    connect(m_fields, &BoardFields::editRequested, this, &VehicleBoard::openEditor);
    connect(m_fields, &BoardFields::dropped, this, &VehicleBoard::dropped);
    connect(m_fields, &BoardFields::dragMoved, this, [this](QPoint globalPos) {
        const int page = m_selectors->pageAt(globalPos);
        m_selectors->setDropTarget(page == m_page ? -1 : page);
    });
    connect(m_fields, &BoardFields::dragCancelled, this,
            [this] { m_selectors->setDropTarget(-1); });
    connect(m_fields, &BoardFields::pageStepRequested, this, [this](int step) {
        setCurrentPage((m_page + step + PageSelectors::kPages) % PageSelectors::kPages);
    });
    connect(m_selectors, &PageSelectors::pageChosen, this, &VehicleBoard::setCurrentPage);
    connect(m_selectors, &PageSelectors::renameRequested, this, &VehicleBoard::renamePageAsked);

    rebuild();
}

VehicleBoard::~VehicleBoard() {
    closeEditor();
}

int VehicleBoard::fieldsPerPage() const {
    return m_size.fieldsPerPage();
}

void VehicleBoard::rebuild() {
    closeEditor();
    m_boardSizeIndex = effectiveBoardSizeIndex(m_state.settings.boardSizeIndex);
    m_size = m_state.boardSize();
    m_fields->setLayout(m_size.columns, m_size.rows, m_boardSizeIndex);
    update_label();
}

void VehicleBoard::update_label() {
    if (effectiveBoardSizeIndex(m_state.settings.boardSizeIndex) != m_boardSizeIndex) {
        rebuild(); // draws the page itself
        return;
    }
    for (int f = 0; f < fieldsPerPage(); ++f) {
        drawField(f);
    }
    m_fields->forgetHover();
    for (int page = 0; page < PageSelectors::kPages; ++page) {
        if (m_selectors->button(page)->name() != m_state.stationNames.name(page)) {
            m_selectors->setName(page, m_state.stationNames.name(page));
        }
    }
}

void VehicleBoard::update_labelx(int field) {
    if (field >= 0 && field < fieldsPerPage()) {
        drawField(field);
    }
}

void VehicleBoard::vehicleChanged(int index) {
    const int perPage = fieldsPerPage();
    if (perPage > 0 && index >= 0 && index / perPage == m_page) {
        drawField(index % perPage);
    }
}

void VehicleBoard::drawField(int field) {
    const int index = entryOf(field);
    // A table not yet sized for a new board shows free fields.
    static const Vehicle kFree;
    const Vehicle& v = index < m_state.vehicles.size() ? m_state.vehicles.at(index) : kFree;
    m_fields->setLook(field, fieldLookOf(v, m_state.settings.statusColours));
}

void VehicleBoard::showDetail(int field) {
    const int index = entryOf(field);
    m_detail->showVehicle(field >= 0 && index < m_state.vehicles.size()
                              ? &m_state.vehicles.at(index)
                              : nullptr);
}

void VehicleBoard::setCurrentPage(int page) {
    if (page < 0 || page >= PageSelectors::kPages) {
        return;
    }
    m_page = page;
    m_selectors->setCurrentPage(page);
    update_label();
    emit currentPageChanged(page);
}

void VehicleBoard::dropped(int source, QPoint globalPos) {
    m_selectors->setDropTarget(-1);
    const QPoint local = m_fields->mapFromGlobal(globalPos);
    if (m_fields->rect().contains(local)) {
        const int target = m_fields->fieldAt(local);
        if (target >= 0) {
            dropOnField(source, target);
        }
        return;
    }
    const int page = m_selectors->pageAt(globalPos);
    if (page >= 0) {
        dropOnPage(source, page);
    }
}

void VehicleBoard::dropOnField(int source, int target) {
    using namespace board_texts;
    if (target == source) {
        return;
    }
    const int from = entryOf(source);
    const int to = entryOf(target);
    if (std::max(from, to) >= m_state.vehicles.size()) {
        return; // the table is not (yet) sized for this board
    }
    if (!m_state.vehicles.at(to).Rufname.isEmpty()) {
        m_prompts.inform(kProgramTitle, kFieldOccupied);
        return;
    }
    if (m_state.vehicles.at(from).Rufname.isEmpty()) {
        m_prompts.inform(kProgramTitle, kEmptyFieldCannotMove);
        return;
    }
    if (!m_prompts.ask(kProgramTitle, kMoveHere)) {
        return;
    }
    const FileResult result = moveVehicle(m_state, from, to, MoveKind::BetweenFields, m_clock());
    update_label();
    report(result);
}

void VehicleBoard::dropOnPage(int source, int page) {
    using namespace board_texts;
    if (page == m_page) {
        m_prompts.inform(kProgramTitle, kSamePage);
        return;
    }
    const int from = entryOf(source);
    const int perPage = fieldsPerPage();
    if (std::max(from, (page + 1) * perPage - 1) >= m_state.vehicles.size()) {
        return; // the table is not (yet) sized for this board
    }
    // Moving a free field would only empty another one.
    if (m_state.vehicles.at(from).Rufname.isEmpty()) {
        m_prompts.inform(kProgramTitle, kEmptyFieldCannotMove);
        return;
    }
    for (int f = 0; f < perPage; ++f) {
        const int to = page * perPage + f;
        if (!m_state.vehicles.at(to).Rufname.isEmpty()) {
            continue;
        }
        // The question names the field it means: it lies on a page not shown.
        if (!m_prompts.ask(kTargetFieldTitle.arg(pageTitle(page)).arg(f + 1), kMoveHere)) {
            continue;
        }
        const FileResult result = moveVehicle(m_state, from, to, MoveKind::ToOtherPage, m_clock());
        update_label();
        report(result);
        return;
    }
}

QString VehicleBoard::pageTitle(int page) const {
    const QString& name = m_state.stationNames.name(page);
    return name.isEmpty() ? board_texts::kPageTitle.arg(page + 1) : name;
}

void VehicleBoard::renamePageAsked(int page) {
    const std::optional<QString> name = m_prompts.askText(
        board_texts::kProgramTitle, board_texts::kNewPageName, m_state.stationNames.name(page));
    if (!name || name->isEmpty()) {
        return;
    }
    report(renamePage(m_state, page, *name));
    m_selectors->setName(page, m_state.stationNames.name(page));
}

void VehicleBoard::openEditor(int field) {
    if (m_editor) {
        m_editor->raise();
        m_editor->activateWindow();
        return;
    }
    if (field < 0 || field >= fieldsPerPage() || entryOf(field) >= m_state.vehicles.size()) {
        return;
    }
    m_editor = new VehicleEditor(m_state, m_prompts, entryOf(field), m_clock, this);
    m_editor->setAttribute(Qt::WA_DeleteOnClose);
    const int page = m_page;
    connect(m_editor, &QDialog::finished, this, [this, page, field] {
        if (page == m_page) {
            update_labelx(field);
        }
    });
    m_editor->open();
}

VehicleEditor* VehicleBoard::editor() const {
    return m_editor.data();
}

void VehicleBoard::closeEditor() {
    if (m_editor) {
        // Deleted at once: a table resized after this must not meet it.
        VehicleEditor* editor = m_editor;
        m_editor = nullptr;
        editor->disconnect(this);
        delete editor;
    }
}

void VehicleBoard::report(const FileResult& result) {
    if (!result.ok()) {
        m_prompts.inform(board_texts::kAttention, result.error());
    }
}

} // namespace tolvana
