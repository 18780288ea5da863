#pragma once

#include "lib/CaptureFormat.h"

#include <QByteArray>
#include <QString>

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
