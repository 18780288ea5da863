#pragma once

#include <QDateTime>
#include <QString>
#include <array>

// The application record: filled once at start-up, read by everything afterwards.
extern QString strConfigDir;
extern QString strTempDir;
extern QString strLogDir;
extern qint16 intToolIndex;
extern std::array<QString, 10> strSettingFile;
// Where every listen of this run binds, the trial listens included: empty for every address, else
// one numeric IPv4 or IPv6 address ([Port] BindAddress, or --bind for one run).
extern QString strBindAddress;

// Fills the record (through the tool's own setDefine), creates Log, Config and Temp,
// sets up the log tables and empties Temp (a Temp that is not a real folder of the program folder
// is left alone, with a log line). False on any failure, with nothing logged.
bool InitApplication(qint16 toolIndex, bool (*setDefine)());

// Creates the folder when nothing of that name exists. Throws RuntimeError on failure.
void EnsureFolder(const QString &path);

// Deletes every file directly inside path (sub-folders stay); with keepFolder other than 1 also
// removes the folder. Always true; an error ends it early and is swallowed.
bool ClearFolder(const QString &path, quint8 keepFolder);

// True when path is a real folder of its own inside its parent: not a symbolic link, and not the
// parent itself seen through a mount.
bool IsOwnSubfolder(const QString &path);

// Appends "<code> <timestamp> <host> <message>" + CR LF to the tool's log file.
// Code 0 means 1001, an empty timestamp means now. Every failure is swallowed.
void WriteLog(qint16 toolIndex, const QString &message, const QString &timestamp = {},
              qint16 code = 0);
// The same line, code 1001 and now, for a message already in UTF-8: the receive path's lines are
// built without a detour through QString.
void WriteLogUtf8(qint16 toolIndex, const QByteArray &message);

// Hears every log line as it is written, its timestamp and its message, also when the file lost
// it (the terminal mode prints them); none by default.
using LogLineListener = void (*)(const QByteArray &timestamp, const QByteArray &message);
void SetLogLineListener(LogLineListener listener);

// The log line's timestamp for a given local time: YY/MM/DD HH:MM:SS.t (19 characters).
QString FormatLogTimestamp(const QDateTime &time);
// The same text for a moment in milliseconds since the epoch, appended to line: the log's own,
// cheap way for a line per block.
void AppendLogTimestamp(QByteArray &line, qint64 msecsSinceEpoch);

QString ZeroPad2(qint16 value);
QString TenthsDigit(qint16 value);

// Moves the live log file to generation 1 when it has grown beyond sizeLimitMiB. A limit or a
// generation count below 1 is replaced by its default (3 MiB, 10) in the caller's variable.
// Throws RuntimeError when a delete or rename is refused.
void RotateLog(const QString &liveFile, qint16 &sizeLimitMiB, qint16 &generations);

// Where a window of the given outer size goes so that it is centred on the screen; all in twips.
// Halves round toward zero; a window larger than the screen gets a negative origin.
qint32 CenteredOrigin(double screenExtent, double windowExtent);
