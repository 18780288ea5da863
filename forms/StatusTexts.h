#pragma once

#include <QString>

// What the status bar's connection panels and the receive grid's note say.
namespace StatusTexts {
// "待受中 5000" while the listener holds port 5000, else "停止中". The panels share a narrow
// status bar, so their texts are terse; a text that does not fit shows whole as a tooltip.
QString Listening(quint16 port);
// "接続中 127.0.0.1:50123" ("[::1]:50123" for IPv6), or "未接続" without a peer.
QString Connection(const QString &address, quint16 port);
// "受信 3件 6,000バイト", "送信 …".
QString Received(qint64 blocks, qint64 bytes);
QString Sent(qint64 blocks, qint64 bytes);
// "最新 3,000 バイト中 2,048 バイトを表示" when the newest block is longer than the grid shows;
// empty for a block that fits.
QString ShownPart(qint64 blockBytes);
} // namespace StatusTexts
