#include "gui/board/field_look.h"

#include "records/colour.h"
#include "records/settings.h"
#include "records/vehicle_table.h"

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

QColor textColourOn(const QColor& background) {
    // Relative luminance after ITU-R BT.601, enough to pick black or white.
    const int luma = (299 * background.red() + 587 * background.green() + 114 * background.blue()) / 1000;
    return luma < 110 ? QColor(Qt::white) : QColor(Qt::black);
}

} // namespace tolvana
