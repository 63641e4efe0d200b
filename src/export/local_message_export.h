// Local-message export: the export line handed to another program on the same
// machine that runs a local server (a Unix domain socket, a named pipe on
// Windows) under the name `targetWindowTitle`. Receivers that read these
// lines expect a 255-byte buffer per line, so that limit stays.
//
//   one connection per line:
//
//   byte 0                          n-1   n      (n + 1 <= 255)
//   +--------------------------------+------+
//   | line, Windows-1252, no "\r\n"  | 0x00 |   then the connection closes
//   +--------------------------------+------+
//
// The receiver reads up to the zero byte (or the end of the connection). The
// Windows message carried a fixed 255-byte buffer, so a line is at most 254
// bytes; a longer one (a long pager text) is cut to 254 bytes, which loses
// its "#+" end mark but never runs past the buffer.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <utility>

#include "export/line_export.h"

namespace tolvana {

/// Size of the message buffer: line and zero byte together.
inline constexpr int kLocalMessageBufferBytes = 255;

/// How long a send waits for the receiver to take the connection and the
/// bytes. A listening server accepts at once; the bound keeps a hung receiver
/// from stopping the decoding for more than a moment.
inline constexpr int kLocalMessageTimeoutMs = 500;

/// The bytes of one message: the line in Windows-1252, cut to 254 bytes,
/// followed by one zero byte.
QByteArray localMessageBytes(const std::string& line);

class LocalMessageExport final : public LineExport {
public:
    explicit LocalMessageExport(QString serverName = {}) : m_serverName(std::move(serverName)) {}

    void setServerName(const QString& serverName) { m_serverName = serverName; }
    QString serverName() const { return m_serverName; }

    /// Looks the server up anew and hands it the line. When no server of that
    /// name listens (or the name is empty), nothing is sent and nothing is
    /// reported. Works without a running event loop.
    void send(const std::string& line) override;

private:
    QString m_serverName;
};

} // namespace tolvana
