#include "support/EventWait.h"

#include "lib/modFileIO.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A settings file large enough that a write takes a while: a torn one would show.
QByteArray settingsWithPort(const QByteArray &port)
{
    QByteArray content = "[Port]\r\nTcpPort=" + port
        + "\r\n\r\n[Maintenance]\r\nResSetting=1\r\nLogMaxSize=3\r\nLogGenerations=10\r\n"
          "\r\n[Notes]\r\n";
    for (int line = 0; line < 2000; ++line)
        content += "Note" + QByteArray::number(line) + "=" + QByteArray(40, char('a' + line % 26))
            + "\r\n";
    return content;
}
} // namespace

// The settings file is replaced as a whole: a writer killed at any moment leaves the old or the
// new content, never a mixture or a cut.
class tst_ReliabilitySettings : public QObject
{
    Q_OBJECT

private slots:
    void killedWriterLeavesOldOrNewContent();
};

void tst_ReliabilitySettings::killedWriterLeavesOldOrNewContent()
{
    const QString writer = qEnvironmentVariable("PARVEL_INI_WRITER");
    if (writer.isEmpty())
        QSKIP("PARVEL_INI_WRITER names the settings writer helper");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString config = dir.filePath(QStringLiteral("Config"));
    QVERIFY(QDir().mkdir(config));
    const QString file = config + QStringLiteral("/Kiv_TcpRecvSetting.ini");
    const QByteArray first = settingsWithPort("5000");
    const QByteArray second = settingsWithPort("6000");

    // The two contents the writer alternates between, as the writer itself produces them.
    QFile seed(file);
    QVERIFY(seed.open(QIODevice::WriteOnly));
    QCOMPARE(seed.write(first), first.size());
    seed.close();
    QVERIFY(WriteIniString(QStringLiteral("Port"), QStringLiteral("TcpPort"), file,
                           QStringLiteral("6000")));
    QCOMPARE(readFile(file), second);

    constexpr int kills = 50;
    int seenFirst = 0;
    int seenSecond = 0;
    QRandomGenerator random(20240601);
    for (int kill = 0; kill < kills; ++kill) {
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(writer,
                      {file, QStringLiteral("Port"), QStringLiteral("TcpPort"),
                       QStringLiteral("5000"), QStringLiteral("6000")});
        QVERIFY(process.waitForStarted(10000));
        QVERIFY2(WaitUntil([&] { return process.canReadLine(); }, 10000),
                 process.readAllStandardError().constData());
        QCOMPARE(process.readLine(), QByteArray("ready\n"));

        // A random moment within the next few writes.
        const int delay = int(random.bounded(20));
        WaitUntil([] { return false; }, delay);
        process.kill();
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);

        const QByteArray content = readFile(file);
        QVERIFY2(content == first || content == second,
                 qPrintable(QStringLiteral("kill %1 after %2 ms left %3 bytes")
                                .arg(kill)
                                .arg(delay)
                                .arg(content.size())));
        (content == first ? seenFirst : seenSecond)++;
    }
    qInfo("old content %d times, new content %d times", seenFirst, seenSecond);
    // Both contents turned up: the writer was really at work when it was killed.
    QVERIFY(seenFirst > 0 && seenSecond > 0);

    // A kill between naming the finished temporary file and renaming it over the settings file
    // leaves that file behind: complete, under the settings file's name plus a random suffix.
    static const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QStringLiteral("Kiv_TcpRecvSetting\\.ini\\.[A-Za-z0-9]{6}")));
    QStringList entries = QDir(config).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                 | QDir::NoDotAndDotDot);
    QCOMPARE(entries.removeAll(QStringLiteral("Kiv_TcpRecvSetting.ini")), qsizetype(1));
    qInfo("%d leftover temporary files after %d kills", int(entries.size()), kills);
    for (const QString &entry : entries) {
        QVERIFY2(leftover.match(entry).hasMatch(), qPrintable(entry));
        const QByteArray content = readFile(config + QLatin1Char('/') + entry);
        QVERIFY2(content == first || content == second, qPrintable(entry));
    }
}

QTEST_GUILESS_MAIN(tst_ReliabilitySettings)
#include "tst_reliability_settings.moc"
