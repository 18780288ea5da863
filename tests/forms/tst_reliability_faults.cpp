#include "support/Controls.h"
#include "support/EventWait.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"

#include "forms/frmMain.h"
#include "platform/SocketControl.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QtTest>

namespace {
enum class Fault {
    LogFolderDeleted,
    FolderInPlaceOfLogFile,
    LogDiskFull,
    LiveFileCannotBeRenamed,
    GenerationCannotBeRenamed,
    CaptureCannotRotate,
};

// Lines written straight into the log to push it past its size limit.
const QByteArray fillerLine = "1001 00/01/01 00:00:00.0 filler filler\r\n";
constexpr int blocksPerPhase = 3;
// Stands for a log line of a rotation that failed: a description, then the handler's tag.
const QString rotationErrorLine = QStringLiteral("(wscRecv_DataArrival)");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool appendFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(bytes) == bytes.size();
}

// The message field of each line, oldest generation first; the filler left out.
QStringList messagesOf(const QStringList &files)
{
    QStringList messages;
    for (const QString &path : files) {
        for (const QByteArray &line : readFile(path).split('\n')) {
            if (line.isEmpty() || line == fillerLine.chopped(1))
                continue;
            messages.append(QString::fromUtf8(line.chopped(1)).section(QLatin1Char(' '), 4));
        }
    }
    return messages;
}
} // namespace

Q_DECLARE_METATYPE(Fault)

// Receiving goes on while the log cannot be written or rotated; only the lines the log could
// not take are missing.
class ReliabilityFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void receivingSurvivesLogFaults_data();
    void receivingSurvivesLogFaults();

private:
    // Sends one phase of blocks, each waited for; returns the log lines they should produce.
    QStringList sendPhase(LoopbackClient &client, int firstSize, bool rotationFails);
    QString generation(int number) const
    {
        return m_folder->logFile() + QLatin1Char('.') + QString::number(number);
    }

    std::unique_ptr<ListeningWindow> m_window;
    const ProgramFolderFixture *m_folder = nullptr;
    frmMain *m_form = nullptr;
};

void ReliabilityFaultsTest::init()
{
    m_window = std::make_unique<ListeningWindow>(1, 3); // 1 MiB, 3 generations
    QVERIFY(m_window->isValid());
    QVERIFY(m_window->startListening());
    m_folder = &m_window->folder;
    m_form = &m_window->form;
}

void ReliabilityFaultsTest::cleanup()
{
    m_window.reset();
}

QStringList ReliabilityFaultsTest::sendPhase(LoopbackClient &client, int firstSize,
                                             bool rotationFails)
{
    QStringList expected;
    for (int block = 0; block < blocksPerPhase; ++block) {
        const int size = firstSize + block;
        const QByteArray bytes(size, char('a' + block));
        const qsizetype before = client.received.size();
        client.send(bytes);
        if (!WaitUntil([&] { return client.received.size() >= before + size; })
            || client.received.mid(before) != bytes)
            return {QStringLiteral("echo of %1 bytes missing or wrong").arg(size)};
        expected << QString::number(size) + QStringLiteral("バイトのデータ受信")
                 << QString::number(size) + QStringLiteral("バイトの応答送信");
        if (rotationFails)
            expected << rotationErrorLine;
    }
    return expected;
}

void ReliabilityFaultsTest::receivingSurvivesLogFaults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("Log folder deleted") << Fault::LogFolderDeleted;
    QTest::newRow("a folder where the log file goes") << Fault::FolderInPlaceOfLogFile;
    QTest::newRow("log writes fail: disk full") << Fault::LogDiskFull;
    QTest::newRow("live file cannot become generation 1") << Fault::LiveFileCannotBeRenamed;
    QTest::newRow("generation 1 cannot become generation 2") << Fault::GenerationCannotBeRenamed;
    QTest::newRow("the capture file cannot rotate") << Fault::CaptureCannotRotate;
}

void ReliabilityFaultsTest::receivingSurvivesLogFaults()
{
    QFETCH(Fault, fault);
    const bool rotationFault = fault == Fault::LiveFileCannotBeRenamed
        || fault == Fault::GenerationCannotBeRenamed || fault == Fault::CaptureCannotRotate;
    const QString log = m_folder->logFile();
    const QString logFolder = QFileInfo(log).path();
    const QString capture = logFolder + QStringLiteral("/Kiv_TcpRcvData.txt");
    const QString aside = m_folder->path() + QStringLiteral("/log-aside.txt");
    const QByteArray oversize = fillerLine.repeated(1024 * 1024 / fillerLine.size() + 1);

    LoopbackClient client;
    QVERIFY(client.connectTo(m_window->port));
    const QStringList before = sendPhase(client, 10, false);
    QCOMPARE(messagesOf({log}), before);

    switch (fault) {
    case Fault::LogFolderDeleted:
        QVERIFY(QDir(logFolder).removeRecursively());
        break;
    case Fault::FolderInPlaceOfLogFile:
        QVERIFY(QFile::rename(log, aside));
        QVERIFY(QDir().mkdir(log));
        break;
    case Fault::LogDiskFull:
        QVERIFY(QFile::rename(log, aside));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), log));
        break;
    case Fault::LiveFileCannotBeRenamed:
        QVERIFY(appendFile(log, oversize));
        QVERIFY(QDir().mkdir(generation(1)));
        break;
    case Fault::GenerationCannotBeRenamed:
        QVERIFY(appendFile(log, oversize));
        QVERIFY(appendFile(generation(1), fillerLine));
        QVERIFY(QDir().mkdir(generation(2)));
        break;
    case Fault::CaptureCannotRotate:
        QVERIFY(appendFile(log, oversize));
        QVERIFY(appendFile(capture, oversize));
        QVERIFY(QDir().mkdir(capture + QStringLiteral(".1")));
        Ctl<QAction>(*m_form, "CaptureData")->trigger();
        break;
    }
    const QStringList during = sendPhase(client, 20, rotationFault);
    // The log rotates on its own while the capture file cannot.
    if (fault == Fault::CaptureCannotRotate)
        QVERIFY(QFileInfo(generation(1)).size() > oversize.size());
    QCOMPARE(Socket(*m_form, 0)->state(), int(SocketControl::sckListening));
    QCOMPARE(Socket(*m_form, 1)->state(), int(SocketControl::sckConnected));

    // Lift the fault; what the log kept while it stood. The lines it lost are owned up to by
    // the first line it takes again.
    QStringList kept;
    const QString lostLines
        = QStringLiteral("ログに書き込めなかった行が%1行ありました。(WriteLog)").arg(during.size());
    switch (fault) {
    case Fault::LogFolderDeleted:
        QVERIFY(!QFileInfo::exists(logFolder)); // logging never creates the folder
        QVERIFY(QDir().mkdir(logFolder));
        kept << lostLines;
        break;
    case Fault::FolderInPlaceOfLogFile:
        QVERIFY(QDir(log).isEmpty());
        QVERIFY(QDir().rmdir(log));
        QVERIFY(QFile::rename(aside, log));
        kept = before + QStringList {lostLines};
        break;
    case Fault::LogDiskFull:
        QVERIFY(QFile::remove(log));
        QVERIFY(QFile::rename(aside, log));
        kept = before + QStringList {lostLines};
        break;
    case Fault::LiveFileCannotBeRenamed:
        QVERIFY(QDir().rmdir(generation(1)));
        kept = before + during;
        break;
    case Fault::GenerationCannotBeRenamed:
        QCOMPARE(readFile(generation(1)), fillerLine);
        QVERIFY(QDir().rmdir(generation(2)));
        kept = before + during;
        break;
    case Fault::CaptureCannotRotate:
        QVERIFY(QDir().rmdir(capture + QStringLiteral(".1")));
        kept = before + during;
        break;
    }
    const QStringList expected = kept + sendPhase(client, 30, false);
    const QStringList actual = messagesOf({generation(2), generation(1), log});
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected.at(i) == rotationErrorLine) {
            // A run-time error's description, then the handler's tag.
            QVERIFY2(actual.at(i).endsWith(rotationErrorLine)
                         && actual.at(i).size() > rotationErrorLine.size(),
                     qPrintable(actual.at(i)));
        } else {
            QCOMPARE(actual.at(i), expected.at(i));
        }
    }

    // Rotation resumed with the first block after the fault: the oversized file became
    // generation 1, and generation 1 moved up.
    if (rotationFault) {
        QVERIFY(QFileInfo(generation(1)).size() > oversize.size());
        QVERIFY(QFileInfo(log).size() < oversize.size());
    }
    if (fault == Fault::GenerationCannotBeRenamed)
        QCOMPARE(readFile(generation(2)), fillerLine);
    QVERIFY(m_window->boxes.boxes.isEmpty());
}

QTEST_MAIN(ReliabilityFaultsTest)
#include "tst_reliability_faults.moc"
