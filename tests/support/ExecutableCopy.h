#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The executable under test (named by PARVEL_EXECUTABLE) copied into a folder, so that the
// folder becomes its program folder; empty when it cannot be copied.
QString CopyExecutableInto(const QString &folder);
// Starts it headless with no input; false when it did not start.
bool StartExecutable(QProcess &process, const QString &executable);

// A fresh temporary program folder holding a copy of the executable under test.
struct ExecutableFolder
{
    ExecutableFolder() : executable(CopyExecutableInto(dir.path())) { }
    bool isValid() const { return dir.isValid() && !executable.isEmpty(); }

    QTemporaryDir dir;
    const QString executable;
};
