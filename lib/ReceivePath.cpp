#include "lib/ReceivePath.h"

#include "lib/DataCapture.h"
#include "lib/modUtility.h"
#include "platform/Clock.h"
#include "platform/SocketControl.h"

namespace {
const QByteArray receivedText = QStringLiteral("バイトのデータ受信").toUtf8();
const QByteArray sentText = QStringLiteral("バイトの応答送信").toUtf8();
} // namespace

QByteArray AnswerFor(const QByteArray &block, const ReceiveMode &mode, int *rule)
{
    RuleMatcher::Answer byRule = mode.rules.answer(block);
    if (rule)
        *rule = byRule.rule;
    if (byRule.rule >= 0)
        return byRule.bytes;
    switch (mode.answer) {
    case AnswerMode::Echo:
        return block;
    case AnswerMode::CustomReply:
        return mode.reply;
    case AnswerMode::Nothing:
        break;
    }
    return {};
}

void ReceiveBlock(SocketControl &connection, qint64 bytesTotal, const ReceiveMode &mode,
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
    int rule = -1;
    const QByteArray answer = AnswerFor(block, mode, &rule);
    const bool answered = !answer.isEmpty();
    if (answered) {
        connection.sendData(answer);
        const qint64 sentAt = CurrentMSecsSinceEpoch();
        WriteLogUtf8(intToolIndex, QByteArray::number(answer.size()) + sentText);
        record.sent = answer;
        record.sentAtMs = sentAt;
        record.sentSerial = record.serial;
        record.sentRule = rule;
        ++record.blocksSent;
        record.bytesSent += answer.size();
    }
    // After the answer has left: the capture costs the peer nothing. The record still holds an
    // earlier answer when this block had none, and that must not be captured again.
    if (mode.capture)
        CaptureExchange(intToolIndex, block,
                        FormatPeer(connection.peerAddress(), connection.peerPort()), receivedAt,
                        answered ? record.sent : QByteArray(), answered ? record.sentAtMs : 0,
                        answered ? RuleNote(rule) : QString());
}
