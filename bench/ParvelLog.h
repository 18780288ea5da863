#pragma once

#include <QString>

// What Parvel's log says about the blocks it handled, over the live file and its generations.
struct ParvelLogTotals
{
    qint64 receivedBytes = 0;
    qint64 echoedBytes = 0;
    qint64 receiveLines = 0;
    qint64 lastReceivedBlock = 0;
};

ParvelLogTotals ReadParvelLog(const QString &programFolder);
