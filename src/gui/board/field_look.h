// How one board field looks: what its entry in the vehicle table makes of it.
//
//   Kennung of 8 characters   an FMS vehicle: Rufname in the field font, the
//                             field in the colour of its status (1..9)
//     status without colour   (0, or 10 and above from a status file): light
//                             grey, hatched, so that it never passes for a status
//   other Rufname             a heading or a vehicle without FMS: Rufname in
//                             8 pt black on silver; the status is not shown
//   empty Rufname             a free field: silver, no text
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <array>

namespace tolvana {

struct Vehicle;

enum class FieldKind {
    Empty,                ///< no Rufname
    Named,                ///< a Rufname without an 8-character Kennung
    Vehicle,              ///< an FMS vehicle, in its status colour
    VehicleWithoutColour, ///< an FMS vehicle whose status has no colour
};

struct FieldLook {
    FieldKind kind = FieldKind::Empty;
    QString text;
    QColor fill;   ///< the field's colour
    QColor second; ///< the lighter tone of its raised edge
    bool operator==(const FieldLook&) const = default;
};

inline const QColor kFieldSilver = QColor(0xC0, 0xC0, 0xC0);
inline const QColor kFieldEmptyLight = QColor(0xD0, 0xD0, 0xD0);
inline const QColor kFieldLightGrey = QColor(0xE0, 0xE0, 0xE0);
/// The lines over a field whose status has no colour.
inline const QColor kFieldHatch = QColor(0x80, 0x80, 0x80);

/// A stored colour (0x00BBGGRR, or a system colour) as painted.
QColor paintedColour(quint32 stored);

/// The look of the field of `vehicle`; `statusColours[s - 1]` is the colour of status s.
FieldLook fieldLookOf(const Vehicle& vehicle, const std::array<quint32, 9>& statusColours);

/// The font of FMS vehicles by board size: 5 x 10 in 12 pt bold, 10 x 10 in
/// 10 pt bold, the others in 10 pt.
QFont fieldFont(int boardSizeIndex, const QFont& base);
/// Named entries without FMS identity: 8 pt.
QFont namedFieldFont(const QFont& base);

/// `font`, made smaller a point at a time (down to 6 pt) until `text`,
/// wrapped at word ends, fits `space`: a long call name on a small board
/// would otherwise lose its first and last lines to the field's edges.
QFont fittedFieldFont(const QFont& font, const QRect& space, const QString& text);

/// Black or white, whichever reads better on `background`.
QColor textColourOn(const QColor& background);

} // namespace tolvana
