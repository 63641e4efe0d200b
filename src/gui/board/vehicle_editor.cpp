#include "gui/board/vehicle_editor.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "gui/board/board_prompts.h"
#include "gui/board/board_texts.h"
#include "gui/board/field_look.h"
#include "records/german_time.h"

namespace tolvana {

namespace {

// FMS identities and trunked-radio numbers have eight characters.
constexpr int kKennungLength = 8;
// Five-tone calls have five digits, RICs seven.
constexpr qsizetype kZveiLength = 5;
constexpr qsizetype kRicLength = 7;

// A plain border is needed for the style to fill the whole button with the
// colour instead of shading it.
QString buttonStyle(const QColor& background) {
    return QStringLiteral("QPushButton { background-color: %1; color: %2; min-width: 2em;"
                          " border: 1px solid #808080; border-radius: 2px; padding: 4px; }"
                          " QPushButton:pressed { background-color: %3; }"
                          " QPushButton:focus { border: 2px solid palette(highlight); }")
        .arg(background.name(), textColourOn(background).name(), background.darker(130).name());
}

} // namespace

VehicleEditor::VehicleEditor(MonitorState& state, BoardPrompts& prompts, int entry,
                             std::function<QDateTime()> clock, QWidget* parent)
    : QDialog(parent), m_state(state), m_prompts(prompts), m_clock(std::move(clock)),
      m_entry(entry) {
    using namespace board_texts;
    setWindowTitle(kEditorTitle);
    setObjectName(QStringLiteral("Form2"));

    // The files separate fields with TABs and entries with line ends.
    auto* noBreaks =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\\t\\r\\n]*")), this);
    auto* form = new QGridLayout;
    const std::array<QString, kTextFields> labels{kRufname, kZusatzinfo, kFmsKennung,
                                                  kTrunkedNumber};
    for (int i = 0; i < kTextFields; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Text1_%1").arg(i));
        edit->setValidator(noBreaks);
        auto* label = new QLabel(labels[static_cast<std::size_t>(i)], this);
        label->setBuddy(edit);
        form->addWidget(label, i, 0);
        form->addWidget(edit, i, 1);
        m_text[static_cast<std::size_t>(i)] = edit;
    }
    textField(2)->setMaxLength(kKennungLength);
    textField(3)->setMaxLength(kKennungLength);
    // Shown, but no table keeps it: typing into it would be lost.
    textField(3)->setEnabled(false);
    textField(3)->setToolTip(kTrunkedNumberNotKept);
    auto* note = new QLabel(kHeadingNote, this);
    note->setWordWrap(true);
    form->addWidget(note, kTextFields, 0, 1, 2);

    auto* statusFrame = new QGroupBox(kSetStatusFrame, this);
    auto* statusRow = new QHBoxLayout(statusFrame);
    for (int i = 0; i < kStatusButtons; ++i) {
        auto* b = new QPushButton(QString::number(i + 1), statusFrame);
        b->setObjectName(QStringLiteral("Command3_%1").arg(i));
        b->setAutoDefault(false);
        b->setStyleSheet(buttonStyle(
            paintedColour(m_state.settings.statusColours[static_cast<std::size_t>(i)])));
        connect(b, &QPushButton::clicked, this, [this, i] { setStatus(i + 1); });
        statusRow->addWidget(b);
        m_status[static_cast<std::size_t>(i)] = b;
    }

    auto* tkiRow = new QHBoxLayout;
    tkiRow->addWidget(new QLabel(kTki, this));
    for (int i = 0; i < kTkiButtons; ++i) {
        auto* b = new QPushButton(QString::number(i), this);
        b->setObjectName(QStringLiteral("Command4_%1").arg(i));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { setTki(i); });
        tkiRow->addWidget(b);
        m_tki[static_cast<std::size_t>(i)] = b;
    }
    tkiRow->addStretch(1);

    m_pagers = new QListWidget(this);
    m_pagers->setObjectName(QStringLiteral("List1"));
    auto* pagerLabel = new QLabel(kPagersOnVehicle, this);
    pagerLabel->setBuddy(m_pagers);
    m_newPager = new QPushButton(kNew, this);
    m_newPager->setObjectName(QStringLiteral("Command5"));
    m_deletePager = new QPushButton(kDelete, this);
    m_deletePager->setObjectName(QStringLiteral("Command6"));
    for (QPushButton* b : {m_newPager, m_deletePager}) {
        b->setAutoDefault(false);
    }
    auto* pagerButtons = new QVBoxLayout;
    pagerButtons->addWidget(m_newPager);
    pagerButtons->addWidget(m_deletePager);
    pagerButtons->addStretch(1);
    auto* pagerRow = new QHBoxLayout;
    pagerRow->addWidget(m_pagers, 1);
    pagerRow->addLayout(pagerButtons);

    m_save = new QPushButton(kSave, this);
    m_save->setObjectName(QStringLiteral("Command1"));
    m_save->setDefault(true);
    m_back = new QPushButton(kBack, this);
    m_back->setObjectName(QStringLiteral("Command2"));
    m_back->setAutoDefault(false);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(m_save);
    closeRow->addWidget(m_back);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(statusFrame);
    layout->addLayout(tkiRow);
    layout->addWidget(pagerLabel);
    layout->addLayout(pagerRow);
    layout->addLayout(closeRow);

    connect(m_save, &QPushButton::clicked, this, &VehicleEditor::save);
    connect(m_back, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_newPager, &QPushButton::clicked, this, &VehicleEditor::addPager);
    connect(m_deletePager, &QPushButton::clicked, this, &VehicleEditor::removePager);

    if (entryExists()) {
        const Vehicle& v = m_state.vehicles.at(m_entry);
        textField(0)->setText(v.Rufname);
        textField(1)->setText(v.Eigenschaft);
        textField(2)->setText(v.Kennung);
        m_isNewEntry = v.Rufname.isEmpty();
        if (m_state.callAssignments.callAssignmentCount() > 0 &&
            v.Kennung.size() == kKennungLength) {
            m_pagers->addItems(m_state.callAssignments.numbersOf(v.Kennung));
        }
    }
}

bool VehicleEditor::entryExists() const {
    return m_entry >= 0 && m_entry < m_state.vehicles.size();
}

QString VehicleEditor::text(int i) const {
    return textField(i)->text();
}

void VehicleEditor::report(const FileResult& result) {
    if (!result.ok()) {
        m_prompts.inform(board_texts::kAttention, result.error());
    }
}

void VehicleEditor::save() {
    if (!entryExists()) {
        reject();
        return;
    }
    VehicleTable& table = m_state.vehicles;
    const Vehicle old = table.at(m_entry);
    const int oldLastUsed = table.lastUsedIndex();

    Vehicle& v = table.entry(m_entry);
    v.Rufname = text(0);
    v.Eigenschaft = text(1);
    v.Kennung = text(2);
    if (m_isNewEntry) {
        v.Status = kStatusWithoutFile;
        v.Zeit = changeTime(m_clock());
    }
    table.noteUsed(m_entry);

    const FileResult saved = table.saveVehicles(m_state.folder);
    if (!saved.ok()) {
        // Nothing kept, nothing changed: the user may try again or go back.
        table.entry(m_entry) = old;
        table.setLastUsedIndex(oldLastUsed);
        report(saved);
        return;
    }
    if (m_isNewEntry) {
        report(table.saveVehicleStatus(m_state.folder, m_entry, table.at(m_entry).Zeit));
    }
    accept();
}

void VehicleEditor::setStatus(int status) {
    if (!entryExists()) {
        reject();
        return;
    }
    VehicleTable& table = m_state.vehicles;
    const Vehicle& v = table.at(m_entry);
    table.setStatus(m_entry, status, v.Tki, m_clock());
    report(table.saveVehicleStatus(m_state.folder, m_entry, table.at(m_entry).Zeit));
    accept();
}

void VehicleEditor::setTki(int tki) {
    if (!entryExists()) {
        reject();
        return;
    }
    VehicleTable& table = m_state.vehicles;
    table.setStatus(m_entry, table.at(m_entry).Status, tki, m_clock());
    report(table.saveVehicleStatus(m_state.folder, m_entry, table.at(m_entry).Zeit));
}

void VehicleEditor::addPager() {
    using namespace board_texts;
    const QString kennung = text(2);
    if (text(0).isEmpty() || kennung.size() != kKennungLength) {
        m_prompts.inform(kProgramTitle, kNeedNameAndKennung);
        return;
    }
    const std::optional<QString> answer = m_prompts.askText(kProgramTitle, kEnterPager);
    if (!answer) {
        return;
    }
    if (answer->size() != kZveiLength && answer->size() != kRicLength) {
        m_prompts.inform(kProgramTitle, kWrongLength.arg(answer->size()));
        return;
    }
    const FileResult result =
        m_state.callAssignments.addCallAssignment(m_state.folder, kennung, *answer, text(0));
    if (result.ok()) {
        m_pagers->addItem(*answer);
    }
    report(result);
}

void VehicleEditor::removePager() {
    const QString kennung = text(2);
    QListWidgetItem* selected = m_pagers->currentItem();
    if (kennung.size() != kKennungLength || selected == nullptr || !selected->isSelected()) {
        return;
    }
    const QString number = selected->text();
    if (!m_prompts.ask(board_texts::kProgramTitle, board_texts::kRemovePager)) {
        return;
    }
    const FileResult result =
        m_state.callAssignments.removeCallAssignment(m_state.folder, kennung, number);
    if (result.ok()) {
        // The table dropped every entry of this pager on this vehicle.
        for (int row = m_pagers->count() - 1; row >= 0; --row) {
            if (m_pagers->item(row)->text().compare(number, Qt::CaseInsensitive) == 0) {
                delete m_pagers->takeItem(row);
            }
        }
    }
    report(result);
}

} // namespace tolvana
