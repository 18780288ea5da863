#pragma once

#include "lib/ResponseRules.h"

#include <QByteArray>

class SocketControl;

// What the per-block path leaves for the window: the newest blocks with their times and serials
// (the newest was answered when the two serials agree), and the counts since listening started. The
// window reads it when it catches up; nothing here waits for the window.
struct ReceiveRecord
{
    quint64 serial = 0; // one more for every block read
    QByteArray received;
    qint64 receivedAtMs = 0; // milliseconds since the epoch
    QByteArray sent;
    qint64 sentAtMs = 0;
    quint64 sentSerial = 0; // the serial of the newest block answered
    int sentRule = -1; // the rule that gave the newest answer (from 0); -1: the response option
    qint64 blocksReceived = 0;
    qint64 bytesReceived = 0;
    qint64 blocksSent = 0;
    qint64 bytesSent = 0;

    // The counts start again when listening does; the newest blocks stay shown.
    void restartCounts() { blocksReceived = bytesReceived = blocksSent = bytesSent = 0; }
};

// How blocks are answered: nothing goes back, the block itself (echo), or the fixed reply.
enum class AnswerMode { Nothing, Echo, CustomReply };

// What the receiver does with each block, held until the user changes it (never read from the
// window per block).
struct ReceiveMode
{
    AnswerMode answer = AnswerMode::Nothing;
    QByteArray reply; // prepared once when it was set; a shared copy per block costs nothing
    bool capture = false;
    // Tried before the answer mode: the first rule that matches answers the block.
    RuleMatcher rules;
    // A byte that arrives alone is a block like any other (else it waits for more).
    bool loneByte = false;
};

// The one place that decides what goes back for a block; empty when nothing is sent (the custom
// reply while none is set, too).
// A rule that matches answers first; rule, when given, is set to its index or -1.
QByteArray AnswerFor(const QByteArray &block, const ReceiveMode &mode, int *rule = nullptr);

// One data event of a block: reads bytesTotal bytes from the connection, logs the receive line,
// hands the answer to the kernel at once, logs the response line, notes it all in the record,
// and then, with capture on, keeps the bytes in the capture file. The files' sizes are the
// caller's to check afterwards (RotateToolFiles). Throws RuntimeError as the socket does.
void ReceiveBlock(SocketControl &connection, qint64 bytesTotal, const ReceiveMode &mode,
                  ReceiveRecord &record);
