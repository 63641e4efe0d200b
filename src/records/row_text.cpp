#include "records/row_text.h"

#include <QStringList>

#include <array>

#include "records/german_time.h"
#include "records/text_file.h"

namespace tolvana {

namespace {

QString fmsTail(const FmsReception& r, const QDateTime& time) {
    const FmsTelegram& t = r.telegram;
    return QStringList{QString::fromStdString(t.kennung),
                       fmsStatusText(t.status, t.richtung),
                       QString::number(t.tki),
                       fmsDirectionText(t.richtung),
                       gridDateTime(time),
                       QString::fromStdString(r.followUpText)}
        .join(kFieldSeparator);
}

} // namespace

QString fmsDirectionText(int richtung) {
    return richtung == 0 ? QStringLiteral("Fzg->Lst") : QStringLiteral("Lst->Fzg");
}

QString fmsStatusText(int status, int richtung) {
    // Orders from the control room use their own status set, shown by letter.
    static constexpr std::array<const char16_t*, 16> kLetters = {
        u"0", u"A", u"E", u"C", u"F", u"H", u"J", u"L",
        u"P", u"U", u"c", u"d", u"h", u"o", u"u", u"Quittung"};
    if (richtung == 0 || status < 0 || status >= static_cast<int>(kLetters.size())) {
        return QString::number(status);
    }
    return QString::fromUtf16(kLetters[static_cast<std::size_t>(status)]);
}

QString fmsRowKnown(const Vehicle& vehicle, const FmsReception& reception, const QDateTime& time) {
    return vehicle.Rufname + kFieldSeparator + vehicle.Eigenschaft + kFieldSeparator +
           fmsTail(reception, time);
}

QString fmsRowUnknown(const QString& origin, const FmsReception& reception, const QDateTime& time) {
    return QStringLiteral("?") + kFieldSeparator + origin + kFieldSeparator +
           fmsTail(reception, time);
}

QString zveiRowText(const QString& number, const QString& name, const QDateTime& time) {
    return QStringList{number, name, gridDateTime(time)}.join(kFieldSeparator);
}

QString pocsagRowText(const QString& number, int function, const QString& name,
                      const QDateTime& time, const QString& text) {
    return QStringList{number, QString::number(function), name, gridDateTime(time), text}.join(
        kFieldSeparator);
}

} // namespace tolvana
