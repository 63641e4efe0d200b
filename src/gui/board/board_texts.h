// The German texts of the status board, its editors and its settings pages,
// kept together so that a caption is changed in one place.
#pragma once

#include <QString>

namespace tolvana::board_texts {

// Titles of message and input boxes.
inline const QString kProgramTitle = QStringLiteral("tolvana");
inline const QString kAttention = QStringLiteral("Achtung!");

// The board.
inline const QString kFieldOccupied = QStringLiteral("Feld ist besetzt");
inline const QString kEmptyFieldCannotMove =
    QStringLiteral("Leeres Feld kann nicht verschoben werden");
inline const QString kMoveHere = QStringLiteral("Fahrzeug nach hier verschieben ?");
inline const QString kSamePage = QStringLiteral("Verschieben in gleiche Ebene nicht m\u00F6glich");
inline const QString kNewPageName = QStringLiteral("Neuen Namen eingeben:");
/// Title of the move question when the target lies on another page: which field is meant.
inline const QString kTargetFieldTitle = QStringLiteral("%1, Feld %2");
inline const QString kPageTitle = QStringLiteral("Ebene %1");

// The detail panel.
inline const QString kHeadRufname = QStringLiteral("Rufname");
inline const QString kHeadStatus = QStringLiteral("Status");
inline const QString kHeadTki = QStringLiteral("TKI");
inline const QString kHeadEigenschaft = QStringLiteral("Eigenschaft");
inline const QString kHeadZeit = QStringLiteral("letzte \u00C4nderung");

// The vehicle editor.
inline const QString kEditorTitle = QStringLiteral("Eigenschaften");
inline const QString kRufname = QStringLiteral("Rufname:");
inline const QString kZusatzinfo = QStringLiteral("Zusatzinfo:");
inline const QString kFmsKennung = QStringLiteral("FMS-Kennung:");
inline const QString kTrunkedNumber = QStringLiteral("B\u00FCndelfunk-Rufnummer:");
inline const QString kTrunkedNumberNotKept =
    QStringLiteral("wird nicht gespeichert");
inline const QString kHeadingNote = QStringLiteral(
    "Wenn FMS-Kennung leer bleibt, dann wird der Rufname zu einer \u00DCberschrift");
inline const QString kSetStatusFrame = QStringLiteral("Status manuell setzen");
inline const QString kTki = QStringLiteral("TKI");
inline const QString kPagersOnVehicle =
    QStringLiteral("Melder (5-Tonfolge/RIC) auf dem Fahrzeug:");
inline const QString kNew = QStringLiteral("neu");
inline const QString kDelete = QStringLiteral("l\u00F6schen");
inline const QString kChange = QStringLiteral("\u00E4ndern");
inline const QString kSave = QStringLiteral("speichern");
inline const QString kBack = QStringLiteral("zur\u00FCck");
inline const QString kNeedNameAndKennung =
    QStringLiteral("Erst einen Rufnamen und eine FMS-Kenung eingeben!");
inline const QString kEnterPager = QStringLiteral("5-Tonfolge/RIC eingeben:");
inline const QString kWrongLength = QStringLiteral("falsche L\u00E4nge: %1 Zeichen");
inline const QString kRemovePager = QStringLiteral("Eintrag entfernen ");

// The call-name editor ("Meldeempf\u00E4nger").
inline const QString kGridNumber = QStringLiteral("Nr");
inline const QString kGridName = QStringLiteral("Name");
inline const QString kGridColour = QStringLiteral("Farbe");
inline const QString kEnterCallNumber =
    QStringLiteral("5-stellige ZVEI-Nummer oder 7-stellige RIC:");
inline const QString kEnterWearer = QStringLiteral("Name des Tr\u00E4gers:");
inline const QString kChangeTitle = QStringLiteral("\u00C4ndern");
inline const QString kChangeNumber = QStringLiteral("5- bzw 7-stellige Numer:");
inline const QString kDeleteCallName = QStringLiteral("Eintrag <%1> l\u00F6schen ?");
inline const QString kImportCallNames = QStringLiteral("Import aus I-R-F-BOS-Datei");
inline const QString kBosFilesHere = QStringLiteral("hier gibt es BOS-Dateien:");

// BOS import.
inline const QString kImportVehicles = QStringLiteral("I-R-F-BOS-Datei laden");
inline const QString kSelectBosFile = QStringLiteral("BOS-Datei selektieren!");
inline const QString kBosFileFilter =
    QStringLiteral("BOS-Dateien (*.BOS *.bos *.Bos);;Alle Dateien (*)");
inline const QString kVehiclesImported = QStringLiteral("%1 Fahrzeuge wurden importiert.");
inline const QString kVehicleTableFull = QStringLiteral(
    "Die Fahrzeugtabelle ist voll: von %1 Fahrzeugen der Datei wurden %2 importiert "
    "(das letzte der %3 Felder bleibt frei).");
inline const QString kCallNamesImported = QStringLiteral("%1 Rufnamen wurden importiert.");

// "Status f\u00FCr alle setzen".
inline const QString kStatusForAll = QStringLiteral("Status f\u00FCr alle auf");
inline const QString kWritingStatusFiles =
    QStringLiteral("Status %1 f\u00FCr alle: die Statusdateien werden geschrieben \u2026");
inline const QString kMoreStatusFilesFailed =
    QStringLiteral("%1 weitere Statusdateien konnten ebenfalls nicht geschrieben werden.");

} // namespace tolvana::board_texts
