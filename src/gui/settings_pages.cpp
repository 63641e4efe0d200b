#include "gui/settings_pages.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLibraryInfo>

#include "gui/captions.h"
#include "gui/colour_field.h"
#include "records/text_file.h"

namespace tolvana::gui {

namespace {

QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

int flag(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

} // namespace

// ---- Soundkarte --------------------------------------------------------------

void DeviceList::showPopup() {
    emit dropped();
    QComboBox::showPopup();
}

SoundcardPage::SoundcardPage(QWidget* parent) : SettingsPanel(text::kPageNames[0], parent) {
    auto* deviceRow = new QHBoxLayout;
    deviceRow->addWidget(new QLabel(text::kDeviceLabel, this));
    m_devices = new DeviceList(this);
    m_devices->setObjectName(QStringLiteral("InitDevices"));
    m_devices->setMinimumWidth(280);
    deviceRow->addWidget(m_devices, 1);
    content()->addLayout(deviceRow);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(text::kChannelColumns, this), 0, 0, 1, 2);
    // Left column: FMS, POCSAG, Zvei of the left channel (5, 4, 3); right
    // column the same of the right channel (2, 1, 0).
    const std::array<QString, 3> captions = {text::kSwitchZvei, text::kSwitchPocsag, text::kSwitchFms};
    for (int index = 0; index < 6; ++index) {
        auto* box = new QCheckBox(captions[static_cast<std::size_t>(index % 3)], this);
        box->setObjectName(QStringLiteral("Check5_%1").arg(index));
        m_switches[static_cast<std::size_t>(index)] = box;
        const int row = 1 + (2 - index % 3);
        const int column = index >= 3 ? 0 : 1;
        grid->addWidget(box, row, column);
        connect(box, &QCheckBox::clicked, this, &SettingsPanel::edited);
    }
    grid->setColumnStretch(2, 1);
    content()->addLayout(grid);
    content()->addWidget(note(text::kChannelsIndependent, this));

    auto* replayFrame = new QGroupBox(text::kReplayFrame, this);
    auto* replayLayout = new QVBoxLayout(replayFrame);
    auto* replayRow = new QHBoxLayout;
    m_replay = new QPushButton(text::kReplayChoose, replayFrame);
    m_replay->setObjectName(QStringLiteral("ReplayButton"));
    m_replayFast = new QCheckBox(text::kReplayFast, replayFrame);
    m_replayFast->setObjectName(QStringLiteral("ReplayFast"));
    replayRow->addWidget(m_replay);
    replayRow->addWidget(m_replayFast);
    replayRow->addStretch(1);
    replayLayout->addLayout(replayRow);
    replayLayout->addWidget(note(text::kReplayNote, replayFrame));
    content()->addWidget(replayFrame);

    connect(m_devices, &DeviceList::dropped, this, &SettingsPanel::edited);
    connect(m_devices, &QComboBox::activated, this, &SettingsPanel::edited);
    connect(m_replay, &QPushButton::clicked, this, &SoundcardPage::chooseReplay);
}

void SoundcardPage::setDevices(const QStringList& names, int selected) {
    m_devices->clear();
    m_devices->addItems(names);
    m_devices->setCurrentIndex(selected >= 0 && selected < names.size() ? selected : -1);
}

void SoundcardPage::load(const MonitorSettings& settings) {
    m_loadedDevice = settings.deviceIndex;
    if (m_devices->count() > 0) {
        const int i = settings.deviceIndex;
        m_devices->setCurrentIndex(i >= 0 && i < m_devices->count() ? i : -1);
    }
    for (std::size_t i = 0; i < m_switches.size(); ++i) {
        m_switches[i]->setChecked(settings.decoderEnabled[i] == 1);
    }
}

void SoundcardPage::collect(MonitorSettings& settings) const {
    // Without any device listed (a sound card unplugged for the moment) the
    // saved choice stays as it was instead of becoming "none".
    settings.deviceIndex = m_devices->count() > 0 ? m_devices->currentIndex() : m_loadedDevice;
    for (std::size_t i = 0; i < m_switches.size(); ++i) {
        settings.decoderEnabled[i] = flag(m_switches[i]);
    }
}

void SoundcardPage::chooseReplay() {
    QFileDialog dialog(this, text::kReplayDialogTitle, QString(), text::kReplayDialogFilter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        emit replayRequested(dialog.selectedFiles().constFirst(), m_replayFast->isChecked());
    }
}

// ---- pages filled by other parts of the window --------------------------------

ExtensionPage::ExtensionPage(const QString& pageName, const QString& caption, QWidget* parent)
    : SettingsPanel(pageName, parent) {
    if (!caption.isEmpty()) {
        content()->addWidget(new QLabel(caption, this));
    }
}

// ---- Fzge importieren ----------------------------------------------------------

VehicleImportPage::VehicleImportPage(QWidget* parent) : SettingsPanel(text::kPageNames[2], parent) {
    m_append = new QCheckBox(text::kAppendOnImport, this);
    m_append->setObjectName(QStringLiteral("Check1"));
    content()->addWidget(m_append);
    connect(m_append, &QCheckBox::clicked, this, &SettingsPanel::edited);
}

void VehicleImportPage::load(const MonitorSettings& settings) {
    m_append->setChecked(settings.appendOnImport == 1);
}

void VehicleImportPage::collect(MonitorSettings& settings) const {
    settings.appendOnImport = flag(m_append);
}

// ---- Aktionen ---------------------------------------------------------------------

ActionsPage::ActionsPage(QWidget* parent) : SettingsPanel(text::kPageNames[3], parent) {
    content()->addWidget(new QLabel(text::kActionTitle, this));
    auto* row = new QHBoxLayout;
    m_program = new QLineEdit(this);
    m_program->setObjectName(QStringLiteral("Text1"));
    m_search = new QPushButton(text::kActionSearch, this);
    m_search->setObjectName(QStringLiteral("Command3"));
    row->addWidget(m_program, 1);
    row->addWidget(m_search);
    content()->addLayout(row);
    content()->addSpacing(8);
    content()->addWidget(new QLabel(text::kActionHowHeading, this));
    for (const QString& example : {text::kActionExampleFms, text::kActionExampleZvei, text::kActionExamplePocsag}) {
        auto* label = new QLabel(example, this);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        content()->addWidget(label);
    }
    connect(m_program, &QLineEdit::textEdited, this, &SettingsPanel::edited);
    connect(m_search, &QPushButton::clicked, this, &ActionsPage::search);
}

void ActionsPage::load(const MonitorSettings& settings) {
    m_program->setText(settings.actionProgram);
}

void ActionsPage::collect(MonitorSettings& settings) const {
    settings.actionProgram = m_program->text();
}

void ActionsPage::search() {
    QFileDialog dialog(this, text::kActionDialogTitle);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QFileInfo current(m_program->text());
    if (!m_program->text().isEmpty() && current.dir().exists()) {
        dialog.setDirectory(current.dir());
    }
    // A cancelled dialog leaves the program as it was.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    if (chosen != m_program->text()) {
        m_program->setText(chosen);
        emit edited();
    }
}

// ---- Fahrzeugansicht ----------------------------------------------------------

BoardSizePage::BoardSizePage(QWidget* parent) : SettingsPanel(text::kPageNames[5], parent) {
    for (int index = 1; index <= 4; ++index) {
        auto* option = new QRadioButton(text::kBoardSizes[static_cast<std::size_t>(index - 1)], this);
        option->setObjectName(QStringLiteral("Option2_%1").arg(index));
        m_options[static_cast<std::size_t>(index - 1)] = option;
        m_group.addButton(option, index);
        content()->addWidget(option);
        connect(option, &QRadioButton::clicked, this, &SettingsPanel::edited);
    }
    auto* totalRow = new QHBoxLayout;
    totalRow->addWidget(new QLabel(text::kBoardTotal, this));
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("BoardTotal"));
    totalRow->addWidget(m_total);
    totalRow->addWidget(new QLabel(text::kBoardTotalNote, this));
    totalRow->addStretch(1);
    content()->addLayout(totalRow);
    connect(&m_group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) {
            showTotal();
        }
    });
}

int BoardSizePage::selectedIndex() const {
    const int id = m_group.checkedId();
    return id >= 1 ? id : 4;
}

void BoardSizePage::showTotal() {
    m_total->setText(QString::number(boardSizeFor(selectedIndex()).tableSize()));
}

void BoardSizePage::load(const MonitorSettings& settings) {
    option(effectiveBoardSizeIndex(settings.boardSizeIndex))->setChecked(true);
    showTotal();
}

void BoardSizePage::collect(MonitorSettings& settings) const {
    settings.boardSizeIndex = selectedIndex();
}

// ---- FMS-Statusfarben -----------------------------------------------------------

StatusColoursPage::StatusColoursPage(QWidget* parent) : SettingsPanel(text::kPageNames[6], parent) {
    auto* grid = new QGridLayout;
    for (int status = 1; status <= 9; ++status) {
        auto* field = new ColourField(text::kStatusColourCaption.arg(status), this);
        field->setObjectName(QStringLiteral("Label2_%1").arg(status - 1));
        field->setColour(kDefaultStatusColours[static_cast<std::size_t>(status - 1)]);
        m_fields[static_cast<std::size_t>(status - 1)] = field;
        grid->addWidget(field, (status - 1) / 3, (status - 1) % 3);
        connect(field, &ColourField::edited, this, &SettingsPanel::edited);
    }
    content()->addLayout(grid);
    content()->addWidget(new QLabel(text::kClickFields, this));
}

void StatusColoursPage::load(const MonitorSettings& settings) {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setColour(settings.statusColours[i]);
    }
}

void StatusColoursPage::collect(MonitorSettings& settings) const {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        settings.statusColours[i] = m_fields[i]->colour();
    }
}

// ---- HTML-Export -------------------------------------------------------------------

HtmlExportPage::HtmlExportPage(QWidget* parent) : SettingsPanel(text::kPageNames[7], parent) {
    m_html = new QCheckBox(text::kHtmlExport, this);
    m_html->setObjectName(QStringLiteral("Check2"));
    content()->addWidget(m_html);
    content()->addWidget(note(text::kHtmlAutoCopy, this));
    auto* grid = new QGridLayout;
    for (std::size_t i = 0; i < m_ftp.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("Text2_%1").arg(i));
        if (i == 2) {
            field->setEchoMode(QLineEdit::Password);
        }
        m_ftp[i] = field;
        grid->addWidget(new QLabel(text::kFtpFields[i], this), static_cast<int>(i), 0);
        grid->addWidget(field, static_cast<int>(i), 1);
        connect(field, &QLineEdit::textEdited, this, &SettingsPanel::edited);
    }
    content()->addLayout(grid);
    content()->addWidget(new QLabel(text::kConnectionKindLabel, this));
    const std::array<QString, 2> kinds = {text::kConnectionPermanent, text::kConnectionDialUp};
    for (std::size_t i = 0; i < m_kind.size(); ++i) {
        auto* option = new QRadioButton(kinds[i], this);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        m_kind[i] = option;
        m_kindGroup.addButton(option, static_cast<int>(i));
        content()->addWidget(option);
        connect(option, &QRadioButton::clicked, this, &SettingsPanel::edited);
    }
    auto* tip = new QLabel(QStringLiteral("<b>%1</b>").arg(text::kTip), this);
    content()->addWidget(tip);
    content()->addWidget(note(text::kTipBackground, this));
    connect(m_html, &QCheckBox::clicked, this, &SettingsPanel::edited);
}

void HtmlExportPage::load(const MonitorSettings& settings) {
    m_html->setChecked(settings.htmlExport == 1);
    const std::array<const QString*, 4> values = {&settings.ftpHost, &settings.ftpLogin,
                                                  &settings.ftpPassword, &settings.ftpDirectory};
    for (std::size_t i = 0; i < m_ftp.size(); ++i) {
        m_ftp[i]->setText(*values[i]);
    }
    m_kind[settings.connectionKind == 1 ? 1 : 0]->setChecked(true);
}

void HtmlExportPage::collect(MonitorSettings& settings) const {
    settings.htmlExport = flag(m_html);
    settings.ftpHost = m_ftp[0]->text();
    settings.ftpLogin = m_ftp[1]->text();
    settings.ftpPassword = m_ftp[2]->text();
    settings.ftpDirectory = m_ftp[3]->text();
    settings.connectionKind = m_kind[1]->isChecked() ? 1 : 0;
}

// ---- eigene Anwendung per Winsock ---------------------------------------------

TcpExportPage::TcpExportPage(QWidget* parent) : SettingsPanel(text::kPageNames[8], parent) {
    auto* frame = new QGroupBox(text::kTcpFrame, this);
    auto* layout = new QVBoxLayout(frame);
    m_export = new QCheckBox(text::kTcpExport, frame);
    m_export->setObjectName(QStringLiteral("Check3"));
    layout->addWidget(m_export);
    auto* grid = new QGridLayout;
    m_server = new QLineEdit(frame);
    m_server->setObjectName(QStringLiteral("Text3"));
    m_server->setPlaceholderText(text::kTcpServerHint);
    m_port = new QLineEdit(frame);
    m_port->setObjectName(QStringLiteral("Text4"));
    m_port->setMaximumWidth(100);
    grid->addWidget(new QLabel(text::kTcpServer, frame), 0, 0);
    grid->addWidget(m_server, 0, 1);
    grid->addWidget(new QLabel(text::kTcpServerHint, frame), 0, 2);
    grid->addWidget(new QLabel(text::kTcpPort, frame), 1, 0);
    grid->addWidget(m_port, 1, 1, Qt::AlignLeft);
    layout->addLayout(grid);
    layout->addWidget(new QLabel(text::kTcpFormatsHeading, frame));
    auto* formats = new QLabel(text::kTcpFormats, frame);
    formats->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(formats);
    layout->addWidget(new QLabel(text::kFirewallWarning, frame));
    content()->addWidget(frame);

    connect(m_export, &QCheckBox::clicked, this, &SettingsPanel::edited);
    connect(m_server, &QLineEdit::textEdited, this, &SettingsPanel::edited);
    connect(m_port, &QLineEdit::textEdited, this, &SettingsPanel::edited);
    // The port is kept at 31000 or below while it is typed.
    connect(m_port, &QLineEdit::textChanged, this, [this](const QString& typed) {
        if (leadingNumber(typed) > kMaxTcpPort) {
            m_port->setText(QString::number(kMaxTcpPort));
        }
    });
}

void TcpExportPage::load(const MonitorSettings& settings) {
    m_export->setChecked(settings.tcpExport == 1);
    m_server->setText(settings.tcpServer);
    m_port->setText(QString::number(settings.tcpPort));
}

void TcpExportPage::collect(MonitorSettings& settings) const {
    settings.tcpExport = flag(m_export);
    settings.tcpServer = m_server->text();
    const qint64 port = leadingNumber(m_port->text());
    settings.tcpPort = static_cast<int>(std::clamp<qint64>(port, -32768, kMaxTcpPort));
}

// ---- eigene Anwendung per Win-Messages -------------------------------------------

MessageExportPage::MessageExportPage(QWidget* parent) : SettingsPanel(text::kPageNames[9], parent) {
    auto* frame = new QGroupBox(text::kMessageFrame, this);
    auto* layout = new QVBoxLayout(frame);
    m_export = new QCheckBox(text::kMessageExport, frame);
    m_export->setObjectName(QStringLiteral("Check4"));
    layout->addWidget(m_export);
    auto* row = new QHBoxLayout;
    m_target = new QLineEdit(frame);
    m_target->setObjectName(QStringLiteral("Text5"));
    row->addWidget(new QLabel(text::kMessageTarget, frame));
    row->addWidget(m_target, 1);
    layout->addLayout(row);
    layout->addWidget(new QLabel(text::kMessageFormat, frame));
    content()->addWidget(frame);
    connect(m_export, &QCheckBox::clicked, this, &SettingsPanel::edited);
    connect(m_target, &QLineEdit::textEdited, this, &SettingsPanel::edited);
}

void MessageExportPage::load(const MonitorSettings& settings) {
    m_export->setChecked(settings.messageExport == 1);
    m_target->setText(settings.targetWindowTitle);
}

void MessageExportPage::collect(MonitorSettings& settings) const {
    settings.messageExport = flag(m_export);
    settings.targetWindowTitle = m_target->text();
}

// ---- Info -----------------------------------------------------------------------------

InfoPage::InfoPage(const QString& dataFolder, QWidget* parent) : SettingsPanel(text::kPageNames[11], parent) {
    content()->addWidget(note(text::kInfoProgram, this));
    content()->addWidget(new QLabel(text::kInfoVersion.arg(QApplication::applicationVersion()), this));
    auto* folder = new QLabel(text::kInfoDataFolder.arg(QDir::toNativeSeparators(dataFolder)), this);
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    content()->addWidget(folder);
    content()->addWidget(new QLabel(text::kInfoQt.arg(QString::fromLatin1(qVersion())), this));
}

} // namespace tolvana::gui
