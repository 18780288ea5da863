#include "ExecutableCopy.h"

#include <QFile>

QString CopyExecutableInto(const QString &folder)
{
    const QString copy = folder + QStringLiteral("/parvel");
    return QFile::copy(qEnvironmentVariable("PARVEL_EXECUTABLE"), copy) ? copy : QString();
}

bool StartExecutable(QProcess &process, const QString &executable)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setProgram(executable);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    return process.waitForStarted(10000);
}
