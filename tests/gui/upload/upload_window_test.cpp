// The upload in the whole window, against a real FTP server on 127.0.0.1:
// a five-tone call arrives, the minute timer writes the page and the server
// gets it; "testen" checks the fields as typed, before "speichern".
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "export/ftp_server.h"
#include "export/upload_texts.h"
#include "gui/settings_pages.h"
#include "records/settings.h"
#include "window_rig.h"

namespace tolvana::gui::test {

namespace {

QString utf8(const char* text) { return QString::fromUtf8(text); }

QStringList shown(const QListView* view) {
    QStringList out;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        out << view->model()->index(row, 0).data().toString().mid(9);
    }
    return out;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class UploadWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const QString unavailable = tolvana::test::FtpServer::unavailableReason();
        if (!unavailable.isEmpty()) {
            QSKIP(qPrintable(unavailable));
        }
        m_server = std::make_unique<tolvana::test::FtpServer>();
        QVERIFY(m_server->started());
    }
    void cleanupTestCase() { m_server.reset(); }

    void minuteAfterACallPutsThePageOnTheServer() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        MonitorSettings settings;
        settings.htmlExport = 1;
        settings.ftpHost = m_server->host();
        settings.ftpLogin = QString::fromLatin1(tolvana::test::FtpServer::kLogin);
        settings.ftpPassword = QString::fromLatin1(tolvana::test::FtpServer::kPassword);
        settings.ftpDirectory = QStringLiteral("minute");
        QVERIFY(saveSettings(*DataFolder::open(dir.path()), settings).ok());

        WindowRig rig(dir.path());
        rig.startUp();
        auto* list = rig.find<QListView>(QStringLiteral("List5"));
        const TimePoint now = wallClock();
        rig.monitor().handoff().zveiSequence(ChannelSide::Left, ZveiSequence{"12345"}, now);
        rig.monitor().minuteTick(now + std::chrono::seconds(60));

        QTRY_COMPARE_WITH_TIMEOUT(shown(list), QStringList{utf8(upload_text::kTransferred)}, 20000);
        const QByteArray page = readAll(dir.filePath(QStringLiteral("status.html")));
        QVERIFY(page.contains("12345"));
        QCOMPARE(readAll(m_server->root() + "/minute/status.html"), page);

        // The next minute without a reception uploads nothing.
        rig.monitor().minuteTick(now + std::chrono::seconds(120));
        QCoreApplication::processEvents();
        QCOMPARE(list->model()->rowCount(), 1);
    }

    void testenUsesTheFieldsAsTyped() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        WindowRig rig(dir.path());
        rig.startUp();
        auto* page = rig.window().page<HtmlExportPage>(SettingsPage::HtmlExport);
        QVERIFY(page != nullptr);
        QTest::keyClicks(page->ftpField(0), m_server->host());
        QTest::keyClicks(page->ftpField(1), QString::fromLatin1(tolvana::test::FtpServer::kLogin));
        QTest::keyClicks(page->ftpField(2), QStringLiteral("falsch"));
        auto* test = rig.find<QPushButton>(QStringLiteral("CommandTest"));
        auto* list = rig.find<QListView>(QStringLiteral("List5"));
        QTest::mouseClick(test, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 1, 20000);
        QVERIFY2(shown(list).at(0).startsWith(utf8(upload_text::kTestFailed) + utf8(upload_text::kReasonLogin)),
                 qPrintable(shown(list).at(0)));

        page->ftpField(2)->clear();
        QTest::keyClicks(page->ftpField(2), QString::fromLatin1(tolvana::test::FtpServer::kPassword));
        QTest::mouseClick(test, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 2, 20000);
        QCOMPARE(shown(list).at(1), utf8(upload_text::kTestOk));
        // Nothing was saved by testing.
        QVERIFY(rig.state().settings.ftpHost.isEmpty());
    }

private:
    std::unique_ptr<tolvana::test::FtpServer> m_server;
};

} // namespace tolvana::gui::test

QTEST_MAIN(tolvana::gui::test::UploadWindowTest)
#include "upload_window_test.moc"
