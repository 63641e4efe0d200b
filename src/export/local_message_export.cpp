#include "export/local_message_export.h"

#include <QLocalSocket>

#include "records/text_codec.h"

namespace tolvana {

QByteArray localMessageBytes(const std::string& line) {
    QByteArray bytes = toWindows1252(QString::fromStdString(line));
    if (bytes.size() > kLocalMessageBufferBytes - 1) {
        bytes.truncate(kLocalMessageBufferBytes - 1);
    }
    bytes.append('\0');
    return bytes;
}

void LocalMessageExport::send(const std::string& line) {
    if (m_serverName.isEmpty()) {
        return;
    }
    QLocalSocket socket;
    socket.connectToServer(m_serverName, QIODevice::WriteOnly);
    if (!socket.waitForConnected(kLocalMessageTimeoutMs)) {
        return;
    }
    socket.write(localMessageBytes(line));
    socket.waitForBytesWritten(kLocalMessageTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(kLocalMessageTimeoutMs);
    }
}

} // namespace tolvana
