#include "cli/reception_printer.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
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

std::string compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

std::string prefixed(ChannelSide side, const std::string& text) {
    return std::string(1, sideLetter(side)) + "\t" + text;
}

} // namespace

void ReceptionPrinter::write(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), m_out);
    std::fputc('\n', m_out);
    // Standard output is fully buffered in a pipe or a file: without the
    // flush a reading tool would see a reception only kilobytes later, and a
    // decoder stopped by a signal would take its last receptions (and half a
    // line) with it. One write per reception costs nothing.
    std::fflush(m_out);
    ++m_lines;
}

void ReceptionPrinter::fms(ChannelSide side, const FmsTelegram& telegram,
                           const std::string& followUpText, const std::string& rufname,
                           TimePoint time) {
    const std::string line = fmsExportLine(telegram);
    if (!m_json) {
        write(prefixed(side, line));
        return;
    }
    QJsonObject o = base(side, time, "fms");
    o.insert(QStringLiteral("kennung"), QString::fromStdString(telegram.kennung));
    o.insert(QStringLiteral("status"), telegram.status);
    o.insert(QStringLiteral("tki"), telegram.tki);
    o.insert(QStringLiteral("richtung"), telegram.richtung);
    o.insert(QStringLiteral("text"), QString::fromStdString(followUpText));
    o.insert(QStringLiteral("rufname"), QString::fromStdString(rufname));
    o.insert(QStringLiteral("line"), QString::fromStdString(line));
    write(compact(o));
}

void ReceptionPrinter::tone(ChannelSide side, ToneCall tone, TimePoint time) {
    if (!m_json) {
        write(prefixed(side, toneCallText(tone)));
        return;
    }
    QJsonObject o = base(side, time, "tone");
    o.insert(QStringLiteral("tone"), QString::fromLatin1(toneCallText(tone)));
    write(compact(o));
}

void ReceptionPrinter::zvei(ChannelSide side, const std::string& number, const std::string& name,
                            TimePoint time) {
    const std::string line = zveiExportLine(number, name);
    if (!m_json) {
        write(prefixed(side, line));
        return;
    }
    QJsonObject o = base(side, time, "zvei");
    o.insert(QStringLiteral("number"), QString::fromStdString(number));
    o.insert(QStringLiteral("name"), QString::fromStdString(name));
    o.insert(QStringLiteral("line"), QString::fromStdString(line));
    write(compact(o));
}

void ReceptionPrinter::pocsag(ChannelSide side, const PocsagPage& page, const std::string& name,
                              TimePoint time) {
    const std::string line = pocsagExportLine(page.ric, page.function, page.text);
    if (!m_json) {
        write(prefixed(side, line));
        return;
    }
    QJsonObject o = base(side, time, "pocsag");
    o.insert(QStringLiteral("ric"), static_cast<qint64>(page.ric));
    o.insert(QStringLiteral("function"), page.function);
    o.insert(QStringLiteral("text"), QString::fromStdString(page.text));
    o.insert(QStringLiteral("name"), QString::fromStdString(name));
    o.insert(QStringLiteral("line"), QString::fromStdString(line));
    write(compact(o));
}

} // namespace tolvana
