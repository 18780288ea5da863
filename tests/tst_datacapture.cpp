#include "lib/AppendFile.h"
#include "lib/DataCapture.h"
#include "lib/modFileIO.h"
#include "lib/modLogging.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {
const QString stamp = QStringLiteral("26/12/07 16:31:11.4");
const QString received = stamp + QStringLiteral(" 受信 ");

// count bytes counting up from first, wrapping after 0xFF.
QByteArray Counting(int count, int first = 0)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (int index = 0; index < count; ++index)
        bytes[index] = char((first + index) & 0xFF);
    return bytes;
}

// hexdump -Cv's lines, hex digits in upper case: an independent check wherever it is installed.
QStringList HexdumpLines(const QString &program, const QByteArray &bytes)
{
    QProcess hexdump;
    hexdump.start(program, {QStringLiteral("-Cv")});
    hexdump.write(bytes);
    hexdump.closeWriteChannel();
    if (!hexdump.waitForFinished(10000))
        return {QStringLiteral("hexdump did not finish")};
    QStringList lines = QString::fromLatin1(hexdump.readAllStandardOutput())
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines) {
        const qsizetype bar
            = line.contains(QLatin1Char('|')) ? line.indexOf(QLatin1Char('|')) : line.size();
        line = line.left(bar).toUpper() + line.mid(bar);
    }
    return lines;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class tst_DataCapture : public QObject
{
    Q_OBJECT

private slots:
    void dumpLayout_data();
    void dumpLayout();
    void setting_data();
    void setting();
    void rotation_data();
    void rotation();
    void wholeOrNothing_data();
    void wholeOrNothing();

private:
    QTemporaryDir m_dir;
};

void tst_DataCapture::dumpLayout_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QStringList>("lastLines");

    const QString peer = QStringLiteral("127.0.0.1:50123");
    QTest::newRow("0") << QByteArray() << false << "127.0.0.1" << received + "0バイト " + peer << 0
                       << QStringList();
    QTest::newRow("1, sent to IPv6")
        << QByteArray("A") << true << "::1" << stamp + " 送信 1バイト [::1]:50123" << 2
        << QStringList {"00000000  41                                                |A|",
                        "00000001"};
    QTest::newRow("15") << Counting(15, 0x30) << false << "127.0.0.1"
                        << received + "15バイト " + peer << 2
                        << QStringList {"00000000  30 31 32 33 34 35 36 37  38 39 3A 3B 3C 3D 3E "
                                        "    |0123456789:;<=>|",
                                        "0000000F"};
    QTest::newRow("16") << Counting(16, 0x30) << false << "127.0.0.1"
                        << received + "16バイト " + peer << 2
                        << QStringList {"00000000  30 31 32 33 34 35 36 37  38 39 3A 3B 3C 3D 3E "
                                        "3F  |0123456789:;<=>?|",
                                        "00000010"};
    QTest::newRow("17") << Counting(17, 0x30) << false << "127.0.0.1"
                        << received + "17バイト " + peer << 3
                        << QStringList {"00000000  30 31 32 33 34 35 36 37  38 39 3A 3B 3C 3D 3E "
                                        "3F  |0123456789:;<=>?|",
                                        "00000010  40                                           "
                                        "     |@|",
                                        "00000011"};
    QTest::newRow("2048") << Counting(2048) << false << "127.0.0.1"
                          << received + "2048バイト " + peer << 129
                          << QStringList {"000007F0  F0 F1 F2 F3 F4 F5 F6 F7  F8 F9 FA FB FC FD FE "
                                          "FF  |................|",
                                          "00000800"};
    QTest::newRow("3000") << Counting(3000) << false << "127.0.0.1"
                          << received + "3000バイト " + peer << 189
                          << QStringList {"00000BB0  B0 B1 B2 B3 B4 B5 B6 B7                      "
                                          "     |........|",
                                          "00000BB8"};
    // The edges of the printable range in the text column.
    QTest::newRow("0x10-0x2F") << Counting(32, 0x10) << false << "127.0.0.1"
                               << received + "32バイト " + peer << 3
                               << QStringList {
                                      "00000000  10 11 12 13 14 15 16 17  18 19 1A 1B 1C 1D "
                                      "1E 1F  |................|",
                                      "00000010  20 21 22 23 24 25 26 27  28 29 2A 2B 2C 2D "
                                      "2E 2F  | !\"#$%&'()*+,-./|",
                                      "00000020"};
    QTest::newRow("0x70-0x8F") << Counting(32, 0x70) << false << "127.0.0.1"
                               << received + "32バイト " + peer << 3
                               << QStringList {
                                      "00000000  70 71 72 73 74 75 76 77  78 79 7A 7B 7C 7D "
                                      "7E 7F  |pqrstuvwxyz{|}~.|",
                                      "00000010  80 81 82 83 84 85 86 87  88 89 8A 8B 8C 8D "
                                      "8E 8F  |................|",
                                      "00000020"};
}

void tst_DataCapture::dumpLayout()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, sent);
    QFETCH(QString, address);
    QFETCH(QString, header);
    QFETCH(int, lineCount);
    QFETCH(QStringList, lastLines);

    const QByteArray text
        = FormatCaptureBlock(stamp, sent ? CaptureDirection::Sent : CaptureDirection::Received,
                             bytes, FormatPeer(address, 50123));
    QVERIFY(text.endsWith("\r\n"));
    QStringList lines = QString::fromUtf8(text.chopped(2)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.takeFirst(), header);
    QCOMPARE(lines.size(), lineCount);
    QCOMPARE(lines.mid(lineCount - lastLines.size()), lastLines);
    const QString hexdump = QStandardPaths::findExecutable(QStringLiteral("hexdump"));
    if (!hexdump.isEmpty())
        QCOMPARE(lines, HexdumpLines(hexdump, bytes));
}

void tst_DataCapture::setting_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("on");

    QTest::newRow("1") << QByteArray("CaptureData=1") << true;
    QTest::newRow("blanks, quotes, lower case") << QByteArray("capturedata = \"1\" ") << true;
    QTest::newRow("0") << QByteArray("CaptureData=0") << false;
    QTest::newRow("empty") << QByteArray("CaptureData=") << false;
    QTest::newRow("text") << QByteArray("CaptureData=on") << false;
    QTest::newRow("1.0 is not 1") << QByteArray("CaptureData=1.0") << false;
    QTest::newRow("missing key") << QByteArray("LogGenerations=10") << false;
    QTest::newRow("no file") << QByteArray() << false;
}

void tst_DataCapture::setting()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, on);

    const QString ini = m_dir.filePath(QStringLiteral("setting.ini"));
    QFile::remove(ini);
    QFile file(ini);
    QVERIFY(line.isNull()
            || (file.open(QIODevice::WriteOnly)
                && file.write("[Port]\r\nTcpPort=5000\r\n[Maintenance]\r\n" + line + "\r\n") > 0));
    file.close();
    QCOMPARE(ReadCaptureSetting(ini), on);

    // The menu's write takes effect at once and keeps every other key.
    QVERIFY(WriteCaptureSetting(ini, !on));
    QCOMPARE(ReadCaptureSetting(ini), !on);
    QCOMPARE(ReadIniString(QStringLiteral("Port"), QStringLiteral("TcpPort"), ini),
             line.isNull() ? QString() : QStringLiteral("5000"));
    QVERIFY(!WriteCaptureSetting(m_dir.filePath(QStringLiteral("gone/setting.ini")), on));
}

void tst_DataCapture::rotation_data()
{
    QTest::addColumn<qint64>("excess");
    QTest::addColumn<bool>("rotated");

    QTest::newRow("exactly the limit stays") << qint64(0) << false;
    QTest::newRow("one byte over rotates") << qint64(1) << true;
}

void tst_DataCapture::rotation()
{
    QFETCH(qint64, excess);
    QFETCH(bool, rotated);

    const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder));
    InitLogging(folder);
    const QString capture = CaptureFilePath(1);
    QCOMPARE(capture, folder + QStringLiteral("/Kiv_TcpRcvData.txt"));

    // After the block the file holds the limit plus the excess.
    const qint64 limit = 1024 * 1024;
    const QString peer = QStringLiteral("127.0.0.1:50123");
    const qint64 block = FormatCaptureBlock(stamp, CaptureDirection::Sent, "AB", peer).size();
    QFile file(capture);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(limit - block + excess));
    file.close();
    intLogMaxSize = 1;
    intLogGenerations = 3;
    CaptureBlock(1, CaptureDirection::Sent, "AB", peer, stamp);

    QCOMPARE(QFileInfo::exists(capture), !rotated);
    QCOMPARE(QFileInfo(rotated ? capture + ".1" : capture).size(), limit + excess);
    QVERIFY(!QFileInfo::exists(strLogFile[1]));
}

void tst_DataCapture::wholeOrNothing_data()
{
    QTest::addColumn<int>("room");
    QTest::addColumn<bool>("whole");

    QTest::newRow("exact fit") << 100 << true;
    QTest::newRow("cut part way") << 40 << false;
    QTest::newRow("no room at all") << 0 << false;
}

void tst_DataCapture::wholeOrNothing()
{
    QFETCH(int, room);
    QFETCH(bool, whole);

    // A file size limit ends the write where the disk would be full.
    const QString path = m_dir.filePath(QStringLiteral("append.txt"));
    const QByteArray before(100, 'b');
    const QByteArray appended(100, 'a');
    QFile::remove(path);
    QVERIFY(AppendWhole(path, before));
    rlimit previousLimit {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit smallLimit = previousLimit;
    smallLimit.rlim_cur = rlim_t(before.size() + room);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &smallLimit), 0);
    const bool written = AppendWhole(path, appended);
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(written, whole);
    QCOMPARE(ReadAll(path), whole ? before + appended : before);
}

QTEST_GUILESS_MAIN(tst_DataCapture)
#include "tst_datacapture.moc"
