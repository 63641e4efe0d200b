// The standard pages of the "Einstellungen" tab, each with the option
// controls it shows. Object names are the controls' own names (Check5,
// Text4, Option2, ...), which tests and the manual refer to.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <array>

#include "gui/settings_panel.h"

namespace tolvana::gui {

class ColourField;

/// The device list: opening it counts as a change of the options.
class DeviceList final : public QComboBox {
    Q_OBJECT

public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void dropped();
};

/// "Soundkarte": the input device, the six decoder switches, and the replay
/// of a recording through the same decoders.
class SoundcardPage final : public SettingsPanel {
    Q_OBJECT

public:
    explicit SoundcardPage(QWidget* parent = nullptr);
    void load(const MonitorSettings& settings) override;
    void collect(MonitorSettings& settings) const override;

    /// Fills the device list (position = deviceIndex) and selects `selected`
    /// when it is a position of the list.
    void setDevices(const QStringList& names, int selected);
    DeviceList* deviceList() const { return m_devices; }
    /// Indexed by DecoderSwitch (Check5 0..5).
    QCheckBox* decoderSwitch(int index) const { return m_switches.at(static_cast<std::size_t>(index)); }
    QPushButton* replayButton() const { return m_replay; }
    QCheckBox* replayFast() const { return m_replayFast; }

signals:
    void replayRequested(const QString& path, bool fast);

private:
    void chooseReplay();

    DeviceList* m_devices;
    std::array<QCheckBox*, 6> m_switches{};
    QPushButton* m_replay;
    QCheckBox* m_replayFast;
    int m_loadedDevice = 0;
};

/// A page whose controls other parts of the window bring (the call-name
/// editor, "Status für alle auf"): its own content is a caption at most.
class ExtensionPage final : public SettingsPanel {
    Q_OBJECT

public:
    ExtensionPage(const QString& pageName, const QString& caption, QWidget* parent = nullptr);
};

/// "Fzge importieren": appendOnImport (the import button comes with the board).
class VehicleImportPage final : public SettingsPanel {
    Q_OBJECT

public:
    explicit VehicleImportPage(QWidget* parent = nullptr);
    void load(const MonitorSettings& settings) override;
    void collect(MonitorSettings& settings) const override;
    QCheckBox* appendOnImport() const { return m_append; }

private:
    QCheckBox* m_append;
};

/// "Aktionen": the program started on each reception, with "suche".
class ActionsPage final : public SettingsPanel {
    Q_OBJECT

public:
    explicit ActionsPage(QWidget* parent = nullptr);
    void load(const MonitorSettings& settings) override;
    void collect(MonitorSettings& settings) const override;
    QLineEdit* program() const { return m_program; }
    QPushButton* searchButton() const { return m_search; }

private:
    void search();

    QLineEdit* m_program;
    QPushButton* m_search;
};

/// "Fahrzeugansicht": the size of a board page.
class BoardSizePage final : public SettingsPanel {
    Q_OBJECT

public:
    explicit BoardSizePage(QWidget* parent = nullptr);
    void load(const MonitorSettings& settings) override;
    void collect(MonitorSettings& settings) const override;
    /// boardSizeIndex 1..4.
    QRadioButton* option(int boardSizeIndex) const {
        return m_options.at(static_cast<std::size_t>(boardSizeIndex - 1));
    }
    int selectedIndex() const;
    QLabel* total() const { return m_total; }

private:
    void showTotal();

    std::array<QRadioButton*, 4> m_options{};
    QButtonGroup m_group;
    QLabel* m_total;
};

/// "FMS-Statusfarben": the nine colour fields.
class StatusColoursPage final : public SettingsPanel {
    Q_OBJECT

public:
    explicit StatusColoursPage(QWidget* parent = nullptr);
    void load(const MonitorSettings& settings) override;
    void collect(MonitorSettings& settings) const override;
    /// Status 1..9.
    ColourField* field(int status) const { return m_fields.at(static_cast<std::size_t>(status - 1)); }

private:
    std::array<ColourField*, 9> m_fields{};
};

/// "HTML-Export": the page and how it reaches the web server.
class HtmlExportPage final : public SettingsPanel {
    Q_OBJECT

public:
    explicit HtmlExportPage(QWidget* parent = nullptr);
    void load(const MonitorSettings& settings) override;
    void collect(MonitorSettings& settings) const override;
    QCheckBox* htmlExport() const { return m_html; }
    /// 0 host, 1 login, 2 password, 3 folder (Text2 0..3).
    QLineEdit* ftpField(int index) const { return m_ftp.at(static_cast<std::size_t>(index)); }
    /// 0 permanent, 1 dial-up (Option1 0..1).
    QRadioButton* connectionKind(int index) const { return m_kind.at(static_cast<std::size_t>(index)); }

private:
    QCheckBox* m_html;
    std::array<QLineEdit*, 4> m_ftp{};
    std::array<QRadioButton*, 2> m_kind{};
    QButtonGroup m_kindGroup;
};

/// "eigene Anwendung per Winsock": the TCP export.
class TcpExportPage final : public SettingsPanel {
    Q_OBJECT

public:
    explicit TcpExportPage(QWidget* parent = nullptr);
    void load(const MonitorSettings& settings) override;
    void collect(MonitorSettings& settings) const override;
    QCheckBox* tcpExport() const { return m_export; }
    QLineEdit* server() const { return m_server; }
    QLineEdit* port() const { return m_port; }

private:
    QCheckBox* m_export;
    QLineEdit* m_server;
    QLineEdit* m_port;
};

/// "eigene Anwendung per Win-Messages": the local-message export.
class MessageExportPage final : public SettingsPanel {
    Q_OBJECT

public:
    explicit MessageExportPage(QWidget* parent = nullptr);
    void load(const MonitorSettings& settings) override;
    void collect(MonitorSettings& settings) const override;
    QCheckBox* messageExport() const { return m_export; }
    QLineEdit* target() const { return m_target; }

private:
    QCheckBox* m_export;
    QLineEdit* m_target;
};

/// "Info": what the program is and where its files are.
class InfoPage final : public SettingsPanel {
    Q_OBJECT

public:
    InfoPage(const QString& dataFolder, QWidget* parent = nullptr);
};

/// The highest port the port field accepts; a larger number typed into it
/// becomes this one.
inline constexpr int kMaxTcpPort = 31000;

} // namespace tolvana::gui
