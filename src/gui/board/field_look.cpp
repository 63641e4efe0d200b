#include "gui/board/field_look.h"

#include "records/colour.h"
#include "records/settings.h"
#include "records/vehicle_table.h"

#include <QFontMetrics>

#include <algorithm>

namespace tolvana {

namespace {

// An FMS identity is always eight characters (organisation, state, place
// and vehicle digits); anything else is no FMS vehicle.
constexpr qsizetype kKennungLength = 8;

} // namespace

QColor paintedColour(quint32 stored) {
    const quint32 c = displayColour(stored);
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

FieldLook fieldLookOf(const Vehicle& vehicle, const std::array<quint32, 9>& statusColours) {
    FieldLook look;
    if (vehicle.Kennung.size() == kKennungLength) {
        look.text = vehicle.Rufname;
        if (vehicle.Status >= 1 && vehicle.Status <= static_cast<int>(statusColours.size())) {
            look.kind = FieldKind::Vehicle;
            look.fill = paintedColour(statusColours[static_cast<std::size_t>(vehicle.Status - 1)]);
        } else {
            look.kind = FieldKind::VehicleWithoutColour;
            look.fill = kFieldLightGrey;
        }
        look.second = kFieldLightGrey;
    } else if (!vehicle.Rufname.isEmpty()) {
        look.kind = FieldKind::Named;
        look.text = vehicle.Rufname;
        look.fill = kFieldSilver;
        look.second = kFieldSilver;
    } else {
        look.kind = FieldKind::Empty;
        look.fill = kFieldSilver;
        look.second = kFieldEmptyLight;
    }
    return look;
}

QFont fieldFont(int boardSizeIndex, const QFont& base) {
    QFont font(base);
    switch (effectiveBoardSizeIndex(boardSizeIndex)) {
    case 1:
        font.setPointSize(12);
        font.setBold(true);
        break;
    case 3:
        font.setPointSize(10);
        font.setBold(true);
        break;
    default:
        font.setPointSize(10);
        font.setBold(false);
        break;
    }
    return font;
}

QFont namedFieldFont(const QFont& base) {
    QFont font(base);
    font.setPointSize(8);
    font.setBold(false);
    return font;
}

QFont fittedFieldFont(const QFont& font, const QRect& space, const QString& text) {
    constexpr double kSmallest = 6.0;
    QFont fitted(font);
    while (fitted.pointSizeF() > kSmallest) {
        const QRect needed =
            QFontMetrics(fitted).boundingRect(space, Qt::AlignCenter | Qt::TextWordWrap, text);
        if (needed.height() <= space.height() && needed.width() <= space.width()) {
            break;
        }
        fitted.setPointSizeF(std::max(kSmallest, fitted.pointSizeF() - 1.0));
    }
    return fitted;
}

QColor textColourOn(const QColor& background) {
    // Relative luminance after ITU-R BT.601, enough to pick black or white.
    const int luma = (299 * background.red() + 587 * background.green() + 114 * background.blue()) / 1000;
    return luma < 110 ? QColor(Qt::white) : QColor(Qt::black);
}

} // namespace tolvana
