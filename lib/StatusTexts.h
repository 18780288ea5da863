#pragma once

#include <QString>

// What the status bar's connection panels and the grids' notes say, and the terminal mode with
// them.
namespace StatusTexts {
// "待受中 5000" while the listener holds port 5000; "停止中 5000" while stopped, naming the port
// the next start will try; with an address set, "待受中 127.0.0.1:5000". The panels share a
// narrow status bar, so their texts are terse; a text that does not fit shows whole as a tooltip.
QString Listening(quint16 port, bool listening = true, const QString &address = {});
// "接続中 127.0.0.1:50123" ("[::1]:50123" for IPv6), or "未接続" without a peer.
QString Connection(const QString &address, quint16 port);
// The exact counts, "受信 3件 6,000バイト", "送信 …": tooltips and screen readers.
QString Received(qint64 blocks, qint64 bytes);
QString Sent(qint64 blocks, qint64 bytes);
// What the panel shows: the same, but from 100,000 bytes up three significant digits with a
// unit ("受信 43件 9.54 MB"), so the unit stays in view.
QString ReceivedShort(qint64 blocks, qint64 bytes);
QString SentShort(qint64 blocks, qint64 bytes);
// The terminal's lines as a peer goes: "切断 127.0.0.1:50123" when it finished, reset or failed;
// "切断 127.0.0.1:50123 (新しい接続が優先)" when a newer peer took its place (it still gets its
// echo).
QString Disconnected(const QString &address, quint16 port);
QString Replaced(const QString &address, quint16 port);
// The terminal's last line, the exact counts: "終了 受信 3件 6,000バイト 送信 3件 6,000バイト".
QString Ended(qint64 blocksReceived, qint64 bytesReceived, qint64 blocksSent, qint64 bytesSent);
// "3,000 バイト中 先頭 2,048 バイトを表示" when a block is longer than its grid shows; empty for
// a block that fits.
QString ShownPart(qint64 blockBytes);
// "ルール 3 で応答" for the rule at index 2 that answered the block shown; empty for -1.
QString AnsweredByRule(int rule);
} // namespace StatusTexts
