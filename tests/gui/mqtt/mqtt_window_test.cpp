// The "MQTT" page in the window against a real broker: the export starts
// from mqtt.ini with the window, a reception the hand-off passes on reaches
// the broker with its station, and a station typed on the page and stored
// with "speichern" is written to mqtt.ini and used at once.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

#include "gui/mqtt/mqtt_settings_page.h"
#include "gui/settings_tab.h"
#include "mqtt_broker.h"
#include "window_rig.h"

namespace tolvana::gui::test {

using tolvana::test::Broker;
using tolvana::test::Received;
using tolvana::test::Subscriber;

class MqttWindowTest : public QObject {
    Q_OBJECT

private:
    static bool arrived(const Subscriber& s, const std::string& topic) {
        for (const Received& r : s.messages()) {
            if (r.topic == topic) {
                return true;
            }
        }
        return false;
    }

private slots:
    void pageStartsTheExportAndSpeichernRestartsItUnderTheNewStation() {
        if (tolvana::test::mosquittoBinary().empty()) {
            QSKIP("the Mosquitto broker is not installed (tools/install-deps.sh installs it)");
        }
        Broker broker;
        std::string error;
        QVERIFY2(broker.start(&error), error.c_str());
        Subscriber dashboard(broker.port());
        QVERIFY(dashboard.subscribe("tolvana/#"));

        QTemporaryDir temp;
        QFile ini(temp.path() + "/mqtt.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("enabled=1\nhost=127.0.0.1\nport=" + QByteArray::number(broker.port()) + "\nstation=Nord\n");
        ini.close();

        WindowRig rig(temp.path());
        rig.startUp();
        SettingsTab* settings = rig.window().settingsTab();
        const int index = settings->pageCount() - 1;
        QCOMPARE(settings->pageList()->item(index)->text(), QStringLiteral("MQTT"));
        settings->selectPage(index);
        auto* page = rig.window().findChild<MqttSettingsPage*>();
        QVERIFY(page != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(page->connectionReport().contains(QStringLiteral("connected to")), 15000);

        rig.monitor().handoff().pocsagPage(ChannelSide::Left, PocsagPage{1234567, 3, "Probealarm"},
                                           wallClock());
        QTRY_VERIFY_WITH_TIMEOUT(arrived(dashboard, "tolvana/Nord/pocsag"), 15000);

        auto* station = page->findChild<QLineEdit*>(QStringLiteral("station"));
        station->selectAll();
        QTest::keyClicks(station, QStringLiteral("Sued"));
        QVERIFY(settings->unsaved());
        QTest::mouseClick(settings->saveButton(), Qt::LeftButton);
        QVERIFY(!settings->unsaved());
        MqttSettings saved;
        QVERIFY(loadMqttSettings(rig.monitor().folder(), saved).ok());
        QCOMPARE(saved.station, QStringLiteral("Sued"));
        QTRY_VERIFY_WITH_TIMEOUT(arrived(dashboard, "tolvana/Nord/online") &&
                                     page->connectionReport().contains(QStringLiteral("tolvana/Sued")),
                                 15000);
        rig.monitor().handoff().zveiSequence(ChannelSide::Right, ZveiSequence{"12345"}, wallClock());
        QTRY_VERIFY_WITH_TIMEOUT(arrived(dashboard, "tolvana/Sued/zvei"), 15000);
    }
};

} // namespace tolvana::gui::test

QTEST_MAIN(tolvana::gui::test::MqttWindowTest)
#include "mqtt_window_test.moc"
