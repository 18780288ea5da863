#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <chrono>
#include <vector>

class BytePattern;

struct BlockCost
{
    std::size_t blockSize = 0;
    // The data path alone per block: read, receive line, echo, response line, rotation check.
    std::vector<double> handlerMicros;
    // The window's catching up on that block: lamps, time stamps, both grid models.
    std::vector<double> displayMicros;
    // From the peer's send to the whole echo back, the grids' repaint included.
    std::vector<double> cycleMicros;
};

struct BlockCostResult
{
    QList<BlockCost> sizes;
    // The handler's steps timed one by one on the same window, µs per call (median).
    QList<QPair<QString, double>> steps;
    QString error;
};

// Opens the real main window in this process (program folder in a temporary directory), starts
// listening, connects a loopback peer and hands blocks of each size to wscRecv_DataArrival one
// at a time, checking each echo and the receive grid.
BlockCostResult MeasureInProcessBlockCost(const BytePattern &pattern,
                                          const std::vector<std::size_t> &blockSizes, int warmup,
                                          int blocks, std::chrono::milliseconds budget);
