// The "MQTT" page of the settings tab: shows mqtt.ini and mqtt.password,
// lets the user edit them, and saves them when the settings are saved. It
// says at once, below the fields, what would keep the settings from being
// stored, and shows the topics the receptions will go to.
#pragma once

#include <QString>
#include <QWidget>

#include "records/data_folder.h"
#include "records/file_result.h"
#include "records/mqtt_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace tolvana {

class MqttSettingsPage final : public QWidget {
    Q_OBJECT

public:
    explicit MqttSettingsPage(QWidget* parent = nullptr);

    /// The page's title in the settings tab.
    static QString title();

    void setSettings(const MqttSettings& settings);
    MqttSettings settings() const;

    /// Reads the files of the data folder into the page (defaults without
    /// them). Warnings of the reader come back in the result.
    FileResult load(const DataFolder& folder);
    /// Writes the page's settings; refused (files untouched) while the page
    /// shows a problem.
    FileResult save(const DataFolder& folder);

    /// The problem shown below the fields, empty when there is none.
    QString problem() const;

    /// The export's latest word on its connection (a diagnostic line), shown
    /// at the foot of the page.
    void showConnectionReport(const QString& line);
    QString connectionReport() const;

signals:
    /// The user changed a field (not emitted by setSettings or load).
    void changed();

private:
    void onEdited();
    void onTlsToggled(bool on);
    void refresh();

    QCheckBox* m_enabled;
    QLineEdit* m_host;
    QSpinBox* m_port;
    QCheckBox* m_tls;
    QLineEdit* m_caFile;
    QLineEdit* m_certFile;
    QLineEdit* m_keyFile;
    QLineEdit* m_username;
    QLineEdit* m_password;
    QLineEdit* m_prefix;
    QLineEdit* m_station;
    QSpinBox* m_queue;
    QLabel* m_topics;
    QLabel* m_problem;
    QLabel* m_report;
    bool m_filling = false;
};

} // namespace tolvana
