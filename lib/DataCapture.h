#pragma once

#include "platform/IniProfile.h"

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

// The tool's capture file, "<tool name>Data.txt" beside its log file; empty before the log tables
// are set up.
QString CaptureFilePath(qint16 toolIndex);

// "ルール 3" for the rule at index 2, which the 送信 record names after the peer; empty for -1.
QString RuleNote(int rule);

// A received block and, when it was answered (sentAtMs not 0), the answer as sent: both records
// in one append, each whole. The times are milliseconds since the epoch. A failed append is
// swallowed; the file's rotation is RotateToolFiles's.
void CaptureExchange(qint16 toolIndex, const QByteArray &bytes, const QString &peer,
                     qint64 receivedAtMs, const QByteArray &sent, qint64 sentAtMs,
                     const QString &sentNote = {});

// The rotation after a data event: the capture file (when capture is on) and the log, each with
// the log's limits and each on its own, so that a refused rotation of one (a folder in the way of
// a generation) never keeps the other from its limit. A refusal is logged as a trapped error is:
// its description followed by the tag.
void RotateToolFiles(qint16 toolIndex, bool capture, const char *tag);

// Capture is on when [Maintenance] CaptureData reads exactly "1"; anything else is off, silently.
bool ReadCaptureSetting(const QString &iniFile);
// Writes CaptureData as "1" or "0"; the result says why the settings file could not be replaced.
WriteResult WriteCaptureSetting(const QString &iniFile, bool on);
