#include "gui/mqtt/mqtt_settings_page.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tolvana {

namespace {

// The page's German texts, together.
namespace text {
const char* const kTitle = "MQTT";
const char* const kEnabled = "Empf\u00E4nge per MQTT an einen Broker senden";
const char* const kHost = "Broker (Hostname):";
const char* const kPort = "Port:";
const char* const kTls = "verschl\u00FCsselt (TLS)";
const char* const kCaFile = "CA-Zertifikat:";
const char* const kCaHint = "leer = Zertifikate des Systems";
const char* const kCertFile = "Client-Zertifikat:";
const char* const kKeyFile = "Schl\u00FCssel:";
const char* const kOptional = "optional";
const char* const kUsername = "Benutzer:";
const char* const kPassword = "Passwort:";
const char* const kPasswordHint = "wird in mqtt.password gespeichert, nur f\u00FCr den Besitzer lesbar";
const char* const kPrefix = "Themen-Pr\u00E4fix:";
const char* const kStation = "Stationsname:";
const char* const kStationHint = "leer = Rechnername (%1)";
const char* const kQueue = "Warteschlange (Empf\u00E4nge):";
const char* const kQueueHint = "so viele Empf\u00E4nge werden aufbewahrt, solange der Broker fehlt";
const char* const kTopics = "Themen: %1/fms, %1/zvei, %1/pocsag, %1/tone; Fahrzeugstatus "
                            "(gespeichert) unter %1/vehicle/&lt;Kennung&gt;";
const char* const kReport = "Verbindung: %1";
const char* const kBrowse = "...";
const char* const kChooseFile = "Datei w\u00E4hlen";
} // namespace text

QString tr8(const char* s) {
    return QString::fromUtf8(s);
}

QLineEdit* fileField(QWidget* parent, QFormLayout* form, const char* caption, const char* hint) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* edit = new QLineEdit(row);
    edit->setPlaceholderText(tr8(hint));
    auto* browse = new QPushButton(tr8(text::kBrowse), row);
    browse->setMaximumWidth(32);
    layout->addWidget(edit);
    layout->addWidget(browse);
    QObject::connect(browse, &QPushButton::clicked, edit, [edit, parent] {
        const QString file = QFileDialog::getOpenFileName(parent, tr8(text::kChooseFile), edit->text());
        if (!file.isEmpty()) {
            edit->setText(file);
        }
    });
    form->addRow(tr8(caption), row);
    return edit;
}

} // namespace

QString MqttSettingsPage::title() {
    return tr8(text::kTitle);
}

MqttSettingsPage::MqttSettingsPage(QWidget* parent) : QWidget(parent) {
    auto* outer = new QVBoxLayout(this);
    m_enabled = new QCheckBox(tr8(text::kEnabled), this);
    outer->addWidget(m_enabled);

    auto* form = new QFormLayout();
    outer->addLayout(form);
    m_host = new QLineEdit(this);
    form->addRow(tr8(text::kHost), m_host);
    m_port = new QSpinBox(this);
    m_port->setRange(1, 65535);
    form->addRow(tr8(text::kPort), m_port);
    m_tls = new QCheckBox(tr8(text::kTls), this);
    form->addRow(QString(), m_tls);
    m_caFile = fileField(this, form, text::kCaFile, text::kCaHint);
    m_certFile = fileField(this, form, text::kCertFile, text::kOptional);
    m_keyFile = fileField(this, form, text::kKeyFile, text::kOptional);
    m_username = new QLineEdit(this);
    form->addRow(tr8(text::kUsername), m_username);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setToolTip(tr8(text::kPasswordHint));
    form->addRow(tr8(text::kPassword), m_password);
    m_prefix = new QLineEdit(this);
    form->addRow(tr8(text::kPrefix), m_prefix);
    m_station = new QLineEdit(this);
    m_station->setPlaceholderText(tr8(text::kStationHint).arg(effectiveStation(MqttSettings())));
    form->addRow(tr8(text::kStation), m_station);
    m_queue = new QSpinBox(this);
    m_queue->setRange(1, kMqttMaxQueue);
    m_queue->setToolTip(tr8(text::kQueueHint));
    form->addRow(tr8(text::kQueue), m_queue);

    m_topics = new QLabel(this);
    m_topics->setWordWrap(true);
    m_topics->setTextFormat(Qt::RichText);
    outer->addWidget(m_topics);
    m_problem = new QLabel(this);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #C00000;"));
    outer->addWidget(m_problem);
    m_report = new QLabel(this);
    m_report->setWordWrap(true);
    m_report->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_report->hide();
    outer->addWidget(m_report);
    outer->addStretch(1);

    // Names for tests and accessibility tools.
    m_enabled->setObjectName(QStringLiteral("enabled"));
    m_host->setObjectName(QStringLiteral("host"));
    m_port->setObjectName(QStringLiteral("port"));
    m_tls->setObjectName(QStringLiteral("tls"));
    m_caFile->setObjectName(QStringLiteral("caFile"));
    m_certFile->setObjectName(QStringLiteral("certFile"));
    m_keyFile->setObjectName(QStringLiteral("keyFile"));
    m_username->setObjectName(QStringLiteral("username"));
    m_password->setObjectName(QStringLiteral("password"));
    m_prefix->setObjectName(QStringLiteral("prefix"));
    m_station->setObjectName(QStringLiteral("station"));
    m_queue->setObjectName(QStringLiteral("queue"));
    m_topics->setObjectName(QStringLiteral("topics"));
    m_problem->setObjectName(QStringLiteral("problem"));
    m_report->setObjectName(QStringLiteral("report"));

    setSettings(MqttSettings());

    for (QLineEdit* edit : {m_host, m_caFile, m_certFile, m_keyFile, m_username, m_password, m_prefix,
                            m_station}) {
        connect(edit, &QLineEdit::textChanged, this, &MqttSettingsPage::onEdited);
    }
    for (QSpinBox* spin : {m_port, m_queue}) {
        connect(spin, &QSpinBox::valueChanged, this, &MqttSettingsPage::onEdited);
    }
    connect(m_enabled, &QCheckBox::toggled, this, &MqttSettingsPage::onEdited);
    connect(m_tls, &QCheckBox::toggled, this, &MqttSettingsPage::onTlsToggled);
}

void MqttSettingsPage::setSettings(const MqttSettings& s) {
    m_filling = true;
    m_enabled->setChecked(s.enabled);
    m_host->setText(s.host);
    m_port->setValue(s.port);
    m_tls->setChecked(s.tls);
    m_caFile->setText(s.caFile);
    m_certFile->setText(s.certFile);
    m_keyFile->setText(s.keyFile);
    m_username->setText(s.username);
    m_password->setText(s.password);
    m_prefix->setText(s.prefix);
    m_station->setText(s.station);
    m_queue->setValue(s.queueLimit);
    m_filling = false;
    refresh();
}

MqttSettings MqttSettingsPage::settings() const {
    MqttSettings s;
    s.enabled = m_enabled->isChecked();
    s.host = m_host->text().trimmed();
    s.port = m_port->value();
    s.tls = m_tls->isChecked();
    s.caFile = m_caFile->text().trimmed();
    s.certFile = m_certFile->text().trimmed();
    s.keyFile = m_keyFile->text().trimmed();
    s.username = m_username->text();
    s.password = m_password->text();
    s.prefix = m_prefix->text().trimmed();
    s.station = m_station->text().trimmed();
    s.queueLimit = m_queue->value();
    return s;
}

FileResult MqttSettingsPage::load(const DataFolder& folder) {
    MqttSettings s;
    FileResult result = loadMqttSettings(folder, s);
    setSettings(s);
    return result;
}

FileResult MqttSettingsPage::save(const DataFolder& folder) {
    return saveMqttSettings(folder, settings());
}

QString MqttSettingsPage::problem() const {
    return m_problem->text();
}

void MqttSettingsPage::showConnectionReport(const QString& line) {
    m_report->setText(tr8(text::kReport).arg(line));
    m_report->setVisible(!line.isEmpty());
}

QString MqttSettingsPage::connectionReport() const {
    return m_report->isHidden() ? QString() : m_report->text();
}

void MqttSettingsPage::onTlsToggled(bool on) {
    // The port follows the switch while it is at the other's standard port.
    if (!m_filling) {
        const int from = on ? kMqttDefaultPort : kMqttDefaultTlsPort;
        if (m_port->value() == from) {
            m_port->setValue(on ? kMqttDefaultTlsPort : kMqttDefaultPort);
        }
    }
    onEdited();
}

void MqttSettingsPage::onEdited() {
    if (m_filling) {
        return;
    }
    refresh();
    emit changed();
}

void MqttSettingsPage::refresh() {
    const MqttSettings s = settings();
    const QString problem = mqttSettingsProblem(s);
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    const QString base = (s.prefix.isEmpty() ? QStringLiteral("?") : s.prefix) + u'/' + effectiveStation(s);
    m_topics->setText(tr8(text::kTopics).arg(base.toHtmlEscaped()));
    for (QWidget* w : {static_cast<QWidget*>(m_caFile), static_cast<QWidget*>(m_certFile),
                       static_cast<QWidget*>(m_keyFile)}) {
        w->setEnabled(s.tls);
    }
}

} // namespace tolvana
