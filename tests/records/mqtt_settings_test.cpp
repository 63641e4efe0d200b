// mqtt.ini and mqtt.password: a round trip keeps every field, the password
// file is its owner's alone (also when it existed with wider rights), a
// password file others can read is used with a warning, settings that would
// break the topics or the file are refused without touching the files, and
// Mon.ini is never touched.
#include <sys/stat.h>

#include <QFile>

#include "records/mqtt_settings.h"
#include "records/records_fixture.h"

namespace tolvana::test {
namespace {

using MqttSettingsTest = RecordsTest;

unsigned modeOf(const QString& path) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0) {
        return 0xFFFF;
    }
    return st.st_mode & 0777U;
}

MqttSettings everyField() {
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("broker.example.org");
    s.port = 8883;
    s.tls = true;
    s.caFile = QStringLiteral("/etc/tolvana/ca.pem");
    s.certFile = QStringLiteral("/etc/tolvana/client.pem");
    s.keyFile = QStringLiteral("/etc/tolvana/client.key");
    s.username = QStringLiteral("leitstelle");
    s.password = QStringLiteral("g=h#eim \u00E4");
    s.prefix = QStringLiteral("bos/kreis-nord");
    s.station = QStringLiteral("Wache S\u00FCd");
    s.queueLimit = 5000;
    return s;
}

TEST_F(MqttSettingsTest, WithoutFilesTheExportIsOff) {
    MqttSettings s = everyField();
    const FileResult r = loadMqttSettings(folder(), s);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.warnings().isEmpty());
    EXPECT_EQ(s, MqttSettings());
    EXPECT_FALSE(s.enabled);
    EXPECT_EQ(s.port, 1883);
    EXPECT_EQ(s.prefix, QStringLiteral("tolvana"));
}

TEST_F(MqttSettingsTest, RoundTripKeepsEveryFieldAndThePasswordIsTheOwnersAlone) {
    writeBytes(folder().monIni(), "0\r\n");
    const QByteArray monIni = readBytes(folder().monIni());
    // A password file left with wide rights is narrowed when it is written.
    writeBytes(mqttPasswordFile(folder()), "alt\n");
    ::chmod(mqttPasswordFile(folder()).toLocal8Bit().constData(), 0644);

    const MqttSettings saved = everyField();
    ASSERT_TRUE(saveMqttSettings(folder(), saved).ok());
    EXPECT_EQ(modeOf(mqttPasswordFile(folder())), 0600U);
    EXPECT_EQ(readBytes(mqttPasswordFile(folder())), QByteArray("g=h#eim \xC3\xA4\n"));
    EXPECT_FALSE(readBytes(mqttSettingsFile(folder())).contains("g=h#eim"));
    EXPECT_EQ(readBytes(folder().monIni()), monIni);

    MqttSettings loaded;
    const FileResult r = loadMqttSettings(folder(), loaded);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.warnings().isEmpty()) << r.warnings().join(u'\n').toStdString();
    EXPECT_EQ(loaded, saved);

    // No password: no password file.
    MqttSettings without = saved;
    without.password.clear();
    ASSERT_TRUE(saveMqttSettings(folder(), without).ok());
    EXPECT_FALSE(QFile::exists(mqttPasswordFile(folder())));
    EXPECT_EQ(filesIn(folder().root()), QStringList({QStringLiteral("Mon.ini"), QStringLiteral("mqtt.ini")}));
}

TEST_F(MqttSettingsTest, HandWrittenFileWithCommentsUnknownKeysAndBadNumbers) {
    writeBytes(mqttSettingsFile(folder()),
               "# written by hand\r\n"
               "enabled = true\r\n"
               "host= 10.0.0.5 \r\n"
               "port=99999\r\n"
               "colour=red\r\n"
               "station=Nord\r\n"
               "no equals sign\r\n"
               "queue=50\r\n");
    writeBytes(mqttPasswordFile(folder()), "secret\r\nsecond line ignored\n");
    ::chmod(mqttPasswordFile(folder()).toLocal8Bit().constData(), 0644);
    MqttSettings s;
    const FileResult r = loadMqttSettings(folder(), s);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(s.enabled);
    EXPECT_EQ(s.host, QStringLiteral("10.0.0.5"));
    EXPECT_EQ(s.port, 1883); // out of range: default kept
    EXPECT_EQ(s.station, QStringLiteral("Nord"));
    EXPECT_EQ(s.queueLimit, 50);
    EXPECT_EQ(s.password, QStringLiteral("secret"));
    const QString warnings = r.warnings().join(u'\n');
    EXPECT_EQ(r.warnings().size(), 4) << warnings.toStdString();
    EXPECT_TRUE(warnings.contains(QStringLiteral("mqtt.ini, Zeile 4"))) << warnings.toStdString();
    EXPECT_TRUE(warnings.contains(QStringLiteral("\u201Ecolour\u201C"))) << warnings.toStdString();
    EXPECT_TRUE(warnings.contains(QStringLiteral("chmod 600"))) << warnings.toStdString();
}

TEST_F(MqttSettingsTest, SettingsThatWouldBreakTopicsOrTheFileAreRefusedUntouched) {
    ASSERT_TRUE(saveMqttSettings(folder(), everyField()).ok());
    const QByteArray ini = readBytes(mqttSettingsFile(folder()));
    const QByteArray password = readBytes(mqttPasswordFile(folder()));

    struct Case {
        const char* what;
        void (*change)(MqttSettings&);
    };
    const Case cases[] = {
        {"station with a level separator", [](MqttSettings& s) { s.station = QStringLiteral("Nord/Ost"); }},
        {"station with a wildcard", [](MqttSettings& s) { s.station = QStringLiteral("Nord+"); }},
        {"prefix with a wildcard", [](MqttSettings& s) { s.prefix = QStringLiteral("bos/#"); }},
        {"prefix with an empty level", [](MqttSettings& s) { s.prefix = QStringLiteral("bos//nord"); }},
        {"empty prefix", [](MqttSettings& s) { s.prefix.clear(); }},
        {"password with a line break", [](MqttSettings& s) { s.password = QStringLiteral("a\nb"); }},
        {"port 0", [](MqttSettings& s) { s.port = 0; }},
        {"queue too large", [](MqttSettings& s) { s.queueLimit = kMqttMaxQueue + 1; }},
        {"no broker", [](MqttSettings& s) { s.host = QStringLiteral(" "); }},
        {"key without certificate", [](MqttSettings& s) { s.certFile.clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MqttSettings s = everyField();
        s.password = QStringLiteral("neu");
        c.change(s);
        EXPECT_FALSE(mqttSettingsProblem(s).isEmpty());
        const FileResult r = saveMqttSettings(folder(), s);
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.error().startsWith(QStringLiteral("Die MQTT-Einstellungen wurden nicht gespeichert.")));
        EXPECT_EQ(readBytes(mqttSettingsFile(folder())), ini);
        EXPECT_EQ(readBytes(mqttPasswordFile(folder())), password);
    }
}

TEST(MqttStation, EmptyStationIsTheHostNameMadeFitForATopic) {
    MqttSettings s;
    s.station = QStringLiteral("Wache 3");
    EXPECT_EQ(effectiveStation(s), QStringLiteral("Wache 3"));
    s.station.clear();
    const QString station = effectiveStation(s);
    EXPECT_FALSE(station.isEmpty());
    EXPECT_FALSE(station.contains(u'/') || station.contains(u'+') || station.contains(u'#'));
}

} // namespace
} // namespace tolvana::test
