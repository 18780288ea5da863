#include "ProgramFolderFixture.h"

#include "app/modTcpRecv.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"
#include "platform/ProgramFolder.h"

#include <QFile>

ProgramFolderFixture::ProgramFolderFixture()
{
    SetProgramFolder(m_dir.path());
    m_valid = m_dir.isValid() && InitApplication(1, SetDefine);
    intLogMaxSize = 0;
    intLogGenerations = 0;
}

ProgramFolderFixture::~ProgramFolderFixture()
{
    SetProgramFolder(QString());
}

QString ProgramFolderFixture::settingsFile() const
{
    return strSettingFile[1];
}

QString ProgramFolderFixture::logFile() const
{
    return strLogFile[1];
}

void ProgramFolderFixture::writeSettings(const QByteArray &content) const
{
    QFile file(settingsFile());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

QByteArray ProgramFolderFixture::readSettings() const
{
    QFile file(settingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList ProgramFolderFixture::logLines() const
{
    QFile file(logFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList ProgramFolderFixture::logMessages() const
{
    // code, timestamp (date and time), host, then the message with its own blanks.
    QStringList messages;
    for (const QString &line : logLines())
        messages.append(line.section(QLatin1Char(' '), 4));
    return messages;
}
