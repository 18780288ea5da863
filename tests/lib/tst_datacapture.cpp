#include "lib/AppendFile.h"
#include "lib/DataCapture.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"
#include "platform/RuntimeError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString stamp = QStringLiteral("26/12/07 16:31:11.4");

// count bytes counting up from first, wrapping after 0xFF.
QByteArray Counting(int count, int first = 0)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (int index = 0; index < count; ++index)
        bytes[index] = char(first + index);
    return bytes;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Another Parvel appending to the same file as its lock allows. It comes in where this process's
// write meets the file size limit: between that write and its cut-back.
struct OtherWriter
{
    QByteArray path;
    QByteArray line;
    rlimit limit {};
    bool wrote = false;
};
OtherWriter otherWriter;

void AppendAsOtherWriter(int)
{
    ::setrlimit(RLIMIT_FSIZE, &otherWriter.limit);
    const int descriptor = ::open(otherWriter.path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
        otherWriter.wrote
            = ::write(descriptor, otherWriter.line.constData(), size_t(otherWriter.line.size()))
            == otherWriter.line.size();
    ::close(descriptor);
}
} // namespace

class tst_DataCapture : public QObject
{
    Q_OBJECT

private slots:
    void dumpLayout_data();
    void dumpLayout();
    void rotation_data();
    void rotation();
    void wholeOrNothing_data();
    void wholeOrNothing();
    void cutBackSparesAnotherWritersLine();
    void onlyRegularFilesTakeBytes_data();
    void onlyRegularFilesTakeBytes();

private:
    QTemporaryDir m_dir;
};

void tst_DataCapture::dumpLayout_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QString>("lastLine");

    QTest::newRow("0") << QByteArray() << 0 << QString();
    QTest::newRow("1") << QByteArray("A") << 2
                       << "00000000  41                                                |A|";
    QTest::newRow("15")
        << Counting(15, 0x30) << 2
        << "00000000  30 31 32 33 34 35 36 37  38 39 3A 3B 3C 3D 3E     |0123456789:;<=>|";
    QTest::newRow("16")
        << Counting(16, 0x30) << 2
        << "00000000  30 31 32 33 34 35 36 37  38 39 3A 3B 3C 3D 3E 3F  |0123456789:;<=>?|";
    QTest::newRow("17") << Counting(17, 0x30) << 3
                        << "00000010  40                                                |@|";
    QTest::newRow("2048")
        << Counting(2048) << 129
        << "000007F0  F0 F1 F2 F3 F4 F5 F6 F7  F8 F9 FA FB FC FD FE FF  |................|";
    QTest::newRow("3000") << Counting(3000) << 189
                          << "00000BB0  B0 B1 B2 B3 B4 B5 B6 B7  "
                             "                         |........|";
    // The edges of the printable range.
    QTest::newRow("0x18-0x27")
        << Counting(16, 0x18) << 2
        << "00000000  18 19 1A 1B 1C 1D 1E 1F  20 21 22 23 24 25 26 27  |........ !\"#$%&'|";
    QTest::newRow("0x78-0x87")
        << Counting(16, 0x78) << 2
        << "00000000  78 79 7A 7B 7C 7D 7E 7F  80 81 82 83 84 85 86 87  |xyz{|}~.........|";
}

void tst_DataCapture::dumpLayout()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, lineCount);
    QFETCH(QString, lastLine);

    const QString peer = QStringLiteral("127.0.0.1:50123");
    const QByteArray text = FormatCaptureBlock(stamp, CaptureDirection::Received, bytes, peer);
    QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.takeFirst(),
             stamp + " 受信 " + QString::number(bytes.size()) + "バイト " + peer);
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.size(), lineCount);
    if (lineCount > 0) {
        QCOMPARE(lines.at(lineCount - 2), lastLine);
        QCOMPARE(lines.last(),
                 QStringLiteral("%1").arg(bytes.size(), 8, 16, QLatin1Char('0')).toUpper());
    }
}

void tst_DataCapture::rotation_data()
{
    QTest::addColumn<qint64>("excess");
    QTest::addColumn<QString>("blocked"); // a folder is in the way of this file's generation 1

    QTest::newRow("exactly the limit stays") << qint64(0) << QString();
    QTest::newRow("one byte over rotates") << qint64(1) << QString();
    QTest::newRow("capture blocked, the log still rotates")
        << qint64(1) << QStringLiteral("capture");
    QTest::newRow("log blocked, the capture still rotates") << qint64(1) << QStringLiteral("log");
}

void tst_DataCapture::rotation()
{
    QFETCH(qint64, excess);
    QFETCH(QString, blocked);

    const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder));
    InitLogging(folder);
    intToolIndex = 1;
    const QString capture = CaptureFilePath(1);
    QCOMPARE(capture, folder + QStringLiteral("/Kiv_TcpRcvData.txt"));

    // The file holds the limit and the excess once the exchange is in: the block as received,
    // then as sent, each stamped with its own time in the log's form.
    const QDateTime receivedAt(QDate(2026, 12, 7), QTime(16, 31, 11, 450));
    const QDateTime sentAt = receivedAt.addMSecs(100);
    const QByteArray dump = "00000000  41 42" + QByteArray(45, ' ') + "|AB|\r\n00000002\r\n";
    const QByteArray block = FormatLogTimestamp(receivedAt).toUtf8()
        + " 受信 2バイト [::1]:50123\r\n" + dump + FormatLogTimestamp(sentAt).toUtf8()
        + " 送信 2バイト [::1]:50123\r\n" + dump;
    QFile file(capture);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(1048576 - block.size() + excess));
    file.close();
    const QString log = strLogFile[1];
    QFile logFile(log);
    QVERIFY(logFile.open(QIODevice::WriteOnly) && logFile.resize(1048576 + excess));
    logFile.close();
    if (!blocked.isEmpty())
        QVERIFY(QDir().mkdir((blocked == QLatin1String("log") ? log : capture) + ".1"));
    intLogMaxSize = 1;
    intLogGenerations = 3;
    const QByteArray echoed("AB");
    CaptureExchange(1, echoed, FormatPeer(QStringLiteral("::1"), 50123),
                    receivedAt.toMSecsSinceEpoch(), echoed, sentAt.toMSecsSinceEpoch());
    RotateToolFiles(1, true, "(wscRecv_DataArrival)");

    const bool captureRotates = excess > 0 && blocked != QLatin1String("capture");
    const bool logRotates = excess > 0 && blocked != QLatin1String("log");
    QCOMPARE(QFileInfo::exists(capture), !captureRotates);
    QFile written(captureRotates ? capture + ".1" : capture);
    QVERIFY(written.open(QIODevice::ReadOnly) && written.seek(written.size() - block.size()));
    QCOMPARE(written.readAll(), block);
    QCOMPARE(QFileInfo(log + ".1").isFile(), logRotates);
    // A refusal is logged as the handler's trapped error, and nothing else is.
    const QByteArray refusal = (ErrorText::fileExists + "(wscRecv_DataArrival)\r\n").toUtf8();
    QCOMPARE(ReadAll(log + ".1").append(ReadAll(log)).endsWith(refusal), !blocked.isEmpty());
}

void tst_DataCapture::wholeOrNothing_data()
{
    QTest::addColumn<int>("room");

    QTest::newRow("exact fit") << 100;
    QTest::newRow("cut part way") << 40;
    QTest::newRow("no room at all") << 0;
}

void tst_DataCapture::wholeOrNothing()
{
    QFETCH(int, room);

    // A file size limit stops the write part way, as a full disk would.
    const QString path = m_dir.filePath(QStringLiteral("append.txt"));
    QFile::remove(path);
    QVERIFY(AppendWhole(path, QByteArray(100, 'b')));
    rlimit previousLimit {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit smallLimit = previousLimit;
    smallLimit.rlim_cur = rlim_t(100 + room);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &smallLimit), 0);
    const bool whole = AppendWhole(path, QByteArray(100, 'a'));
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(whole, room >= 100);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(100, 'b') + QByteArray(whole ? 100 : 0, 'a'));
}

void tst_DataCapture::cutBackSparesAnotherWritersLine()
{
    const QString path = m_dir.filePath(QStringLiteral("shared.txt"));
    QFile::remove(path);
    QVERIFY(AppendWhole(path, QByteArray(100, 'b')));
    otherWriter = {QFile::encodeName(path), "another writer's line\r\n", {}, false};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &otherWriter.limit), 0);
    rlimit smallLimit = otherWriter.limit;
    smallLimit.rlim_cur = 140;
    struct sigaction other
    {
    };
    struct sigaction previous
    {
    };
    other.sa_handler = AppendAsOtherWriter;
    QCOMPARE(sigaction(SIGXFSZ, &other, &previous), 0);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &smallLimit), 0);
    const bool whole = AppendWhole(path, QByteArray(100, 'a'));
    setrlimit(RLIMIT_FSIZE, &otherWriter.limit);
    sigaction(SIGXFSZ, &previous, nullptr);

    QVERIFY(!whole);
    // Kept waiting by the lock, the other writer appends once this one is done.
    if (!otherWriter.wrote)
        QVERIFY(AppendWhole(path, otherWriter.line));
    QCOMPARE(ReadAll(path), QByteArray(100, 'b') + otherWriter.line);
}

void tst_DataCapture::onlyRegularFilesTakeBytes_data()
{
    QTest::addColumn<QString>("target");

    QTest::newRow("FIFO without a reader") << QStringLiteral("fifo");
    QTest::newRow("FIFO with a reader") << QStringLiteral("fifo read");
    QTest::newRow("device") << QStringLiteral("device");
    QTest::newRow("link to a file elsewhere") << QStringLiteral("link");
    QTest::newRow("locked by another program") << QStringLiteral("locked");
}

void tst_DataCapture::onlyRegularFilesTakeBytes()
{
    QFETCH(QString, target);

    const QString path = m_dir.filePath(QStringLiteral("target"));
    QFile::remove(path);
    const QByteArray name = QFile::encodeName(path);
    int held = -1; // the FIFO's reader or the lock's holder
    const auto release = qScopeGuard([&] { ::close(held); });
    if (target.startsWith(QLatin1String("fifo"))) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        if (target == QLatin1String("fifo read"))
            QVERIFY((held = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) >= 0);
    } else if (target == QLatin1String("device")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
    } else if (target == QLatin1String("link")) {
        QVERIFY(AppendWhole(m_dir.filePath(QStringLiteral("elsewhere")), "kept\r\n"));
        QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("elsewhere")), path));
    } else {
        QVERIFY(AppendWhole(path, "kept\r\n"));
        QVERIFY((held = ::open(name.constData(), O_RDONLY | O_CLOEXEC)) >= 0);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
    }

    // Comes back at once: nothing waits for a reader or a lock.
    QVERIFY(!AppendWhole(path, "lost\r\n"));
    char byte = 0;
    if (target == QLatin1String("fifo read"))
        QVERIFY(::read(held, &byte, 1) <= 0);
    if (target == QLatin1String("locked") || target == QLatin1String("link"))
        QCOMPARE(ReadAll(path), QByteArray("kept\r\n"));
}

QTEST_GUILESS_MAIN(tst_DataCapture)
#include "tst_datacapture.moc"
