#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A fresh program folder in a temporary directory, with the application record and the log
// tables initialised for it, as start-up does.
class ProgramFolderFixture
{
public:
    ProgramFolderFixture();
    ~ProgramFolderFixture();

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString settingsFile() const;
    QString logFile() const;

    // Writes the receiver's settings file with exactly these bytes.
    void writeSettings(const QByteArray &content) const;
    QByteArray readSettings() const;
    // The log's lines without their CR LF endings; empty when there is no log file.
    QStringList logLines() const;
    // Only the message field of each log line.
    QStringList logMessages() const;

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};
