#include "gui/upload/dial_up_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "export/dial_up.h"
#include "export/upload_texts.h"

namespace tolvana::gui {

namespace {
QString text(const char* utf8) { return QString::fromUtf8(utf8); }
} // namespace

DialUpDialog::DialUpDialog(DialUpService& dialUp, QWidget* parent) : QDialog(parent), m_dialUp(dialUp) {
    using namespace upload_text;
    setWindowTitle(text(kDialTitle));
    m_entries = new QListWidget(this);
    m_entries->setObjectName(QStringLiteral("List1"));
    m_connect = new QPushButton(text(kDialConnect), this);
    m_connect->setObjectName(QStringLiteral("Command1"));
    // The picture button that closes the dialog.
    m_close = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), text(kDialClose), this);
    m_close->setObjectName(QStringLiteral("Command2"));
    m_status = new QLabel(this);
    m_status->setWordWrap(true);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_connect);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* row = new QHBoxLayout;
    row->addWidget(m_entries, 1);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(text(kDialChoose), this));
    layout->addLayout(row);
    layout->addWidget(m_status);

    connect(m_connect, &QPushButton::clicked, this, &DialUpDialog::dial);
    connect(m_entries, &QListWidget::itemDoubleClicked, this, &DialUpDialog::dial);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_dialUp, &DialUpService::dialFinished, this, &DialUpDialog::dialFinished);

    QString reason;
    if (!m_dialUp.available(&reason)) {
        m_status->setText(reason);
    } else {
        m_entries->addItems(m_dialUp.entries());
        if (m_entries->count() == 0) {
            m_status->setText(text(kDialNone));
        } else {
            m_entries->setCurrentRow(0);
        }
    }
    m_connect->setEnabled(m_entries->count() > 0);
}

void DialUpDialog::dial() {
    const QListWidgetItem* item = m_entries->currentItem();
    if (item == nullptr || !m_dialling.isEmpty()) {
        return;
    }
    m_dialling = item->text();
    // Taken as dialled from here on: a dialog closed while the line is
    // still coming up must take it down again.
    m_dialled = m_dialling;
    m_connect->setEnabled(false);
    m_entries->setEnabled(false);
    m_status->setText(text(upload_text::kDialDialling) + m_dialling);
    m_dialUp.dial(m_dialling);
}

void DialUpDialog::dialFinished(const QString& entry, bool ok, const QString& error) {
    if (entry != m_dialling) {
        return;
    }
    m_dialling.clear();
    if (ok) {
        m_status->setText(text(upload_text::kDialConnected) + entry);
        accept();
        return;
    }
    // Nothing came up, so there is nothing to hang up.
    m_dialled.clear();
    m_status->setText(error.isEmpty() ? text(upload_text::kDialFailed)
                                      : text(upload_text::kDialFailed) + u'\n' + error);
    m_connect->setEnabled(true);
    m_entries->setEnabled(true);
}

WindowDialUpPrompt::WindowDialUpPrompt(DialUpService& dialUp, QWidget* window, MessageSink messages)
    : m_dialUp(dialUp), m_window(window), m_messages(std::move(messages)) {}

void WindowDialUpPrompt::askToDial(std::function<void(const QString& dialled)> done) {
    auto* dialog = new DialUpDialog(m_dialUp, m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done = std::move(done)] { done(dialog->dialled()); });
    m_dialog = dialog;
    // open(), not exec(): no event loop inside the minute timer, and the
    // decoders go on while the user chooses.
    dialog->open();
}

void WindowDialUpPrompt::showDialFailure() {
    const QString title = text(upload_text::kDialFailedTitle);
    const QString message = text(upload_text::kDialFailed);
    if (m_messages) {
        m_messages(title, message);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, title, message, QMessageBox::Ok, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace tolvana::gui
