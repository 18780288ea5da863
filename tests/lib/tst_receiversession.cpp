// Links no widgets: the receiver's rules with real loopback peers and a real log.
#include "support/EchoLog.h"
#include "support/EchoStream.h"
#include "support/EventWait.h"
#include "support/LoopbackClient.h"
#include "support/LoopbackPorts.h"
#include "support/ProcessResources.h"
#include "support/ProgramFolderFixture.h"

#include "lib/DataCapture.h"
#include "lib/ReceiverSession.h"
#include "lib/modLogging.h"
#include "platform/PeerConnection.h"
#include "platform/RuntimeError.h"
#include "platform/SocketControl.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
const QString received = QStringLiteral("%1バイトのデータ受信");
const QString answered = QStringLiteral("%1バイトの応答送信");
const QString loneByteLine = QStringLiteral("通信エラーが発生しました。");
const QRegularExpression dropLine(
    QStringLiteral("^送信できなかった応答データ(\\d+)バイトを破棄しました。\\(wscRecv_Close\\)$"));

QByteArray patternBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

bool machineHasIpv6Loopback()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

void resetOnClose(LoopbackClient &peer)
{
    const linger reset {1, 0};
    ::setsockopt(int(peer.socket().socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                 sizeof reset);
    peer.socket().abort();
}

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

// Sends blocks of firstSize bytes and more, each echo waited for; the log lines they should make.
QStringList sendPhase(LoopbackClient &client, int firstSize, bool rotationFails)
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
        expected << received.arg(size) << answered.arg(size);
        if (rotationFails)
            expected << rotationErrorLine;
    }
    return expected;
}

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

class tst_ReceiverSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answers_data();
    void answers();
    void answersByRule_data();
    void answersByRule();
    void loneByte_data();
    void loneByte();
    void loneBytesWithClosesKeepTheLogWithinItsLimit();
    void receivingSurvivesLogFaults_data();
    void receivingSurvivesLogFaults();
    void historyTellsTheConnectionsStory();
    void newestPeerWins_data();
    void newestPeerWins();
    void peerResetRightAfterSendingLeavesTheSessionServing();
    void peerResetWithEchoQueuedLeavesOneDropLine();
    void stopKeepsTheConnectedPeer();
    void startRefusedOnABusyPortThenCountsRestart();
    void listenerErrorListensAgain();
    void peerFindsTheReceiveLineWithItsEcho();
    void longStreamIsEchoedByteExact();
    void replacedPeersLeakNothing();
    void replacedPeersThatNeverReadDoNotPileUp();

private:
    QStringList messages() const { return m_folder->logMessages(); }
    QString generationPath(int number) const
    {
        return m_folder->logFile() + QLatin1Char('.') + QString::number(number);
    }
    SocketControl *socket(int index) const
    {
        return m_session->findChild<SocketControl *>(QStringLiteral("wscRecv%1").arg(index));
    }

    std::unique_ptr<ProgramFolderFixture> m_folder;
    std::unique_ptr<ReceiverSession> m_session;
    quint16 m_port = 0;
};

void tst_ReceiverSession::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    QVERIFY(m_folder->isValid());
    m_session = std::make_unique<ReceiverSession>();
    m_session->setAnswerMode(AnswerMode::Echo);
    QSignalSpy listening(m_session.get(), &ReceiverSession::listeningChanged);
    m_port = FreeLoopbackPort();
    m_session->start(m_port);
    QCOMPARE(m_session->listeningPort(), m_port);
    QCOMPARE(listening.size(), 1);
}

void tst_ReceiverSession::cleanup()
{
    m_session.reset();
    m_folder.reset();
}

void tst_ReceiverSession::answers_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QByteArray>("answer");

    const QByteArray abc("ABC");
    const QByteArray reply("\x02\x06\x03\x00\xFF", 5); // not as long as the block
    const QByteArray long3000 = patternBytes(3000, 7);
    const QString ipv4 = QStringLiteral("127.0.0.1");
    const int echo = int(AnswerMode::Echo);
    const int custom = int(AnswerMode::CustomReply);
    const int nothing = int(AnswerMode::Nothing);
    QTest::newRow("echo") << echo << QByteArray() << ipv4 << abc << abc;
    QTest::newRow("echo of 3000 bytes, whole") << echo << reply << ipv4 << long3000 << long3000;
    QTest::newRow("echo to an IPv6 peer") << echo << QByteArray() << QStringLiteral("::1")
                                          << QByteArray("\x00\xFF"
                                                        "ABC",
                                                        5)
                                          << QByteArray("\x00\xFF"
                                                        "ABC",
                                                        5);
    QTest::newRow("nothing") << nothing << reply << ipv4 << abc << QByteArray();
    QTest::newRow("custom reply") << custom << reply << ipv4 << abc << reply;
    QTest::newRow("custom reply to a longer block") << custom << reply << ipv4 << long3000 << reply;
    QTest::newRow("custom without a reply")
        << custom << QByteArray() << ipv4 << abc << QByteArray();
}

void tst_ReceiverSession::answers()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, reply);
    QFETCH(QString, address);
    QFETCH(QByteArray, block);
    QFETCH(QByteArray, answer);
    if (address.contains(u':') && !machineHasIpv6Loopback())
        QSKIP("this machine has no IPv6 loopback (::1)");

    m_session->setAnswerMode(AnswerMode(mode));
    m_session->setCustomReply(reply);
    QSignalSpy connected(m_session.get(), &ReceiverSession::peerConnected);
    QSignalSpy recorded(m_session.get(), &ReceiverSession::recordChanged);
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port, address));
    QTRY_COMPARE(connected.size(), 1);
    QCOMPARE(connected.first().at(0).toString(), address);
    QCOMPARE(connected.first().at(1).value<quint16>(), client.socket().localPort());
    client.send(block);
    QVERIFY(WaitUntil([&] { return !recorded.isEmpty(); }));

    QStringList lines {received.arg(block.size())};
    if (!answer.isEmpty()) {
        QVERIFY(client.waitForReceived(answer.size()));
        lines << answered.arg(answer.size());
    }
    QTest::qWait(20); // nothing more comes back
    QCOMPARE(client.received, answer);
    QCOMPARE(messages(), lines);

    const ReceiveRecord &record = m_session->record();
    QCOMPARE(record.received, block);
    QCOMPARE(record.blocksReceived, 1);
    QCOMPARE(record.bytesReceived, block.size());
    QCOMPARE(record.sentSerial == record.serial, !answer.isEmpty());
    QCOMPARE(record.sent, answer);
    QCOMPARE(record.blocksSent, answer.isEmpty() ? 0 : 1);
    QCOMPARE(record.bytesSent, answer.size());
    QVERIFY(record.receivedAtMs > 0);
}

// The first rule that matches answers, through the echo's path (log lines, record, capture);
// else the answer mode does.
void tst_ReceiverSession::answersByRule_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("rule");

    const int echo = int(AnswerMode::Echo);
    const QByteArray command("\x02\x43\x00\x07\x31\x03", 6);
    QTest::newRow("command: its transaction number back")
        << echo << command << QByteArray("\x06\x00\x07", 3) << 1;
    QTest::newRow("status query, before the custom reply")
        << int(AnswerMode::CustomReply) << QByteArray("\x02S?\x03") << QByteArray("\x02S00\x03")
        << 0;
    QTest::newRow("no rule: echo") << echo << QByteArray("ABC") << QByteArray("ABC") << -1;
    QTest::newRow("no rule: nothing")
        << int(AnswerMode::Nothing) << QByteArray("ABC") << QByteArray() << -1;
    QTest::newRow("rule off: echo")
        << echo << QByteArray("\x0D\x0A") << QByteArray("\x0D\x0A") << -1;
    QTest::newRow("too short for the copy: echo")
        << echo << QByteArray("\x02\x43\x00", 3) << QByteArray("\x02\x43\x00", 3) << -1;
}

void tst_ReceiverSession::answersByRule()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, block);
    QFETCH(QByteArray, answer);
    QFETCH(int, rule);

    m_session->setRules({{true, RuleKind::Equals, "02 53 3F 03", "02 53 30 30 03"},
                         {true, RuleKind::Starts, "02 43 ?? ??", "06 [2-3]"},
                         {false, RuleKind::Contains, "0D 0A", "15"}});
    m_session->setAnswerMode(AnswerMode(mode));
    m_session->setCustomReply("!");
    m_session->setCapture(true);
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    client.send(block);
    QTRY_COMPARE(m_session->record().blocksReceived, 1);
    QStringList lines {received.arg(block.size())};
    if (!answer.isEmpty()) {
        QVERIFY(client.waitForReceived(answer.size()));
        lines << answered.arg(answer.size());
    }
    QCOMPARE(client.received, answer);
    QCOMPARE(messages(), lines);
    QCOMPARE(m_session->record().sentRule, answer.isEmpty() ? -1 : rule);
    QFile capture(CaptureFilePath(1));
    QVERIFY(capture.open(QIODevice::ReadOnly));
    const QString sentHeader = QStringLiteral(" 送信 %1バイト 127.0.0.1:%2")
                                   .arg(answer.size())
                                   .arg(client.socket().localPort())
        + (rule >= 0 ? QStringLiteral(" ルール %1").arg(rule + 1) : QString()) + "\r\n";
    const QString captured = QString::fromUtf8(capture.readAll());
    QVERIFY2(answer.isEmpty() ? !captured.contains(QStringLiteral(" 送信 "))
                              : captured.contains(sentHeader),
             qPrintable(captured));
}

void tst_ReceiverSession::loneByte_data()
{
    QTest::addColumn<bool>("loneByteIsBlock");
    QTest::addColumn<QByteArrayList>("sends");
    QTest::addColumn<bool>("finishes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("echo");

    QTest::newRow("held, then read with the next block")
        << false << QByteArrayList {"X", "YZ"} << false
        << QStringList {loneByteLine, received.arg(3), answered.arg(3)} << QByteArray("XYZ");
    QTest::newRow("two lone bytes make a block")
        << false << QByteArrayList {"X", "Y"} << false
        << QStringList {loneByteLine, received.arg(2), answered.arg(2)} << QByteArray("XY");
    QTest::newRow("two bytes are a block")
        << false << QByteArrayList {"XY"} << false << QStringList {received.arg(2), answered.arg(2)}
        << QByteArray("XY");
    QTest::newRow("option on: a lone byte is a block")
        << true << QByteArrayList {"X", "Y"} << false
        << QStringList {received.arg(1), answered.arg(1), received.arg(1), answered.arg(1)}
        << QByteArray("XY");
    // Nothing can follow it: the last byte before the half-close is the last block.
    QTest::newRow("held, then the peer finishes")
        << false << QByteArrayList {"AB", "\x04"} << true
        << QStringList {received.arg(2), answered.arg(2), loneByteLine, received.arg(1),
                        answered.arg(1)}
        << QByteArray("AB\x04");
}

void tst_ReceiverSession::loneByte()
{
    QFETCH(bool, loneByteIsBlock);
    QFETCH(QByteArrayList, sends);
    QFETCH(bool, finishes);
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, echo);

    m_session->setReceiveLoneByte(loneByteIsBlock);
    QSignalSpy held(m_session.get(), &ReceiverSession::loneByteHeld);
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    for (const QByteArray &bytes : sends) {
        const qsizetype linesBefore = messages().size();
        client.send(bytes);
        QVERIFY(WaitUntil([&] { return messages().size() > linesBefore; }));
    }
    if (finishes)
        QCOMPARE(::shutdown(int(client.socket().socketDescriptor()), SHUT_WR), 0);
    QVERIFY(client.waitForReceived(echo.size()));
    QCOMPARE(client.received, echo);
    QVERIFY(WaitUntil([&] { return messages().size() == lines.size(); }));
    QCOMPARE(messages(), lines);
    QCOMPARE(held.size(), int(lines.count(loneByteLine)));
    QCOMPARE(m_session->record().received, loneByteIsBlock || finishes ? echo.right(1) : echo);
}

void tst_ReceiverSession::historyTellsTheConnectionsStory()
{
    LoopbackClient older;
    QVERIFY(older.connectTo(m_port));
    older.send("X");
    QVERIFY(WaitUntil([&] { return m_session->byteHeld(); }));
    older.send("YZ");
    QVERIFY(older.waitForReceived(3));
    QVERIFY(!m_session->byteHeld());
    const QString olderPeer = QStringLiteral("127.0.0.1:%1").arg(older.socket().localPort());
    LoopbackClient newer;
    QVERIFY(newer.connectTo(m_port));
    QVERIFY(older.waitForDisconnected());
    newer.send("two!");
    QVERIFY(newer.waitForReceived(4));
    const QString newerPeer = QStringLiteral("127.0.0.1:%1").arg(newer.socket().localPort());
    newer.socket().disconnectFromHost();
    const ExchangeHistory &history = m_session->history();
    QVERIFY(WaitUntil([&] {
        return history.size() > 0
            && history.at(history.size() - 1).kind == ExchangeKind::Disconnected;
    }));

    QStringList story;
    for (qsizetype index = 0; index < history.size(); ++index) {
        const Exchange &row = history.at(index);
        story += ExchangeTexts::Direction(row.kind) + QLatin1Char(' ') + row.peer + QLatin1Char(' ')
            + QString::fromLatin1(row.bytes);
    }
    const auto line = [](const char *kind, const QString &peer, const char *bytes = "") {
        return QString::fromUtf8(kind) + QLatin1Char(' ') + peer + QLatin1Char(' ')
            + QLatin1String(bytes);
    };
    QCOMPARE(story,
             QStringList({line("接続", olderPeer), line("保留", olderPeer),
                          line("受信", olderPeer, "XYZ"), line("送信", olderPeer, "XYZ"),
                          line("切替", olderPeer), line("接続", newerPeer),
                          line("受信", newerPeer, "two!"), line("送信", newerPeer, "two!"),
                          line("切断", newerPeer)}));
    // The history keeps the blocks the record noted, not copies of them.
    QCOMPARE(history.at(6).bytes.constData(), m_session->record().received.constData());
    // A new start tells a new story.
    m_session->stop();
    m_session->start(m_port);
    QCOMPARE(history.size(), 0);
}

void tst_ReceiverSession::loneBytesWithClosesKeepTheLogWithinItsLimit()
{
    intLogMaxSize = 1;
    intLogGenerations = 3;
    const QString log = m_folder->logFile();
    {
        QFile full(log); // right at the limit: the next line takes it over
        QVERIFY(full.open(QIODevice::WriteOnly));
        QVERIFY(full.resize(1024 * 1024));
    }
    const auto loneByteLines = [&] {
        qsizetype lines = 0;
        for (const QString &path : {log, log + QStringLiteral(".1")}) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                lines += file.readAll().count((loneByteLine + QStringLiteral("\r\n")).toUtf8());
        }
        return lines;
    };
    constexpr int peers = 5;
    QSignalSpy closed(m_session.get(), &ReceiverSession::peerClosed);
    for (int peer = 1; peer <= peers; ++peer) {
        LoopbackClient client;
        QVERIFY(client.connectTo(m_port));
        client.send("X");
        const quint16 clientPort = client.socket().localPort();
        // Half-closed, so that the session's own close tells that it has seen the end.
        QCOMPARE(::shutdown(int(client.socket().socketDescriptor()), SHUT_WR), 0);
        QVERIFY(client.waitForDisconnected());
        QCOMPARE(loneByteLines(), qsizetype(peer));
        QTRY_COMPARE(closed.size(), peer);
        QCOMPARE(closed.last().at(1).value<quint16>(), clientPort);
    }
    QVERIFY(QFileInfo(log).size() < 1024 * 1024);
}

void tst_ReceiverSession::receivingSurvivesLogFaults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("Log folder deleted") << Fault::LogFolderDeleted;
    QTest::newRow("a folder where the log file goes") << Fault::FolderInPlaceOfLogFile;
    QTest::newRow("log writes fail: disk full") << Fault::LogDiskFull;
    QTest::newRow("live file cannot become generation 1") << Fault::LiveFileCannotBeRenamed;
    QTest::newRow("generation 1 cannot become generation 2") << Fault::GenerationCannotBeRenamed;
    QTest::newRow("the capture file cannot rotate") << Fault::CaptureCannotRotate;
}

void tst_ReceiverSession::receivingSurvivesLogFaults()
{
    // Receiving goes on while the log cannot be written or rotated; only the lines the log could
    // not take are missing.
    QFETCH(Fault, fault);
    intLogMaxSize = 1;
    intLogGenerations = 3;
    const bool rotationFault = fault == Fault::LiveFileCannotBeRenamed
        || fault == Fault::GenerationCannotBeRenamed || fault == Fault::CaptureCannotRotate;
    const QString log = m_folder->logFile();
    const QString logFolder = QFileInfo(log).path();
    const QString capture = logFolder + QStringLiteral("/Kiv_TcpRcvData.txt");
    const QString aside = m_folder->path() + QStringLiteral("/log-aside.txt");
    const QByteArray oversize = fillerLine.repeated(1024 * 1024 / fillerLine.size() + 1);

    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
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
        QVERIFY(QDir().mkdir(generationPath(1)));
        break;
    case Fault::GenerationCannotBeRenamed:
        QVERIFY(appendFile(log, oversize));
        QVERIFY(appendFile(generationPath(1), fillerLine));
        QVERIFY(QDir().mkdir(generationPath(2)));
        break;
    case Fault::CaptureCannotRotate:
        QVERIFY(appendFile(log, oversize));
        QVERIFY(appendFile(capture, oversize));
        QVERIFY(QDir().mkdir(capture + QStringLiteral(".1")));
        m_session->setCapture(true);
        break;
    }
    const QStringList during = sendPhase(client, 20, rotationFault);
    // The log rotates on its own while the capture file cannot.
    if (fault == Fault::CaptureCannotRotate)
        QVERIFY(QFileInfo(generationPath(1)).size() > oversize.size());
    QCOMPARE(socket(0)->state(), int(SocketControl::sckListening));
    QCOMPARE(socket(1)->state(), int(SocketControl::sckConnected));

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
        QVERIFY(QDir().rmdir(generationPath(1)));
        kept = before + during;
        break;
    case Fault::GenerationCannotBeRenamed:
        QCOMPARE(readFile(generationPath(1)), fillerLine);
        QVERIFY(QDir().rmdir(generationPath(2)));
        kept = before + during;
        break;
    case Fault::CaptureCannotRotate:
        QVERIFY(QDir().rmdir(capture + QStringLiteral(".1")));
        kept = before + during;
        break;
    }
    const QStringList expected = kept + sendPhase(client, 30, false);
    const QStringList actual = messagesOf({generationPath(2), generationPath(1), log});
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
        QVERIFY(QFileInfo(generationPath(1)).size() > oversize.size());
        QVERIFY(QFileInfo(log).size() < oversize.size());
    }
    if (fault == Fault::GenerationCannotBeRenamed)
        QCOMPARE(readFile(generationPath(2)), fillerLine);
}

void tst_ReceiverSession::newestPeerWins_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");

    const QString ipv4 = QStringLiteral("127.0.0.1");
    const QString ipv6 = QStringLiteral("::1");
    QTest::newRow("IPv4, then IPv4") << ipv4 << ipv4;
    QTest::newRow("IPv4, then IPv6") << ipv4 << ipv6;
    QTest::newRow("IPv6, then IPv4") << ipv6 << ipv4;
}

void tst_ReceiverSession::newestPeerWins()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    if ((first.contains(u':') || second.contains(u':')) && !machineHasIpv6Loopback())
        QSKIP("this machine has no IPv6 loopback (::1)");

    QSignalSpy replaced(m_session.get(), &ReceiverSession::peerReplaced);
    LoopbackClient older;
    QVERIFY(older.connectTo(m_port, first));
    older.send("one");
    QVERIFY(older.waitForReceived(3));
    const quint16 olderPort = older.socket().localPort();

    LoopbackClient newer;
    QVERIFY(newer.connectTo(m_port, second));
    QVERIFY2(older.waitForDisconnected(), "the older peer was not dropped");
    QCOMPARE(older.received, QByteArray("one"));
    QCOMPARE(replaced.size(), 1);
    QCOMPARE(replaced.first().at(0).toString(), first);
    QCOMPARE(replaced.first().at(1).value<quint16>(), olderPort);
    newer.send("two!");
    QVERIFY(newer.waitForReceived(4));
    QCOMPARE(newer.received, QByteArray("two!"));
    QCOMPARE(m_session->peerAddress(), second);
    QCOMPARE(m_session->peerPort(), newer.socket().localPort());
    QCOMPARE(m_session->record().received, QByteArray("two!"));
}

void tst_ReceiverSession::peerResetRightAfterSendingLeavesTheSessionServing()
{
    for (int round = 0; round < 20; ++round) {
        // The block and the reset wait together, so the echo meets a connection already gone.
        LoopbackClient vanishing;
        QVERIFY(vanishing.connectTo(m_port));
        QTRY_VERIFY(m_session->peerPort() == vanishing.socket().localPort());
        vanishing.send(patternBytes(1500, quint32(round)));
        QCOMPARE(vanishing.socket().bytesToWrite(), 0);
        resetOnClose(vanishing);
        QTRY_COMPARE(socket(1)->state(), int(SocketControl::sckClosed));
    }

    QVERIFY(m_session->isListening());
    LoopbackClient next;
    QVERIFY(next.connectTo(m_port));
    next.send("after");
    QVERIFY(next.waitForReceived(5));
    QCOMPARE(next.received, QByteArray("after"));
    // The vanished peers' blocks were echoed into their reset connections, not skipped.
    QVERIFY(messages().filter(QStringLiteral("バイトの応答送信")).count() > 1);
}

void tst_ReceiverSession::peerResetWithEchoQueuedLeavesOneDropLine()
{
    QSignalSpy dropped(m_session.get(), &ReceiverSession::echoDropped);
    LoopbackClient peer;
    QVERIFY(peer.connectTo(m_port));
    peer.setReading(false);
    peer.send(patternBytes(2 * SocketControl::maxSendBacklog, 1));
    QVERIFY(WaitUntil([&] { return socket(1) && socket(1)->bytesToSend() > 0; }));
    resetOnClose(peer);
    QVERIFY(WaitUntil([&] { return !messages().filter(dropLine).isEmpty(); }));

    // The session serves the next peer; the reset peer left one line, for bytes the log claimed.
    LoopbackClient next;
    QVERIFY(next.connectTo(m_port));
    next.send("after");
    QVERIFY(next.waitForReceived(5));
    QStringList lines = messages();
    const QStringList drops = lines.filter(dropLine);
    QCOMPARE(drops.size(), 1);
    lines.removeAll(drops.first());
    const qint64 bytes = dropLine.match(drops.first()).captured(1).toLongLong();
    QVERIFY2(bytes > 0 && bytes <= LoggedEchoBytes(lines), qPrintable(drops.first()));
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped.first().at(0).toLongLong(), bytes);
}

void tst_ReceiverSession::stopKeepsTheConnectedPeer()
{
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    client.send("AB");
    QVERIFY(client.waitForReceived(2));

    QSignalSpy listening(m_session.get(), &ReceiverSession::listeningChanged);
    m_session->stop();
    QVERIFY(!m_session->isListening());
    QCOMPARE(m_session->listeningPort(), 0);
    QCOMPARE(listening.size(), 1);
    QCOMPARE(listening.first().at(0).toBool(), false);

    client.send("still here");
    QVERIFY(client.waitForReceived(12));
    QCOMPARE(client.received, QByteArray("ABstill here"));
    LoopbackClient late;
    QVERIFY(!late.connectTo(m_port));
}

void tst_ReceiverSession::startRefusedOnABusyPortThenCountsRestart()
{
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    client.send("AB");
    QVERIFY(client.waitForReceived(2));
    m_session->stop();

    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::Any, 0));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, m_session->start(holder.serverPort()));
    QVERIFY(!m_session->isListening());
    QVERIFY(messages().filter(QStringLiteral("(")).isEmpty()); // the caller logs with its tag

    holder.close();
    m_session->start(holder.serverPort());
    QVERIFY(m_session->isListening());
    // The counts start again with listening; the newest blocks stay.
    QCOMPARE(m_session->record().blocksReceived, 0);
    QCOMPARE(m_session->record().bytesSent, 0);
    QCOMPARE(m_session->record().received, QByteArray("AB"));
}

void tst_ReceiverSession::listenerErrorListensAgain()
{
    m_session->Error(0);
    QVERIFY(m_session->isListening());
    QCOMPARE(m_session->listeningPort(), m_port);
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    client.send("OK");
    QVERIFY(client.waitForReceived(2));
    QVERIFY(messages().filter(QStringLiteral("(wscRecv_Error)")).isEmpty());
}

void tst_ReceiverSession::peerFindsTheReceiveLineWithItsEcho()
{
    // A peer of its own thread, as a device would be: the moment each echo has come back whole,
    // the log must hold that block's receive line.
    constexpr int blocks = 20;
    const QString logFile = m_folder->logFile();
    std::atomic<bool> done {false};
    QString failure;
    const quint16 port = m_port;
    std::thread peer([&] {
        const int descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
        const timeval patience {10, 0};
        ::setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            failure = QStringLiteral("no connection");
        for (int block = 1; block <= blocks && failure.isEmpty(); ++block) {
            const QByteArray bytes = patternBytes(100 + block, quint32(block));
            QByteArray echo(bytes.size(), Qt::Uninitialized);
            qsizetype got = 0;
            ::send(descriptor, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
            while (got < echo.size()) {
                const ssize_t n
                    = ::recv(descriptor, echo.data() + got, size_t(echo.size() - got), 0);
                if (n <= 0)
                    break;
                got += n;
            }
            QFile log(logFile);
            const QByteArray lines = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
            if (echo != bytes)
                failure = QStringLiteral("block %1 did not come back whole").arg(block);
            else if (lines.count(QByteArrayLiteral("バイトのデータ受信")) < block)
                failure = QStringLiteral("echo %1 came before its receive line").arg(block);
        }
        ::close(descriptor);
        done = true;
    });
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, 60000);
    peer.join();
    QVERIFY(finished);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    QStringList expected;
    for (int block = 1; block <= blocks; ++block)
        expected << received.arg(100 + block) << answered.arg(100 + block);
    QCOMPARE(messages(), expected);
}

void tst_ReceiverSession::longStreamIsEchoedByteExact()
{
    constexpr qint64 total = 64 * 1024 * 1024;
    EchoStream stream(64);
    QVERIFY(stream.connectTo(m_port));
    stream.setTarget(total);
    QVERIFY2(WaitUntil([&] { return stream.echoed() >= total || !stream.intact(); }, 180000),
             qPrintable(QStringLiteral("%1 of %2 bytes echoed").arg(stream.echoed()).arg(total)));
    QVERIFY2(stream.intact(), qPrintable(QString::number(stream.firstMismatch())));

    // Once the peer stops sending, the session closes its side: nothing more was on its way.
    ::shutdown(int(stream.socket().socketDescriptor()), SHUT_WR);
    QVERIFY(WaitUntil([&] { return stream.socket().state() == QAbstractSocket::UnconnectedState; },
                      10000));
    QCOMPARE(stream.echoed(), total);
    QVERIFY(stream.intact());

    // Every block was logged with its echo, and counted.
    const QStringList lines = messages();
    QVERIFY(!QFileInfo::exists(m_folder->logFile() + QStringLiteral(".1")));
    QCOMPARE(LoggedEchoBytes(lines), total);
    QCOMPARE(m_session->record().bytesReceived, total);
    QCOMPARE(m_session->record().bytesSent, total);
    QCOMPARE(m_session->record().blocksReceived, lines.size() / 2);
}

void tst_ReceiverSession::replacedPeersLeakNothing()
{
    constexpr int cycles = 2000;
    constexpr int warmUp = 200;
    int descriptorsAfterWarmUp = 0;
    qint64 residentAfterWarmUp = 0;
    qint64 bytesSent = 0;

    std::unique_ptr<LoopbackClient> previous;
    QByteArray previousPayload;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        auto peer = std::make_unique<LoopbackClient>();
        peer->socket().connectToHost(QHostAddress(QHostAddress::LocalHost), m_port);
        QVERIFY(
            WaitUntil([&] { return peer->socket().state() == QAbstractSocket::ConnectedState; }));
        // At least two bytes: a lone byte waits for the next block by design.
        const QByteArray bytes = patternBytes(2 + (cycle * 37) % 3000, quint32(cycle) + 1);
        peer->send(bytes);
        bytesSent += bytes.size();
        QVERIFY2(WaitUntil([&] { return peer->received.size() >= bytes.size(); }),
                 qPrintable(QStringLiteral("cycle %1").arg(cycle)));
        QCOMPARE(peer->received, bytes);

        // The newest peer wins: the one before it is closed, having had exactly its own echo.
        if (previous) {
            QVERIFY2(WaitUntil([&] {
                         return previous->socket().state() == QAbstractSocket::UnconnectedState;
                     }),
                     qPrintable(QStringLiteral("cycle %1").arg(cycle)));
            QCOMPARE(previous->received, previousPayload);
        }
        previous = std::move(peer);
        previousPayload = bytes;

        if (cycle + 1 == warmUp) {
            descriptorsAfterWarmUp = OpenDescriptorCount();
            residentAfterWarmUp = ResidentKiB();
        }
    }
    WaitUntil([] { return false; }, 100); // lets released sockets go
    const int descriptors = OpenDescriptorCount();
    const qint64 resident = ResidentKiB();
    qInfo("descriptors %d -> %d, resident %lld -> %lld KiB", descriptorsAfterWarmUp, descriptors,
          residentAfterWarmUp, resident);
    QVERIFY2(descriptors <= descriptorsAfterWarmUp + 2, qPrintable(QString::number(descriptors)));
    if (!AddressSanitizerActive())
        QVERIFY2(resident <= residentAfterWarmUp + 8 * 1024, qPrintable(QString::number(resident)));

    QCOMPARE(LoggedEchoBytes(messages()), bytesSent);
    // Replaced peers do not pile up as sockets: the listener and the newest peer only.
    QCOMPARE(m_session->findChildren<SocketControl *>().size(), 2);
}

void tst_ReceiverSession::replacedPeersThatNeverReadDoNotPileUp()
{
    // Echo bytes the session's sockets hold, for the current peer and for replaced ones alike.
    const auto heldBytes = [this] {
        qint64 bytes = 0;
        for (const PeerConnection *connection : m_session->findChildren<PeerConnection *>())
            bytes += connection->bytesToWrite() + connection->bytesAvailable();
        return bytes;
    };
    constexpr int peers = 8;
    qint64 mostHeld = 0;
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    for (int peer = 0; peer < peers; ++peer) {
        auto client = std::make_unique<LoopbackClient>();
        QVERIFY(client->connectTo(m_port));
        client->setReading(false);
        // A small receive window, so that the echoes back up in the session rather than in the
        // kernel, and more than the kernel's buffers and the backlog hold together.
        client->socket().setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 64 * 1024);
        const char mark = char(peer + 1);
        client->socket().write(QByteArray(12 * 1024 * 1024, mark));
        // Until the session reads this peer's bytes and then stops reading from it; the next
        // peer replaces it.
        QVERIFY(WaitUntil([&] {
            return m_session->record().received.startsWith(mark)
                && socket(1)->bytesToSend() > SocketControl::maxSendBacklog;
        }));
        mostHeld = std::max(mostHeld, heldBytes());
        clients.push_back(std::move(client));
    }
    qInfo("at most %lld bytes held for %d peers that never read", mostHeld, peers);
    // Each peer, lingering or current, holds at most its backlog, the block that filled it and,
    // once replaced, what its kernel had received (at most the kernel's largest receive buffer).
    QFile receiveBuffers(QStringLiteral("/proc/sys/net/ipv4/tcp_rmem"));
    QVERIFY(receiveBuffers.open(QIODevice::ReadOnly));
    const qint64 kernelMost
        = receiveBuffers.readAll().simplified().split(' ').value(2).toLongLong();
    QVERIFY(kernelMost > 0);
    QVERIFY2(mostHeld <= peers
                     * (SocketControl::maxSendBacklog + PeerConnection::maxHeldBytes + kernelMost),
             qPrintable(QString::number(mostHeld)));
}

QTEST_GUILESS_MAIN(tst_ReceiverSession)
#include "tst_receiversession.moc"
