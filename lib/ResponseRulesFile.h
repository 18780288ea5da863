#pragma once

#include "lib/ResponseRules.h"

#include <QList>
#include <QString>
#include <QStringList>

// The rules file, one rule a line in the order they are tried, UTF-8 with LF or CR LF:
//   on|off equals|starts|ends|contains PATTERN -> REPLY
// for example "on starts 02 30 31 ?? -> 02 06 [3] 03". Blank lines and lines starting with "#"
// are ignored.

// Config/Kiv_TcpRecvRules.txt beside the settings file.
QString ResponseRulesFile();

struct SkippedRuleLine
{
    int line = 0; // counted from 1
    QString reason;
};

struct ResponseRulesRead
{
    QList<ResponseRule> rules; // every rule that could be read, at most maxResponseRules
    QList<SkippedRuleLine> skipped;
    QString error; // why the file could not be read at all; a missing file is no error

    // The log lines that tell what was not used: one for the file or one a skipped line.
    QStringList logLines() const;
};

// Reads the rules; a line that cannot be read is skipped with its reason and the others are kept.
ResponseRulesRead ReadResponseRules(const QString &file);

// The rules the receiver starts with: read, and every line not used logged once.
QList<ResponseRule> LoadResponseRules(const QString &file);

// One rule as a line: its texts in their kept form ("02 30 31 ?? -> 02 06 [3] 03").
QString FormatRuleLine(const ResponseRule &rule);

// Replaces file with rules at once (a crash never leaves half a file); empty when done, else why
// it could not be written.
[[nodiscard]] QString WriteResponseRules(const QString &file, const QList<ResponseRule> &rules);
