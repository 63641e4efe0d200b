// The "MQTT" settings page driven as a user drives it: what it shows from the
// files, what typing changes (and announces for the red "speichern"), the
// port following the TLS switch, a station name that would break the topics
// shown at once and refused on saving, and the files it writes.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "gui/mqtt/mqtt_settings_page.h"

namespace tolvana {

class MqttSettingsPageTest : public QObject {
    Q_OBJECT

private:
    template <typename Widget> static Widget* field(MqttSettingsPage& page, const char* name) {
        auto* w = page.findChild<Widget*>(QString::fromLatin1(name));
        Q_ASSERT(w != nullptr);
        return w;
    }
    static QLineEdit* edit(MqttSettingsPage& page, const char* name) { return field<QLineEdit>(page, name); }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void showsTheFilesAndWritesWhatTheUserTyped() {
        QTemporaryDir temp;
        const DataFolder folder = *DataFolder::open(temp.path());
        QFile ini(mqttSettingsFile(folder));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("enabled=1\nhost=broker.local\nport=1884\nprefix=bos\nstation=Nord\nqueue=300\n");
        ini.close();

        MqttSettingsPage page;
        page.show();
        QSignalSpy changed(&page, &MqttSettingsPage::changed);
        QVERIFY(page.load(folder).ok());
        QCOMPARE(changed.count(), 0);
        auto* enabled = field<QCheckBox>(page, "enabled");
        QVERIFY(enabled->isChecked());
        QLineEdit* host = edit(page, "host");
        QCOMPARE(host->text(), QStringLiteral("broker.local"));
        QCOMPARE(field<QSpinBox>(page, "port")->value(), 1884);
        QVERIFY(field<QLabel>(page, "problem")->isHidden()); // no problem shown
        const QString topics = field<QLabel>(page, "topics")->text();
        QVERIFY2(topics.contains(QStringLiteral("bos/Nord/fms")), qPrintable(topics));

        QLineEdit* user = edit(page, "username");
        QLineEdit* password = edit(page, "password");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QTest::keyClicks(user, QStringLiteral("leitstelle"));
        QTest::keyClicks(password, QStringLiteral("geheim"));
        QVERIFY(changed.count() > 0);
        QVERIFY(page.save(folder).ok());

        MqttSettings saved;
        QVERIFY(loadMqttSettings(folder, saved).ok());
        QCOMPARE(saved.username, QStringLiteral("leitstelle"));
        QCOMPARE(saved.password, QStringLiteral("geheim"));
        QCOMPARE(saved.host, QStringLiteral("broker.local"));
        QCOMPARE(saved.queueLimit, 300);
        struct stat st {};
        QCOMPARE(::stat(mqttPasswordFile(folder).toLocal8Bit().constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777U, 0600U);
    }

    void tlsSwitchMovesTheStandardPortOnly() {
        MqttSettingsPage page;
        auto* tls = field<QCheckBox>(page, "tls");
        QSpinBox* port = field<QSpinBox>(page, "port");
        QCOMPARE(port->value(), 1883);
        QVERIFY(!edit(page, "caFile")->isEnabled()); // CA file only with TLS
        QTest::mouseClick(tls, Qt::LeftButton);
        QCOMPARE(port->value(), 8883);
        QVERIFY(edit(page, "caFile")->isEnabled());
        QTest::mouseClick(tls, Qt::LeftButton);
        QCOMPARE(port->value(), 1883);
        port->setValue(9001);
        QTest::mouseClick(tls, Qt::LeftButton);
        QCOMPARE(port->value(), 9001); // a port of the user's own stays
    }

    void stationThatWouldBreakTheTopicsIsShownAndNotSaved() {
        QTemporaryDir temp;
        const DataFolder folder = *DataFolder::open(temp.path());
        MqttSettingsPage page;
        page.show();
        QVERIFY(page.save(folder).ok());
        const QByteArray before = read(mqttSettingsFile(folder));

        QLineEdit* station = edit(page, "station");
        QTest::keyClicks(station, QStringLiteral("Nord/Ost"));
        QVERIFY2(page.problem().contains(QStringLiteral("Stationsname")), qPrintable(page.problem()));
        QVERIFY(field<QLabel>(page, "problem")->isVisible());
        const FileResult refused = page.save(folder);
        QVERIFY(!refused.ok());
        QVERIFY(refused.error().contains(QStringLiteral("Stationsname")));
        QCOMPARE(read(mqttSettingsFile(folder)), before);

        station->clear();
        QTest::keyClicks(station, QStringLiteral("Nord-Ost"));
        QVERIFY(page.problem().isEmpty());
        QVERIFY(page.save(folder).ok());
        QVERIFY(read(mqttSettingsFile(folder)).contains("station=Nord-Ost\n"));
    }
};

} // namespace tolvana

QTEST_MAIN(tolvana::MqttSettingsPageTest)
#include "mqtt_settings_page_test.moc"
