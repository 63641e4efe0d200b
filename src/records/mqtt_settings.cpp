#include "records/mqtt_settings.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QSysInfo>

#include "records/text_file.h"

namespace tolvana {

namespace {

constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr auto kOthersBits = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                             QFileDevice::WriteOther | QFileDevice::ExeOther;

QString settingsName() {
    return QStringLiteral("mqtt.ini");
}

bool flagValue(const QString& value, bool* ok) {
    if (value == QLatin1String("1") || value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        *ok = true;
        return true;
    }
    *ok = value == QLatin1String("0") || value.isEmpty() ||
          value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
    return false;
}

QString flagText(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

// Characters that a topic level cannot hold: the wildcards, the level
// separator (where only one level is meant), NUL and other control characters.
bool badTopicCharacter(QChar c, bool slashAllowed) {
    return c == u'+' || c == u'#' || (!slashAllowed && c == u'/') || c.unicode() < 0x20 ||
           c.unicode() == 0x7F;
}

QString topicProblem(const QString& text, const QString& caption, bool slashAllowed) {
    if (text.isEmpty()) {
        return {};
    }
    for (const QChar c : text) {
        if (badTopicCharacter(c, slashAllowed)) {
            return QStringLiteral("%1 darf die Zeichen + # %2und Steuerzeichen nicht enthalten.")
                .arg(caption, slashAllowed ? QString() : QStringLiteral("/ "));
        }
    }
    if (slashAllowed && (text.startsWith(u'/') || text.endsWith(u'/') ||
                         text.contains(QLatin1String("//")))) {
        return QStringLiteral("%1 darf nicht mit \u201E/\u201C beginnen oder enden und keine leere "
                              "Ebene (\u201E//\u201C) enthalten.")
            .arg(caption);
    }
    return {};
}

FileResult writeBytes(const QString& path, const QByteArray& bytes, bool ownerOnly) {
    QSaveFile file(path);
    const auto fail = [&](const QString& reason) {
        return FileResult::failure(QStringLiteral("Die Datei %1 kann nicht gespeichert werden: %2. "
                                                  "Die bisherige Fassung bleibt erhalten.")
                                       .arg(quotedName(displayPath(path)), reason));
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return fail(file.errorString());
    }
    // The password goes into a file that nobody else can open: its mode is
    // set before the first byte is written.
    if (ownerOnly && !file.setPermissions(kOwnerOnly)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit()) {
        return fail(file.errorString());
    }
    return {};
}

} // namespace

QString mqttSettingsFile(const DataFolder& folder) {
    return folder.root() + QStringLiteral("/mqtt.ini");
}

QString mqttPasswordFile(const DataFolder& folder) {
    return folder.root() + QStringLiteral("/mqtt.password");
}

FileResult loadMqttSettings(const DataFolder& folder, MqttSettings& settings) {
    MqttSettings loaded;
    FileResult result;
    const QString path = mqttSettingsFile(folder);
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            settings = loaded;
            return FileResult::failure(QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2")
                                           .arg(quotedName(displayPath(path)), file.errorString()));
        }
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QString line = lines[i];
            if (line.endsWith(u'\r')) {
                line.chop(1);
            }
            const QString trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith(u'#') || trimmed.startsWith(u';')) {
                continue;
            }
            const auto warn = [&](const QString& why) {
                result.addWarning(
                    QStringLiteral("%1, Zeile %2: %3").arg(settingsName()).arg(i + 1).arg(why));
            };
            const qsizetype eq = trimmed.indexOf(u'=');
            if (eq < 0) {
                warn(QStringLiteral("kein \u201EName=Wert\u201C, \u00FCbergangen"));
                continue;
            }
            const QString key = trimmed.left(eq).trimmed().toLower();
            const QString value = trimmed.mid(eq + 1).trimmed();
            bool ok = true;
            const auto number = [&](int& field, int low, int high) {
                const int n = value.toInt(&ok);
                if (!ok || n < low || n > high) {
                    warn(QStringLiteral("%1 muss eine Zahl von %2 bis %3 sein, \u00FCbergangen")
                             .arg(key)
                             .arg(low)
                             .arg(high));
                    return;
                }
                field = n;
            };
            const auto flag = [&](bool& field) {
                const bool v = flagValue(value, &ok);
                if (!ok) {
                    warn(QStringLiteral("%1 muss 0 oder 1 sein, \u00FCbergangen").arg(key));
                    return;
                }
                field = v;
            };
            if (key == QLatin1String("enabled")) {
                flag(loaded.enabled);
            } else if (key == QLatin1String("host")) {
                loaded.host = value;
            } else if (key == QLatin1String("port")) {
                number(loaded.port, 1, 65535);
            } else if (key == QLatin1String("tls")) {
                flag(loaded.tls);
            } else if (key == QLatin1String("cafile")) {
                loaded.caFile = value;
            } else if (key == QLatin1String("certfile")) {
                loaded.certFile = value;
            } else if (key == QLatin1String("keyfile")) {
                loaded.keyFile = value;
            } else if (key == QLatin1String("username")) {
                loaded.username = value;
            } else if (key == QLatin1String("prefix")) {
                loaded.prefix = value;
            } else if (key == QLatin1String("station")) {
                loaded.station = value;
            } else if (key == QLatin1String("queue")) {
                number(loaded.queueLimit, 1, kMqttMaxQueue);
            } else {
                warn(QStringLiteral("unbekannte Einstellung \u201E%1\u201C, \u00FCbergangen").arg(key));
            }
        }
    }

    const QString passwordPath = mqttPasswordFile(folder);
    QFile passwordFile(passwordPath);
    if (passwordFile.exists()) {
        if (!passwordFile.open(QIODevice::ReadOnly)) {
            settings = loaded;
            result.merge(FileResult::failure(
                QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2")
                    .arg(quotedName(displayPath(passwordPath)), passwordFile.errorString())));
            return result;
        }
        if ((passwordFile.permissions() & kOthersBits) != 0) {
            result.addWarning(QStringLiteral("%1 ist auch f\u00FCr andere lesbar; bitte mit "
                                             "\u201Echmod 600\u201C sch\u00FCtzen")
                                  .arg(quotedName(displayPath(passwordPath))));
        }
        QString password = QString::fromUtf8(passwordFile.readAll());
        const qsizetype end = password.indexOf(u'\n');
        if (end >= 0) {
            password.truncate(end);
        }
        if (password.endsWith(u'\r')) {
            password.chop(1);
        }
        loaded.password = password;
    }
    settings = loaded;
    return result;
}

QString mqttSettingsProblem(const MqttSettings& s) {
    if (s.port < 1 || s.port > 65535) {
        return QStringLiteral("Der Port muss zwischen 1 und 65535 liegen.");
    }
    if (s.queueLimit < 1 || s.queueLimit > kMqttMaxQueue) {
        return QStringLiteral("Die Warteschlange muss 1 bis %1 Meldungen fassen.").arg(kMqttMaxQueue);
    }
    if (s.enabled && s.host.trimmed().isEmpty()) {
        return QStringLiteral("F\u00FCr den MQTT-Export fehlt der Broker (Hostname).");
    }
    for (const QString* text : {&s.host, &s.caFile, &s.certFile, &s.keyFile, &s.username,
                                &s.password, &s.prefix, &s.station}) {
        if (breaksLines(*text)) {
            return QStringLiteral("Eine MQTT-Einstellung enth\u00E4lt einen Zeilenumbruch.");
        }
    }
    if (s.host.contains(u' ')) {
        return QStringLiteral("Der Hostname des Brokers darf keine Leerzeichen enthalten.");
    }
    if (s.prefix.trimmed().isEmpty()) {
        return QStringLiteral("Das Themen-Pr\u00E4fix darf nicht leer sein.");
    }
    if (QString p = topicProblem(s.prefix, QStringLiteral("Das Themen-Pr\u00E4fix"), true);
        !p.isEmpty()) {
        return p;
    }
    if (QString p = topicProblem(s.station, QStringLiteral("Der Stationsname"), false);
        !p.isEmpty()) {
        return p;
    }
    if (s.keyFile.isEmpty() != s.certFile.isEmpty()) {
        return QStringLiteral("Client-Zertifikat und Schl\u00FCssel geh\u00F6ren zusammen: bitte "
                              "beide angeben oder keines.");
    }
    return {};
}

FileResult saveMqttSettings(const DataFolder& folder, const MqttSettings& s) {
    if (const QString problem = mqttSettingsProblem(s); !problem.isEmpty()) {
        return FileResult::failure(
            QStringLiteral("Die MQTT-Einstellungen wurden nicht gespeichert. ") + problem);
    }
    QString text = QStringLiteral("# MQTT-Export von tolvana; das Passwort steht in mqtt.password\n");
    const auto line = [&](const char* key, const QString& value) {
        text += QLatin1String(key) + u'=' + value + u'\n';
    };
    line("enabled", flagText(s.enabled));
    line("host", s.host.trimmed());
    line("port", QString::number(s.port));
    line("tls", flagText(s.tls));
    line("cafile", s.caFile);
    line("certfile", s.certFile);
    line("keyfile", s.keyFile);
    line("username", s.username);
    line("prefix", s.prefix);
    line("station", s.station);
    line("queue", QString::number(s.queueLimit));

    const QString passwordPath = mqttPasswordFile(folder);
    if (s.password.isEmpty()) {
        if (FileResult removed = removeFileIfPresent(passwordPath); !removed.ok()) {
            return removed;
        }
    } else if (FileResult written = writeBytes(passwordPath, s.password.toUtf8() + '\n', true);
               !written.ok()) {
        return written;
    }
    return writeBytes(mqttSettingsFile(folder), text.toUtf8(), false);
}

QString effectiveStation(const MqttSettings& settings) {
    QString station = settings.station;
    if (station.isEmpty()) {
        station = QSysInfo::machineHostName();
    }
    for (QChar& c : station) {
        if (badTopicCharacter(c, false)) {
            c = u'_';
        }
    }
    return station.isEmpty() ? QStringLiteral("tolvana") : station;
}

} // namespace tolvana
