#include "records/german_time.h"

#include <QTime>

namespace tolvana {

namespace {

// Numeric patterns only: QDateTime::toString() does not localise digits or
// separators that are spelled out in the pattern.
constexpr QStringView kDate = u"dd.MM.yyyy";
constexpr QStringView kTime = u"HH:mm:ss";
constexpr QStringView kDateTime = u"dd.MM.yyyy HH:mm:ss";

} // namespace

QString gridDateTime(const QDateTime& time) {
    return time.toString(kDateTime);
}

QString longTime(const QDateTime& time) {
    return time.toString(kTime);
}

QString changeTime(const QDateTime& time) {
    // The first six characters of the short date and the first five of the
    // time, cut from the German texts as the status files have always held them.
    return time.date().toString(kDate).left(6) + u' ' + time.time().toString(kTime).left(5);
}

QDateTime parseGridDateTime(const QString& text) {
    return QDateTime::fromString(text.trimmed(), kDateTime);
}

} // namespace tolvana
