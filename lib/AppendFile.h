#pragma once

#include <QByteArray>
#include <QString>

// Appends bytes to the file with one open, write and close, creating the file but never its
// folder. Whole or not at all: when the write stops short (disk full, size limit) the file is cut
// back to its previous length. Only a regular file is written, and nothing waits: a FIFO, a device
// or a file another program keeps locked is a failed write. False when nothing was appended; an
// empty path is such a case.
bool AppendWhole(const QString &path, const QByteArray &bytes);
