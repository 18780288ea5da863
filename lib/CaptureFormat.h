#pragma once

#include <QByteArray>
#include <QString>

enum class CaptureDirection { Received, Sent };

// One block as the capture file keeps it, UTF-8 with CR LF: a header line
// "<timestamp> <受信|送信> <count>バイト <peer>", then every byte in the layout of `hexdump -Cv`
// with uppercase hex digits, ending with the offset line that holds the count (no dump for no
// bytes, as hexdump prints none).
QByteArray FormatCaptureBlock(const QString &timestamp, CaptureDirection direction,
                              const QByteArray &bytes, const QString &peer);

// "address:port"; an IPv6 address goes in brackets so that its colons stay apart from the port.
QString FormatPeer(const QString &address, quint16 port);

// The pieces of a record, for an append that builds several in one buffer: the header line, and
// the dump's exact length and its writer (which returns where the dump ends).
QByteArray CaptureHeader(const QByteArray &timestamp, CaptureDirection direction, qsizetype size,
                         const QString &peer);
qsizetype CaptureDumpLength(qsizetype size);
char *WriteCaptureDump(char *out, const QByteArray &bytes);
