#include "lib/modLogging.h"
#include "lib/modUtility.h"
#include "platform/HostName.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

class tst_LogWriter : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void toolTable_data();
    void toolTable();
    void hostName();
    void hostNameBuffer_data();
    void hostNameBuffer();

    void lineLayout_data();
    void lineLayout();
    void linesAppend();
    void currentTimeStamp();
    void timestamp_data();
    void timestamp();
    void timestampFollowsClockSteps_data();
    void timestampFollowsClockSteps();

    void indexOutOfRange_data();
    void indexOutOfRange();
    void readOnlyLogFile();
    void lostLinesAreOwnedUp_data();
    void lostLinesAreOwnedUp();

private:
    QByteArray logContent() const;

    QTemporaryDir m_dir;
};

QByteArray tst_LogWriter::logContent() const
{
    QFile file(strLogFile[1]);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_LogWriter::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir.path()));
    InitLogging(m_dir.path());
    // A line lost by an earlier test is owned up to here, not in the next test's log.
    WriteLog(1, QString());
    QVERIFY(QFile::remove(strLogFile[1]));
}

void tst_LogWriter::toolTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("toolName");
    QTest::addColumn<QString>("fileName");

    // The ends of the ten-tool table and this tool's own row.
    QTest::newRow("0") << 0 << "Kiv_TcpSnd"
                       << "Kiv_TcpSndLog.txt";
    QTest::newRow("1") << 1 << "Kiv_TcpRcv"
                       << "Kiv_TcpRcvLog.txt";
    QTest::newRow("9") << 9 << "Kiv_UdpTextRcv"
                       << "Kiv_UdpTextRcvLog.txt";
}

void tst_LogWriter::toolTable()
{
    QFETCH(int, index);
    QFETCH(QString, toolName);
    QFETCH(QString, fileName);

    QCOMPARE(strToolName.at(index), toolName);
    QCOMPARE(strLogFile.at(index), m_dir.path() + QLatin1Char('/') + fileName);

    // A folder given with its separator gets no second one.
    InitLogging(m_dir.path() + QLatin1Char('/'));
    QCOMPARE(strLogFile.at(index), m_dir.path() + QLatin1Char('/') + fileName);
}

void tst_LogWriter::hostName()
{
    QVERIFY(!strHostName.isEmpty());
    QCOMPARE(strHostName, QSysInfo::machineHostName());
}

void tst_LogWriter::hostNameBuffer_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<bool>("throws");
    QTest::addColumn<QString>("name");

    QByteArray written(256, ' ');
    written.replace(0, 6, QByteArray("pc-01\0", 6));
    QTest::newRow("name then NUL") << written << false << QStringLiteral("pc-01");
    QTest::newRow("NUL first") << QByteArray(1, '\0') + QByteArray(255, ' ') << false << QString();
    QTest::newRow("nothing written") << QByteArray(256, ' ') << true << QString();
}

void tst_LogWriter::hostNameBuffer()
{
    QFETCH(QByteArray, buffer);
    QFETCH(bool, throws);
    QFETCH(QString, name);

    try {
        QCOMPARE(HostNameFromBuffer(buffer), name);
        QVERIFY(!throws);
    } catch (const RuntimeError &error) {
        QVERIFY(throws);
        QCOMPARE(error.description(), ErrorText::invalidArgument);
    }
}

void tst_LogWriter::lineLayout_data()
{
    QTest::addColumn<qint16>("code");
    QTest::addColumn<QString>("timestamp");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expectedFront");
    QTest::addColumn<QString>("expectedMessage");

    const QString stamp = QStringLiteral("13/11/05 09:05:07.4");
    const QString duplicate = QStringLiteral("二重起動の為、起動を中止しました。");
    QTest::newRow("code 0 is 1001") << qint16(0) << stamp << duplicate
                                    << QStringLiteral("1001 13/11/05 09:05:07.4") << duplicate;
    QTest::newRow("code 7") << qint16(7) << stamp << QStringLiteral("x")
                            << QStringLiteral("0007 ") + stamp << QStringLiteral("x");
    QTest::newRow("five digits") << qint16(12345) << stamp << QStringLiteral("x")
                                 << QStringLiteral("12345 ") + stamp << QStringLiteral("x");
    QTest::newRow("negative") << qint16(-5) << stamp << QStringLiteral("x")
                              << QStringLiteral("-0005 ") + stamp << QStringLiteral("x");
    QTest::newRow("lowest code") << qint16(-32768) << stamp << QStringLiteral("x")
                                 << QStringLiteral("-32768 ") + stamp << QStringLiteral("x");
    QTest::newRow("caller's stamp unchanged")
        << qint16(0) << QStringLiteral(" any  form, 2099 ") << QStringLiteral("x")
        << QStringLiteral("1001  any  form, 2099 ") << QStringLiteral("x");
    QTest::newRow("blanks in message")
        << qint16(0) << stamp << QStringLiteral(" 12 バイトの データ ")
        << QStringLiteral("1001 ") + stamp << QStringLiteral(" 12 バイトの データ ");
    QTest::newRow("empty message")
        << qint16(0) << stamp << QString() << QStringLiteral("1001 ") + stamp << QString();
}

void tst_LogWriter::lineLayout()
{
    QFETCH(qint16, code);
    QFETCH(QString, timestamp);
    QFETCH(QString, message);
    QFETCH(QString, expectedFront);
    QFETCH(QString, expectedMessage);

    WriteLog(1, message, timestamp, code);

    const QString expected = expectedFront + QLatin1Char(' ') + strHostName + QLatin1Char(' ')
        + expectedMessage + QLatin1String("\r\n");
    QCOMPARE(logContent(), expected.toUtf8());
}

void tst_LogWriter::linesAppend()
{
    {
        QFile file(strLogFile[1]);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier content");
    }
    WriteLog(1, QStringLiteral("a"), QStringLiteral("t"));
    WriteLog(1, QStringLiteral("b"), QStringLiteral("t"), 2);

    const QByteArray host = strHostName.toUtf8();
    QCOMPARE(logContent(), "earlier content1001 t " + host + " a\r\n0002 t " + host + " b\r\n");
    // Each tool writes only its own file.
    QVERIFY(!QFile::exists(strLogFile[0]));
}

void tst_LogWriter::currentTimeStamp()
{
    const QString before = FormatLogTimestamp(QDateTime::currentDateTime());
    WriteLog(1, QStringLiteral("now"));
    const QString after = FormatLogTimestamp(QDateTime::currentDateTime());

    const QString line = QString::fromUtf8(logContent());
    const QRegularExpression layout(
        QStringLiteral(R"(^1001 (\d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d) (.*) now\r\n$)"));
    const QRegularExpressionMatch match = layout.match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line));
    QCOMPARE(match.captured(2), strHostName);
    // Same century, so the text orders as the time does.
    QVERIFY(before <= match.captured(1));
    QVERIFY(match.captured(1) <= after);
}

void tst_LogWriter::timestamp_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("expected");

    const QDate date(2013, 11, 5);
    QTest::newRow("049 ms cut to .0")
        << QDateTime(date, QTime(9, 5, 7, 49)) << QStringLiteral("13/11/05 09:05:07.0");
    QTest::newRow("950 ms cut to .9, not carried")
        << QDateTime(date, QTime(9, 5, 7, 950)) << QStringLiteral("13/11/05 09:05:07.9");
    QTest::newRow("100 ms") << QDateTime(date, QTime(9, 5, 7, 100))
                            << QStringLiteral("13/11/05 09:05:07.1");
    QTest::newRow("150 ms cut to .1, not rounded")
        << QDateTime(date, QTime(9, 5, 7, 150)) << QStringLiteral("13/11/05 09:05:07.1");
    QTest::newRow("year 2000") << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0, 0))
                               << QStringLiteral("00/01/01 00:00:00.0");
    QTest::newRow("end of day") << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59, 999))
                                << QStringLiteral("99/12/31 23:59:59.9");
}

void tst_LogWriter::timestamp()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, expected);

    QCOMPARE(FormatLogTimestamp(time), expected);
    QCOMPARE(expected.size(), 19);
}

void tst_LogWriter::timestampFollowsClockSteps_data()
{
    QTest::addColumn<qint64>("stepMs");

    QTest::newRow("a second on") << qint64(1000);
    QTest::newRow("a second back") << qint64(-1000);
    QTest::newRow("an hour back") << qint64(-3600 * 1000);
    QTest::newRow("a tenth back, same second") << qint64(-100);
}

void tst_LogWriter::timestampFollowsClockSteps()
{
    QFETCH(qint64, stepMs);

    // The cheap stamp of every log line must follow the clock wherever it is set, e.g. by NTP.
    const qint64 start = QDateTime(QDate(2030, 6, 15), QTime(16, 31, 11, 250)).toMSecsSinceEpoch();
    for (const qint64 at : {start, start + stepMs}) {
        QByteArray stamp;
        AppendLogTimestamp(stamp, at);
        QCOMPARE(stamp, FormatLogTimestamp(QDateTime::fromMSecsSinceEpoch(at)).toLatin1());
    }
}

void tst_LogWriter::indexOutOfRange_data()
{
    QTest::addColumn<qint16>("index");
    QTest::newRow("10") << qint16(10);
    QTest::newRow("-1") << qint16(-1);
    QTest::newRow("largest") << qint16(32767);
    QTest::newRow("lowest") << qint16(-32768);
}

void tst_LogWriter::indexOutOfRange()
{
    QFETCH(qint16, index);
    WriteLog(index, QStringLiteral("lost"));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// A missing log folder and a folder in place of the log file are among the reliability faults.
void tst_LogWriter::readOnlyLogFile()
{
    QFile file(strLogFile[1]);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old\r\n");
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner));
    if (file.open(QIODevice::Append))
        QSKIP("This user may write to read-only files.");

    WriteLog(1, QStringLiteral("lost"));
    QCOMPARE(logContent(), QByteArray("old\r\n"));
}

void tst_LogWriter::lostLinesAreOwnedUp_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<bool>("empty");

    // Another program's lock, whichever kind: the append needs the file to itself.
    QTest::newRow("held exclusively") << QStringLiteral("exclusive lock") << false;
    QTest::newRow("held by a reader") << QStringLiteral("shared lock") << false;
    // A full disk, as a file size limit of a few bytes more than the log has; an empty file is a
    // new log just after a rotation.
    QTest::newRow("full, empty file") << QStringLiteral("full") << true;
    QTest::newRow("full, after a line") << QStringLiteral("full") << false;
}

void tst_LogWriter::lostLinesAreOwnedUp()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, empty);
    if (empty)
        QVERIFY(QFile(strLogFile[1]).open(QIODevice::WriteOnly));
    else
        WriteLog(1, QStringLiteral("whole"), QStringLiteral("t"));
    const QByteArray before = logContent();

    const int lost = 3;
    if (obstacle == QLatin1String("full")) {
        rlimit saved {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit full {rlim_t(before.size() + 10), saved.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &full), 0);
        for (int line = 0; line < lost; ++line)
            WriteLog(1, QStringLiteral("this line does not fit"), QStringLiteral("t"));
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, previousHandler);
    } else {
        const int holder = ::open(QFile::encodeName(strLogFile[1]).constData(), O_RDONLY);
        QVERIFY(holder >= 0);
        const int kind = obstacle == QLatin1String("exclusive lock") ? LOCK_EX : LOCK_SH;
        QCOMPARE(::flock(holder, kind), 0);
        for (int line = 0; line < lost; ++line)
            WriteLog(1, QStringLiteral("locked out"), QStringLiteral("t"));
        ::close(holder);
    }
    // No torn line, nothing written past the obstacle.
    QCOMPARE(logContent(), before);

    WriteLog(1, QStringLiteral("next"), QStringLiteral("t"));
    const QString host = QRegularExpression::escape(strHostName);
    const QRegularExpression owned(
        QStringLiteral(R"(^1001 \d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d )") + host
        + QStringLiteral(" ログに書き込めなかった行が3行ありました。")
        + QStringLiteral(R"(\(WriteLog\)\r\n1001 t )") + host + QStringLiteral(" next\r\n$"));
    const QString added = QString::fromUtf8(logContent().mid(before.size()));
    QVERIFY2(logContent().startsWith(before) && owned.match(added).hasMatch(), qPrintable(added));

    // Owned up to once: the count starts again.
    WriteLog(1, QStringLiteral("after"), QStringLiteral("t"));
    QVERIFY(logContent().endsWith(" next\r\n1001 t " + strHostName.toUtf8() + " after\r\n"));
}

QTEST_GUILESS_MAIN(tst_LogWriter)
#include "tst_logwriter.moc"
