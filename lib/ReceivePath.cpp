#include "lib/ReceivePath.h"

#include "lib/DataCapture.h"
#include "lib/modUtility.h"
#include "platform/Clock.h"
#include "platform/SocketControl.h"

namespace {
const QByteArray receivedText = QStringLiteral("バイトのデータ受信").toUtf8();
const QByteArray sentText = QStringLiteral("バイトの応答送信").toUtf8();
} // namespace

void ReceiveBlock(SocketControl &connection, qint64 bytesTotal, ReceiveMode mode,
                  ReceiveRecord &record)
{
    const QByteArray block = connection.getData(bytesTotal);
    const qint64 receivedAt = CurrentMSecsSinceEpoch();
    // The receive line is in the log before the peer can have its echo.
    WriteLogUtf8(intToolIndex, QByteArray::number(block.size()) + receivedText);
    ++record.serial;
    record.received = block;
    record.receivedAtMs = receivedAt;
    ++record.blocksReceived;
    record.bytesReceived += block.size();
    if (mode.echo) {
        connection.sendData(block);
        const qint64 sentAt = CurrentMSecsSinceEpoch();
        WriteLogUtf8(intToolIndex, QByteArray::number(block.size()) + sentText);
        record.sent = block;
        record.sentAtMs = sentAt;
        record.sentSerial = record.serial;
        ++record.blocksSent;
        record.bytesSent += block.size();
    }
    // After the echo has left: the capture costs the peer nothing.
    if (mode.capture)
        CaptureExchange(intToolIndex, block,
                        FormatPeer(connection.peerAddress(), connection.peerPort()), receivedAt,
                        mode.echo ? record.sentAtMs : 0);
}
