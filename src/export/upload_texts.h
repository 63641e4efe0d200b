// The German texts of the web upload, the upload list and the dial-up
// dialog in one place. The first five are the texts users have always seen
// in the upload list and must stay as they stand.
#pragma once

namespace tolvana::upload_text {

// Upload list: refusals and the result of a transfer.
inline constexpr char kNoHost[] = "Datei nicht übertragen-> kein Hostname angegeben";
inline constexpr char kNoLogin[] = "Datei nicht übertragen-> kein Login vorhanden";
inline constexpr char kNoFile[] = "Fehler: Datei nicht übertragen";
inline constexpr char kTransferred[] = "Datei übertragen";
/// Start of every message of a transfer that failed; the reason follows.
inline constexpr char kNotTransferred[] = "Datei nicht übertragen-> ";

inline constexpr char kBadHost[] = "Datei nicht übertragen-> Hostname ungültig: ";
inline constexpr char kSkipped[] =
    "Übertragung übersprungen-> die vorige Übertragung läuft noch (die Seite folgt mit der nächsten)";
inline constexpr char kNoDialUpHeadless[] =
    "Datei nicht übertragen-> keine DFÜ-Verbindung aktiv (ohne Fenster wird nicht gewählt)";
inline constexpr char kDialUpFailedLog[] = "Datei nicht übertragen-> DFÜ-Verbindung konnte nicht hergestellt werden";
inline constexpr char kPageWritten[] = "Html-Seite erzeugt";
/// After a result that went without encryption because the server's
/// certificate could not be trusted.
inline constexpr char kPlainNote[] = " (unverschlüsselt: das Zertifikat des Servers ist nicht vertrauenswürdig)";

// "testen": connection and login without uploading.
inline constexpr char kTestOk[] = "Verbindungstest erfolgreich: Anmeldung und Zielverzeichnis in Ordnung";
inline constexpr char kTestNoFolder[] =
    "Verbindungstest: Anmeldung in Ordnung, Zielverzeichnis fehlt oder ist gesperrt "
    "(ein fehlendes wird beim Hochladen angelegt)";
inline constexpr char kTestFailed[] = "Verbindungstest fehlgeschlagen-> ";
inline constexpr char kTestNoHost[] = "Verbindungstest nicht möglich-> kein Hostname angegeben";
inline constexpr char kTestNoLogin[] = "Verbindungstest nicht möglich-> kein Login vorhanden";
inline constexpr char kTestBadHost[] = "Verbindungstest nicht möglich-> Hostname ungültig: ";

// Reasons of a failed transfer (after kNotTransferred or kTestFailed).
inline constexpr char kReasonResolve[] = "Server nicht gefunden (Hostname unbekannt)";
inline constexpr char kReasonConnect[] = "keine Verbindung zum Server (abgelehnt oder nicht erreichbar)";
inline constexpr char kReasonTimeout[] = "Zeitüberschreitung, der Server antwortet nicht";
inline constexpr char kReasonLogin[] = "Anmeldung abgelehnt (Login oder Passwort falsch)";
inline constexpr char kReasonFolder[] = "Zielverzeichnis konnte nicht geöffnet oder angelegt werden";
inline constexpr char kReasonRefused[] = "der Server hat die Datei nicht angenommen";
inline constexpr char kReasonIncomplete[] = "die Datei kam nicht vollständig beim Server an";
inline constexpr char kReasonDiskFull[] = "kein Speicherplatz auf dem Server";
inline constexpr char kReasonTls[] = "verschlüsselte Verbindung fehlgeschlagen";
inline constexpr char kReasonCertificate[] = "Zertifikat oder Schlüssel des Servers nicht vertrauenswürdig";
inline constexpr char kReasonDataConnection[] = "Datenverbindung zum Server fehlgeschlagen";
inline constexpr char kReasonConnectionLost[] = "Verbindung zum Server unterbrochen";
inline constexpr char kReasonServerReply[] = "unerwartete Antwort des Servers";
inline constexpr char kReasonAborted[] = "Übertragung abgebrochen";
inline constexpr char kReasonProtocol[] = "Protokoll wird nicht unterstützt";
inline constexpr char kReasonOther[] = "Übertragungsfehler";

// Host field problems (after kBadHost).
inline constexpr char kHostCredentials[] =
    "Zugangsdaten gehören in die Felder Login und Passwort, nicht in den Hostnamen";
inline constexpr char kHostPath[] =
    "der Hostname enthält ein Verzeichnis (dafür gibt es das Ziel- Unterverzeichnis)";
inline constexpr char kHostScheme[] = "unbekanntes Protokoll (möglich: ftp://, ftps://, sftp://)";
inline constexpr char kHostNoSftp[] = "sftp:// wird von dieser Installation nicht unterstützt";
inline constexpr char kHostPort[] = "ungültiger Port";
inline constexpr char kHostName[] = "ungültiger Name";

// Dial-up dialog.
inline constexpr char kDialTitle[] = "Upload zum Web-Server - Einwählen";
inline constexpr char kDialChoose[] = "Verbindung wählen:";
inline constexpr char kDialConnect[] = "verbinden";
inline constexpr char kDialClose[] = "schließen";
inline constexpr char kDialNone[] = "Keine DFÜ-Verbindung vorhanden";
inline constexpr char kDialFailed[] = "DFÜ-Verbindung konnte nicht hergestellt werden!";
inline constexpr char kDialFailedTitle[] = "Änderung zum Webserver kopieren";
inline constexpr char kDialDialling[] = "Verbindung wird hergestellt: ";
inline constexpr char kDialConnected[] = "Verbunden: ";
inline constexpr char kNoNetworkManager[] =
    "NetworkManager ist nicht verfügbar, Verbindungen können nicht gewählt werden";
inline constexpr char kNetworkManagerStopped[] =
    "NetworkManager läuft nicht, Verbindungen können nicht gewählt werden";

// "HTML-Export" page.
inline constexpr char kWritePage[] = "Html-Seite erzeugen";
inline constexpr char kUpload[] = "hochladen";
inline constexpr char kTest[] = "testen";
inline constexpr char kBusy[] = "Übertragung läuft …";

} // namespace tolvana::upload_text
