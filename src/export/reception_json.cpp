#include "export/reception_json.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QString>

#include "export/export_line.h"

namespace tolvana {

namespace {

QString isoLocal(TimePoint time) {
    return QDateTime::fromMSecsSinceEpoch(time.time_since_epoch().count())
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QJsonObject base(ChannelSide side, TimePoint time, const char* kind) {
    QJsonObject o;
    o.insert(QStringLiteral("channel"), QString(QChar::fromLatin1(sideLetter(side))));
    o.insert(QStringLiteral("time"), isoLocal(time));
    o.insert(QStringLiteral("kind"), QString::fromLatin1(kind));
    return o;
}

} // namespace

QJsonObject fmsJson(ChannelSide side, const FmsTelegram& telegram, const std::string& followUpText,
                    const std::string& rufname, TimePoint time) {
    QJsonObject o = base(side, time, "fms");
    o.insert(QStringLiteral("kennung"), QString::fromStdString(telegram.kennung));
    o.insert(QStringLiteral("status"), telegram.status);
    o.insert(QStringLiteral("tki"), telegram.tki);
    o.insert(QStringLiteral("richtung"), telegram.richtung);
    o.insert(QStringLiteral("text"), QString::fromStdString(followUpText));
    o.insert(QStringLiteral("rufname"), QString::fromStdString(rufname));
    o.insert(QStringLiteral("line"), QString::fromStdString(fmsExportLine(telegram)));
    return o;
}

QJsonObject toneJson(ChannelSide side, ToneCall tone, TimePoint time) {
    QJsonObject o = base(side, time, "tone");
    o.insert(QStringLiteral("tone"), QString::fromLatin1(toneCallText(tone)));
    return o;
}

QJsonObject zveiJson(ChannelSide side, const std::string& number, const std::string& name,
                     TimePoint time) {
    QJsonObject o = base(side, time, "zvei");
    o.insert(QStringLiteral("number"), QString::fromStdString(number));
    o.insert(QStringLiteral("name"), QString::fromStdString(name));
    o.insert(QStringLiteral("line"), QString::fromStdString(zveiExportLine(number, name)));
    return o;
}

QJsonObject pocsagJson(ChannelSide side, const PocsagPage& page, const std::string& name,
                       TimePoint time) {
    QJsonObject o = base(side, time, "pocsag");
    o.insert(QStringLiteral("ric"), static_cast<qint64>(page.ric));
    o.insert(QStringLiteral("function"), page.function);
    o.insert(QStringLiteral("text"), QString::fromStdString(page.text));
    o.insert(QStringLiteral("name"), QString::fromStdString(name));
    o.insert(QStringLiteral("line"),
             QString::fromStdString(pocsagExportLine(page.ric, page.function, page.text)));
    return o;
}

std::string compactJson(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace tolvana
