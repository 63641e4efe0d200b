// "Upload zum Web-Server - Einwählen": the user picks one of the system's
// connections and dials it before the status page goes out.
//
//   Verbindung wählen:
//   +---------------------------+
//   | Mobilfunk                 |   [verbinden]
//   | DSL Einwahl               |
//   +---------------------------+   [schließen]
//   (what happened: dialling, connected, the failure and its reason)
//
// A successful dial closes the dialog, and the upload goes on; a failed one
// leaves it open to try another connection. Without connections (or without
// NetworkManager) the dialog says so and "verbinden" stays disabled.
#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>

#include "export/status_page_upload.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace tolvana {
class DialUpService;
}

namespace tolvana::gui {

class DialUpDialog final : public QDialog {
    Q_OBJECT

public:
    explicit DialUpDialog(DialUpService& dialUp, QWidget* parent = nullptr);

    /// The connection this dialog brought up (empty when none): the upload
    /// hangs it up after its transfer.
    QString dialled() const { return m_dialled; }

    QListWidget* entries() const { return m_entries; }
    QPushButton* connectButton() const { return m_connect; }
    QPushButton* closeButton() const { return m_close; }
    QLabel* status() const { return m_status; }

private:
    void dial();
    void dialFinished(const QString& entry, bool ok, const QString& error);

    DialUpService& m_dialUp;
    QListWidget* m_entries;
    QPushButton* m_connect;
    QPushButton* m_close;
    QLabel* m_status;
    QString m_dialling;
    QString m_dialled;
};

/// Opens the dialog for the upload (window-modal, without blocking the
/// decoders) and shows the failure message box.
class WindowDialUpPrompt final : public DialUpPrompt {
public:
    using MessageSink = std::function<void(const QString& title, const QString& text)>;

    WindowDialUpPrompt(DialUpService& dialUp, QWidget* window, MessageSink messages);

    void askToDial(std::function<void(const QString& dialled)> done) override;
    void showDialFailure() override;

    void setMessageSink(MessageSink messages) { m_messages = std::move(messages); }
    /// The open dialog, if any.
    DialUpDialog* dialog() const { return m_dialog; }

private:
    DialUpService& m_dialUp;
    QPointer<QWidget> m_window;
    MessageSink m_messages;
    QPointer<DialUpDialog> m_dialog;
};

} // namespace tolvana::gui
