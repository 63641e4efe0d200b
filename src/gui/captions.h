// The German texts of the main window, its settings pages and its messages,
// in one place. They are the texts users of the monitor know (and that
// manuals and training material show), so they stand exactly as they are,
// blanks included; texts that are new in tolvana follow the same tone.
#pragma once

#include <QString>

#include <array>

namespace tolvana::gui::text {

// ---- the window -------------------------------------------------------------
inline const QString kWindowTitle = QStringLiteral("tolvana");
inline const QString kTabLists = QStringLiteral("Listenansicht");
inline const QString kTabBoard = QStringLiteral("Fahrzeugansicht");
inline const QString kTabSettings = QStringLiteral("Einstellungen");

inline const QString kStart = QStringLiteral("Start");
inline const QString kStop = QStringLiteral("stop");
inline const QString kMeanLeft = QStringLiteral("Pegel links");
inline const QString kMeanRight = QStringLiteral("Pegel rechts");
inline const QString kPeakLeft = QStringLiteral("Max Pegel l.");
inline const QString kPeakRight = QStringLiteral("Max Pegel r.");
inline const QString kWinsock = QStringLiteral("Winsock");

// ---- settings tab -----------------------------------------------------------
inline const QString kSave = QStringLiteral("speichern");

/// The settings pages in the order of the page list.
inline const std::array<QString, 12> kPageNames = {
    QStringLiteral("Soundkarte"),
    QStringLiteral("Meldeempf\u00E4nger (ZVEI/POCSAG)"),
    QStringLiteral("Fzge importieren"),
    QStringLiteral("Aktionen"),
    QStringLiteral("Status f\u00FCr alle setzen"),
    QStringLiteral("Fahrzeugansicht"),
    QStringLiteral("FMS-Statusfarben"),
    QStringLiteral("HTML-Export"),
    QStringLiteral("eigene Anwendung per Winsock"),
    QStringLiteral("eigene Anwendung per Win-Messages"),
    QStringLiteral("Filter"),
    QStringLiteral("Info"),
};

// "Soundkarte"
inline const QString kDeviceLabel = QStringLiteral("Eingang:");
inline const QString kChannelColumns = QStringLiteral("links   rechts");
inline const QString kChannelsIndependent =
    QStringLiteral("Der rechte und der linke Kanal der Soundkarte dekodieren unabh\u00E4ngig voneinander.");
inline const QString kSwitchZvei = QStringLiteral("Zvei");
inline const QString kSwitchPocsag = QStringLiteral("POCSAG");
inline const QString kSwitchFms = QStringLiteral("FMS");
inline const QString kReplayFrame = QStringLiteral("Aufnahme abspielen");
inline const QString kReplayChoose = QStringLiteral("Aufnahme w\u00E4hlen und abspielen ...");
inline const QString kReplayFast = QStringLiteral("so schnell wie m\u00F6glich");
inline const QString kReplayNote = QStringLiteral(
    "Eine Aufnahme (WAV, FLAC, OGG oder rohe 16-Bit-PCM mit 22050 Hz) l\u00E4uft wie die Soundkarte "
    "durch die Dekoder; \"stop\" beendet sie.");
inline const QString kReplayDialogTitle = QStringLiteral("Aufnahme ausw\u00E4hlen");
inline const QString kReplayDialogFilter =
    QStringLiteral("Aufnahmen (*.wav *.flac *.ogg *.raw);;Alle Dateien (*)");

// "Meldeempfänger (ZVEI/POCSAG)"
inline const QString kBosFilesHint = QStringLiteral("hier gibt es BOS-Dateien:");

// "Fzge importieren"
inline const QString kAppendOnImport = QStringLiteral("anh\u00E4ngen statt ersetzen");

// "Aktionen"
inline const QString kActionTitle = QStringLiteral("Aktion nach Eingang einer FMS-Kennung / 5-Tonfolge");
inline const QString kActionSearch = QStringLiteral("suche");
inline const QString kActionDialogTitle = QStringLiteral("Ausf\u00FChrbare Datei ausw\u00E4hlen");
inline const QString kActionHowHeading =
    QStringLiteral("Die Aktion wird bei einem Eingang wie folgt ausgef\u00FChrt:");
inline const QString kActionExampleFms = QStringLiteral("Programmname \"FMS\" \"Kennung\"");
inline const QString kActionExampleZvei = QStringLiteral("Programmname \"ZVEI\" \"5-Tonfolge\"");
inline const QString kActionExamplePocsag = QStringLiteral("Programmname \"POC\" \"RIC\" \"Funktion\" Text");

// "Status für alle setzen"
inline const QString kStatusForAll = QStringLiteral("Status f\u00FCr alle auf");

// "Fahrzeugansicht"
/// Captions of the board sizes, by boardSizeIndex 1..4.
inline const std::array<QString, 4> kBoardSizes = {
    QStringLiteral("5    x   10"),
    QStringLiteral("5    x   20"),
    QStringLiteral("10   x   10"),
    QStringLiteral("10   x   20"),
};
inline const QString kBoardTotal = QStringLiteral("Summe Fzge");
inline const QString kBoardTotalNote = QStringLiteral("(Spalten x Zeilen x 30)");

// "FMS-Statusfarben"
inline const QString kStatusColourCaption = QStringLiteral("Status %1");
inline const QString kClickFields = QStringLiteral("Felder anklicken");

// "HTML-Export"
inline const QString kHtmlExport = QStringLiteral(
    "Die erste Seite (Fahrzeuge 1-100) soll zu einer Webseite generiert werden (Name=status.html)");
inline const QString kHtmlAutoCopy = QStringLiteral(
    "(diese Seite wird dann nach einem Statuswechsel autom. auf einen Webserver kopiert)");
inline const std::array<QString, 4> kFtpFields = {
    QStringLiteral("Hostname:"),
    QStringLiteral("Login:"),
    QStringLiteral("Passwort:"),
    QStringLiteral("Ziel- Unterverzeichnis:"),
};
inline const QString kConnectionKindLabel =
    QStringLiteral("Verbindung zum Internet (Webserver) besteht \u00FCber :");
inline const QString kConnectionPermanent = QStringLiteral("st\u00E4ndige Verbindung (LAN/Flatrate)");
inline const QString kConnectionDialUp = QStringLiteral("W\u00E4hlverbindung");
inline const QString kTip = QStringLiteral("TIPP");
inline const QString kTipBackground = QStringLiteral(
    "Liegt auf dem Webserver im selben Verzeichnis eine Datei \"back.jpg\", wird sie zum Hintergrund "
    "der Seite.");

// "eigene Anwendung per Winsock"
inline const QString kTcpFrame = QStringLiteral("Winsock-Export der Status");
inline const QString kTcpExport = QStringLiteral(
    "FMS- und ZVEI-Eing\u00E4nge \u00FCber einen Winsock-Port an eine eigene Anwendung weiterleiten");
inline const QString kTcpServer = QStringLiteral("Server:");
inline const QString kTcpServerHint = QStringLiteral("default=localhost");
inline const QString kTcpPort = QStringLiteral("Port:");
inline const QString kTcpFormatsHeading = QStringLiteral("\u00DCbertragungsformat:");
// The lines as they are sent: the FMS line carries TKI and direction as one
// field, the pager line its function between RIC and text.
inline const QString kTcpFormats = QStringLiteral(
    "##FMS#Kennung#Status#TkiRtg#+\n##ZVEI#Nr#Name#+\n##POC#Nr#Funktion#Text#+");
inline const QString kFirewallWarning = QStringLiteral("Achtung: Bei einer Firewall den Port freigeben!");

// "eigene Anwendung per Win-Messages"
inline const QString kMessageFrame = QStringLiteral("Export der Status via Windows-Messages");
inline const QString kMessageExport = QStringLiteral("aktivieren");
inline const QString kMessageTarget = QStringLiteral("Name der empfangenden Anwendung:");
inline const QString kMessageFormat = QStringLiteral("\u00DCbertragungsformat wie bei winsock");

// "Filter"
inline const QString kFilterFms = QStringLiteral("FMS");
inline const QString kFilterZvei = QStringLiteral("ZVEI");
inline const QString kFilterRic = QStringLiteral("RIC");
inline const QString kFilterPositive = QStringLiteral("Positiv-Listen (nur diese Kennungen durchlassen)");
inline const QString kFilterNegative = QStringLiteral("Negativ-Liste (diese Kennungen wegfiltern)");
inline const QString kFilterPositiveNote =
    QStringLiteral("die Positiv-Liste wird erst aktiv, wenn mindestens ein Eintrag enthalten ist ! ");
inline const QString kFilterPrefixNote = QStringLiteral("(Teileingaben sind ohne * m\u00F6glich: z.B: \"123\")");
inline const QString kFilterNew = QStringLiteral("neu");
inline const QString kFilterDelete = QStringLiteral("l\u00F6schen");
/// Prompt words of "neu", by filter kind (FMS, ZVEI, POCSAG).
inline const std::array<QString, 3> kFilterPromptWords = {
    QStringLiteral("FMS-Kennung "),
    QStringLiteral("5-Tonfolge "),
    QStringLiteral("RIC "),
};
inline const QString kFilterPromptTail = QStringLiteral(" eingeben:");

// "Info"
inline const QString kInfoProgram = QStringLiteral(
    "tolvana - Monitor f\u00FCr FMS, ZVEI (5-Ton) und POCSAG auf zwei Funkempf\u00E4ngern");
inline const QString kInfoVersion = QStringLiteral("Version %1");
inline const QString kInfoDataFolder = QStringLiteral("Datenordner: %1");
inline const QString kInfoQt = QStringLiteral("Qt %1");

// ---- messages (the sound card's own are in capture/capture_messages) --------
inline const QString kTitleAttention = QStringLiteral("Achtung!");
inline const QString kTitleAttentionColon = QStringLiteral("Achtung:");
inline const QString kAlreadyRunning = QStringLiteral("Server l\u00E4uft schon !");
inline const QString kUnknownError = QStringLiteral("unbekannter Fehler");
inline const QString kLockNotWritable = QStringLiteral(
    "Im Datenordner %1 kann keine Sperrdatei angelegt werden; ein zweites Programm auf demselben "
    "Ordner w\u00FCrde nicht erkannt.");
inline const QString kStartUpProblems = QStringLiteral("Beim Start ist nicht alles gelungen:");
inline const QString kSaveFailed = QStringLiteral(
    "Die Einstellungen gelten jetzt, sind aber nicht in Mon.ini gespeichert:");
inline const QString kReplayCannotOpen = QStringLiteral("Die Aufnahme %1 kann nicht gelesen werden: %2");
inline const QString kReplayReadError = QStringLiteral("Die Aufnahme %1 endete mit einem Lesefehler: %2");

} // namespace tolvana::gui::text
