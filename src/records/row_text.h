// The row texts of the reception lists, which are also the daily log lines:
// cells joined by TAB, the time in the fixed German form.
//
//   FMS, known vehicle:   Rufname | Eigenschaft | Kennung | Status | TKI | Rtg | Zeit | Text
//   FMS, unknown vehicle: "?" | organisation + " " + federal state | Kennung | ... as above
//   ZVEI:                 Nummer | Name | Zeit
//   POCSAG:               Nummer | Funktion | Name | Zeit | Text
//
// The hand-offs look the values up and pass them in; nothing here decides.
#pragma once

#include <QDateTime>
#include <QString>

#include "decoders/common/types.h"
#include "records/vehicle_table.h"

namespace tolvana {

/// "Fzg->Lst" (richtung 0, vehicle to control room) or "Lst->Fzg" (1).
QString fmsDirectionText(int richtung);
/// The status as the list shows it: its number from a vehicle, the letter of
/// the control room's status set towards a vehicle (0, A, E, C, F, H, J, L,
/// P, U, c, d, h, o, u, "Quittung").
QString fmsStatusText(int status, int richtung);

/// Row of a telegram from a vehicle found in the vehicle table.
QString fmsRowKnown(const Vehicle& vehicle, const FmsReception& reception, const QDateTime& time);
/// Row of a telegram from a vehicle not in the table: "?" and its origin
/// (organisation and federal state names with their padding, joined by a blank).
QString fmsRowUnknown(const QString& origin, const FmsReception& reception, const QDateTime& time);

QString zveiRowText(const QString& number, const QString& name, const QDateTime& time);
QString pocsagRowText(const QString& number, int function, const QString& name,
                      const QDateTime& time, const QString& text);

} // namespace tolvana
