// The upload's widgets as a user works them: the buttons and the list of the
// "HTML-Export" page, the dial-up dialog with its connections, and the way
// through the dialog to the upload and the hang-up after it. NetworkManager
// is a stand-in here; the transfer too, where it is held to look at the
// window while it runs.
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

#include "export/fake_dial_up.h"
#include "export/upload_texts.h"
#include "gui/upload/dial_up_dialog.h"
#include "gui/upload/upload_panel.h"
#include "gui/upload/web_upload.h"
#include "handoff/monitor_state.h"

namespace tolvana::gui::test {

namespace {

QString utf8(const char* text) { return QString::fromUtf8(text); }

void click(QPushButton* button) {
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

/// The messages of a list view over the upload list, without the time.
QStringList shown(const QListView* view) {
    QStringList out;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        out << view->model()->index(row, 0).data().toString().mid(9);
    }
    return out;
}

} // namespace

class UploadWidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const std::optional<DataFolder> folder = DataFolder::open(m_dir->path());
        QVERIFY(folder.has_value());
        m_state = std::make_unique<MonitorState>(*folder);
        m_state->sizeVehicleTable();
        m_window = std::make_unique<QWidget>();
        m_held = false;
        m_transfers = 0;
        auto dialUp = std::make_unique<FakeDialUp>();
        m_dialUp = dialUp.get();
        m_dialUp->connections = {QStringLiteral("Mobilfunk"), QStringLiteral("DSL Einwahl")};
        m_upload = new WebUpload(*m_state, m_window.get(), std::move(dialUp),
                                 [this](const FtpJob&, const std::atomic<bool>& abort) {
                                     while (m_held && !abort) {
                                         QThread::msleep(2);
                                     }
                                     ++m_transfers;
                                     return FtpResult{true, utf8(upload_text::kTransferred)};
                                 });
        m_upload->setMessageSink([this](const QString& title, const QString& text) {
            m_messages << title + QStringLiteral(": ") + text;
        });
        m_panel = m_upload->createPanel(m_window.get());
        m_window->show();
    }

    void cleanup() {
        m_held = false;
        m_window.reset(); // takes the upload and the panel with it
        m_state.reset();
        m_dir.reset();
        m_messages.clear();
    }

    void buttonsReportInTheList() {
        // Nothing configured: "hochladen" and "testen" say what is missing.
        click(m_panel->uploadButton());
        click(m_panel->testButton());
        QCOMPARE(shown(m_panel->list()),
                 QStringList({utf8(upload_text::kNoHost), utf8(upload_text::kTestNoHost)}));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d Datei nicht"))
                    .match(m_panel->list()->model()->index(0, 0).data().toString())
                    .hasMatch());

        // A host and login, but no page yet.
        m_upload->setFieldSource([] {
            return UploadRequest{FtpTarget{QStringLiteral("www.example.org"), QStringLiteral("fw"), {}, {}}, 0};
        });
        click(m_panel->uploadButton());
        QCOMPARE(shown(m_panel->list()).last(), utf8(upload_text::kNoFile));

        click(m_panel->writeButton());
        QCOMPARE(shown(m_panel->list()).last(), utf8(upload_text::kPageWritten));
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("status.html"))));
        click(m_panel->uploadButton());
        QTRY_COMPARE(shown(m_panel->list()).last(), utf8(upload_text::kTransferred));
        QCOMPARE(m_transfers.load(), 1);
        QVERIFY(m_dialUp->calls.isEmpty());
    }

    void busyNoteWhileTheTransferRuns() {
        m_upload->setFieldSource([] {
            return UploadRequest{FtpTarget{QStringLiteral("www.example.org"), QStringLiteral("fw"), {}, {}}, 0};
        });
        click(m_panel->writeButton());
        m_held = true;
        click(m_panel->uploadButton());
        QVERIFY(m_panel->busyNote()->isVisible());
        click(m_panel->uploadButton());
        QCOMPARE(shown(m_panel->list()).last(), utf8(upload_text::kSkipped));
        m_held = false;
        QTRY_VERIFY(!m_panel->busyNote()->isVisible());
        QCOMPARE(shown(m_panel->list()).last(), utf8(upload_text::kTransferred));
    }

    void dialThroughTheDialogThenUploadThenHangUp() {
        m_upload->setFieldSource([] {
            return UploadRequest{FtpTarget{QStringLiteral("www.example.org"), QStringLiteral("fw"), {}, {}}, 1};
        });
        click(m_panel->writeButton());
        m_held = true;
        click(m_panel->uploadButton());
        DialUpDialog* dialog = m_upload->prompt().dialog();
        QVERIFY(dialog != nullptr);
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), utf8(upload_text::kDialTitle));
        QCOMPARE(dialog->entries()->count(), 2);

        // The user picks the second connection and dials it.
        QListWidget* list = dialog->entries();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        click(dialog->connectButton());
        QTRY_VERIFY(m_upload->prompt().dialog() == nullptr); // closed itself once connected
        QTRY_VERIFY(m_panel->busyNote()->isVisible());
        QVERIFY(!m_dialUp->calls.contains(QStringLiteral("hangUp DSL Einwahl")));

        m_held = false;
        QTRY_COMPARE(shown(m_panel->list()).last(), utf8(upload_text::kTransferred));
        QTRY_COMPARE(m_dialUp->calls.last(), QStringLiteral("hangUp DSL Einwahl"));
        QVERIFY(m_dialUp->calls.contains(QStringLiteral("dial DSL Einwahl")));
        QVERIFY(m_messages.isEmpty());
    }

    void dialogWithoutConnectionsOrNetworkManager() {
        m_dialUp->connections.clear();
        {
            DialUpDialog dialog(*m_dialUp);
            QCOMPARE(dialog.status()->text(), utf8(upload_text::kDialNone));
            QVERIFY(!dialog.connectButton()->isEnabled());
        }
        m_dialUp->calls.clear();
        m_dialUp->isAvailable = false;
        m_dialUp->unavailableReason = utf8(upload_text::kNoNetworkManager);
        DialUpDialog dialog(*m_dialUp);
        QCOMPARE(dialog.status()->text(), utf8(upload_text::kNoNetworkManager));
        QVERIFY(!dialog.connectButton()->isEnabled());
        QVERIFY(!m_dialUp->calls.contains(QStringLiteral("entries")));
    }

    void failedDialStaysOpenAndClosingTellsTheUser() {
        m_upload->setFieldSource([] {
            return UploadRequest{FtpTarget{QStringLiteral("www.example.org"), QStringLiteral("fw"), {}, {}}, 1};
        });
        click(m_panel->writeButton());
        m_dialUp->dialSucceeds = false;
        m_dialUp->dialError = QStringLiteral("Error: Connection activation failed: No carrier");
        click(m_panel->uploadButton());
        DialUpDialog* dialog = m_upload->prompt().dialog();
        QVERIFY(dialog != nullptr);
        click(dialog->connectButton());
        QTRY_VERIFY(dialog->connectButton()->isEnabled());
        QCOMPARE(dialog->status()->text(), utf8(upload_text::kDialFailed) + u'\n' + m_dialUp->dialError);
        QVERIFY(dialog->isVisible());

        click(dialog->closeButton());
        QTRY_COMPARE(m_messages, QStringList{utf8(upload_text::kDialFailedTitle) + QStringLiteral(": ") +
                                            utf8(upload_text::kDialFailed)});
        QCOMPARE(shown(m_panel->list()).last(), utf8(upload_text::kDialUpFailedLog));
        QCOMPARE(m_transfers.load(), 0);
        // The failed line never came up: nothing is hung up.
        QVERIFY(!m_dialUp->calls.contains(QStringLiteral("hangUp Mobilfunk")));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MonitorState> m_state;
    std::unique_ptr<QWidget> m_window;
    FakeDialUp* m_dialUp = nullptr;
    WebUpload* m_upload = nullptr;
    UploadPanel* m_panel = nullptr;
    std::atomic<bool> m_held{false};
    std::atomic<int> m_transfers{0};
    QStringList m_messages;
};

} // namespace tolvana::gui::test

QTEST_MAIN(tolvana::gui::test::UploadWidgetsTest)
#include "upload_widgets_test.moc"
