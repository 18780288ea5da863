#include "support/Controls.h"
#include "support/ExpectedTexts.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"
#include "support/ReceiverSettings.h"

#include "forms/frmMain.h"
#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "lib/HexGridModel.h"
#include "platform/SocketControl.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QtTest>

#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr quint32 green = 65280;
constexpr quint32 black = 0;

QByteArray patternBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}

quint32 lampColor(const Lamp *lamp)
{
    return lamp->property("fillColor").toUInt();
}
} // namespace

class ReceiveTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void echoesAndShowsABlock();
    void peerFindsTheReceiveLineWithItsEcho();
    void noResponseModeSendsNothing();
    void loneByteWaitsForTheNextBlock();
    void loneBytesWithClosesKeepTheLogWithinItsLimit();
    void stoppingKeepsTheConnectedPeer();
    void refusedListenOffersToStartAgain();
    void longBlockIsEchoedWholeAndShownCapped();
    void shorterBlockShrinksTheGrid();
    void peerResetRightAfterSendingLeavesTheToolServing();
    void exitQuestionCancelThenOk();

private:
    void startListening();
    QStringList messages() const { return m_window->folder.logMessages(); }

    std::unique_ptr<ListeningWindow> m_window;
    frmMain *m_form = nullptr;
    MessageBoxRecorder *m_boxes = nullptr;
    quint16 m_port = 0;
};

void ReceiveTest::init()
{
    m_window = std::make_unique<ListeningWindow>();
    QVERIFY(m_window->isValid());
    m_form = &m_window->form;
    m_boxes = &m_window->boxes;
    m_port = m_window->port;
}

void ReceiveTest::cleanup()
{
    m_window.reset();
}

void ReceiveTest::startListening()
{
    QVERIFY(m_window->startListening());
    QCOMPARE(Ctl<QPushButton>(*m_form, "cmdRecvData")->text(), QStringLiteral("受信停止"));
    QCOMPARE(Ctl<QPushButton>(*m_form, "cmdRecvData")->accessibleName(),
             QStringLiteral("受信停止"));
}

void ReceiveTest::echoesAndShowsABlock()
{
    startListening();
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    client.send("ABC");
    QVERIFY(client.waitForReceived(3));
    QCOMPARE(client.received, QByteArray("ABC"));
    QCOMPARE(
        messages(),
        QStringList({QStringLiteral("3バイトのデータ受信"), QStringLiteral("3バイトの応答送信")}));
    // The window catches up on the event loop's next pass.
    QTRY_COMPARE(lampColor(Ctl<Lamp>(*m_form, "shpSendLed")), green);
    QCOMPARE(lampColor(Ctl<Lamp>(*m_form, "shpRecvLed")), green);
    for (HexGrid *grid :
         {Ctl<HexGrid>(*m_form, "fgrdRecvData"), Ctl<HexGrid>(*m_form, "fgrdSendData")}) {
        const HexGridModel &model = grid->hexModel();
        QCOMPARE(model.lineCount(), 1);
        QCOMPARE(HexGridModel::lineHeaderText(0), QStringLiteral("0000"));
        QCOMPARE(model.cellText(0, 0), QStringLiteral("41"));
        QCOMPARE(model.cellText(0, 1), QStringLiteral("42"));
        QCOMPARE(model.cellText(0, 2), QStringLiteral("43"));
        QCOMPARE(model.cellText(0, 3), QString());
    }
    QVERIFY(Ctl<QLabel>(*m_form, "lblLastRecvDateTimeData")->text()
            != QStringLiteral("--/--/-- --:--:--"));
    QVERIFY(Ctl<QLabel>(*m_form, "lblLastSentDateTimeData")->text()
            != QStringLiteral("--/--/-- --:--:--"));
}

void ReceiveTest::peerFindsTheReceiveLineWithItsEcho()
{
    startListening();
    // A peer of its own thread, as a device would be: the moment each echo has come back whole,
    // the log must hold that block's receive line.
    constexpr int blocks = 20;
    const QString logFile = m_window->folder.logFile();
    std::atomic<bool> done {false};
    QString failure;
    std::thread peer([&] {
        const int descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
        const timeval patience {10, 0};
        ::setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(m_port);
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

    // Once the handler is through, each block has both lines, in order.
    QStringList expected;
    for (int block = 1; block <= blocks; ++block)
        expected << QStringLiteral("%1バイトのデータ受信").arg(100 + block)
                 << QStringLiteral("%1バイトの応答送信").arg(100 + block);
    QCOMPARE(messages(), expected);
}

void ReceiveTest::noResponseModeSendsNothing()
{
    Ctl<QRadioButton>(*m_form, "optNothing")->setChecked(true);
    startListening();
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    client.send("ABC");
    QTRY_COMPARE(messages(), QStringList({QStringLiteral("3バイトのデータ受信")}));
    QTRY_COMPARE(lampColor(Ctl<Lamp>(*m_form, "shpRecvLed")), green);
    QCOMPARE(lampColor(Ctl<Lamp>(*m_form, "shpSendLed")), black);
    QCOMPARE(Ctl<QLabel>(*m_form, "lblLastSentDateTimeData")->text(),
             QStringLiteral("--/--/-- --:--:--"));

    // An echo of the first block would arrive before the echo of a second one.
    Ctl<QRadioButton>(*m_form, "optRcvData")->setChecked(true);
    client.send("XY");
    QVERIFY(client.waitForReceived(2));
    QCOMPARE(client.received, QByteArray("XY"));
    QTRY_COMPARE(lampColor(Ctl<Lamp>(*m_form, "shpSendLed")), green);

    // A block left unanswered puts out the send lamp an earlier echo lit.
    Ctl<QRadioButton>(*m_form, "optNothing")->setChecked(true);
    client.send("PQ");
    QTRY_COMPARE(messages().filter(QStringLiteral("バイトのデータ受信")).size(), 3);
    QTRY_COMPARE(lampColor(Ctl<Lamp>(*m_form, "shpSendLed")), black);
    QCOMPARE(lampColor(Ctl<Lamp>(*m_form, "shpRecvLed")), green);
}

void ReceiveTest::loneByteWaitsForTheNextBlock()
{
    startListening();
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    client.send("X");
    QTRY_COMPARE(messages(), QStringList({QStringLiteral("通信エラーが発生しました。")}));
    QCOMPARE(Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel().cellText(0, 0), QString());
    QVERIFY(client.received.isEmpty());

    client.send("YZ");
    QVERIFY(client.waitForReceived(3));
    QCOMPARE(client.received, QByteArray("XYZ"));
    QCOMPARE(
        messages().mid(1),
        QStringList({QStringLiteral("3バイトのデータ受信"), QStringLiteral("3バイトの応答送信")}));
    QTRY_COMPARE(Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel().cellText(0, 0),
                 QStringLiteral("58"));
}

void ReceiveTest::loneBytesWithClosesKeepTheLogWithinItsLimit()
{
    m_window.reset();
    m_window = std::make_unique<ListeningWindow>(1, 3); // 1 MiB, 3 generations
    m_form = &m_window->form;
    m_port = m_window->port;
    startListening();
    const QString log = m_window->folder.logFile();
    {
        QFile full(log); // right at the limit: the next line takes it over
        QVERIFY(full.open(QIODevice::WriteOnly));
        QVERIFY(full.resize(1024 * 1024));
    }
    const QByteArray loneByteLine = QByteArrayLiteral("通信エラーが発生しました。\r\n");
    const auto loneByteLines = [&] {
        qsizetype lines = 0;
        for (const QString &path : {log, log + QStringLiteral(".1")}) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                lines += file.readAll().count(loneByteLine);
        }
        return lines;
    };
    constexpr int peers = 5;
    for (int peer = 1; peer <= peers; ++peer) {
        LoopbackClient client;
        QVERIFY(client.connectTo(m_port));
        client.send("X");
        // Half-closed, so that the tool's own close tells that it has seen the end.
        QCOMPARE(::shutdown(int(client.socket().socketDescriptor()), SHUT_WR), 0);
        QVERIFY(client.waitForDisconnected());
        QCOMPARE(loneByteLines(), qsizetype(peer));
    }
    QVERIFY(QFileInfo(log).size() < 1024 * 1024);
}

void ReceiveTest::stoppingKeepsTheConnectedPeer()
{
    startListening();
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    client.send("AB");
    QVERIFY(client.waitForReceived(2));
    QTRY_COMPARE(lampColor(Ctl<Lamp>(*m_form, "shpSendLed")), green);
    QTRY_COMPARE(lampColor(Ctl<Lamp>(*m_form, "shpRecvLed")), green);

    // Stopping puts out both lamps.
    Ctl<QPushButton>(*m_form, "cmdRecvData")->click();
    QCOMPARE(Ctl<QPushButton>(*m_form, "cmdRecvData")->text(), QStringLiteral("受信待ち"));
    QTRY_COMPARE(lampColor(Ctl<Lamp>(*m_form, "shpSendLed")), black);
    QTRY_COMPARE(lampColor(Ctl<Lamp>(*m_form, "shpRecvLed")), black);

    client.send("still here");
    QVERIFY(client.waitForReceived(12));
    QCOMPARE(client.received, QByteArray("ABstill here"));

    LoopbackClient late;
    QVERIFY(!late.connectTo(m_port));
}

void ReceiveTest::refusedListenOffersToStartAgain()
{
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::Any, 0));
    m_window->folder.writeSettings(ReceiverSettings(holder.serverPort()));
    m_form->ReadSetting(m_window->folder.settingsFile());
    Ctl<QPushButton>(*m_form, "cmdRecvData")->click();
    QCOMPARE(m_boxes->texts(), QStringList({ExpectedText::portUnusable}));
    QCOMPARE(m_boxes->boxes.first().style, 16);
    QCOMPARE(Ctl<QPushButton>(*m_form, "cmdRecvData")->text(), QStringLiteral("受信待ち"));
    QCOMPARE(Socket(*m_form, 0)->state(), int(SocketControl::sckClosed));
    QCOMPARE(messages().size(), 1);
    QVERIFY(messages().first().endsWith(QStringLiteral("(cmdRecvData_Click)")));

    holder.close();
    Ctl<QPushButton>(*m_form, "cmdRecvData")->click();
    QCOMPARE(Ctl<QPushButton>(*m_form, "cmdRecvData")->text(), QStringLiteral("受信停止"));
}

void ReceiveTest::longBlockIsEchoedWholeAndShownCapped()
{
    startListening();
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    const QByteArray block = patternBytes(3000, 7);
    client.send(block);
    QVERIFY(client.waitForReceived(block.size()));
    QCOMPARE(client.received, block);

    const QString lastLine = messages().filter(QStringLiteral("バイトのデータ受信")).last();
    const int lastBlock = lastLine.left(lastLine.indexOf(QStringLiteral("バ"))).toInt();
    const HexGridModel &model = Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel();
    // The whole block waits in the kernel before the tool's next event, so it is read as one.
    QCOMPARE(lastBlock, block.size());
    QTRY_COMPARE(model.lineCount(), 128);
    QCOMPARE(model.bytes(), block.left(2048));
    QCOMPARE(HexGridModel::lineHeaderText(127), QStringLiteral("007F"));
    QCOMPARE(model.cellText(127, 15), QString(HexByteText(quint8(block.at(2047)))));
}

void ReceiveTest::shorterBlockShrinksTheGrid()
{
    startListening();
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    client.send(patternBytes(100, 1));
    QVERIFY(client.waitForReceived(100));
    QTRY_COMPARE(Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel().lineCount(), 7);
    client.send("short block");
    QVERIFY(client.waitForReceived(111));
    const HexGridModel &model = Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel();
    QTRY_COMPARE(model.lineCount(), 1);
    QCOMPARE(model.cellText(0, 10), QStringLiteral("6B"));
    QCOMPARE(model.cellText(0, 11), QString());
}

void ReceiveTest::peerResetRightAfterSendingLeavesTheToolServing()
{
    startListening();
    for (int round = 0; round < 20; ++round) {
        // The block and the reset wait together, so the echo meets a connection already gone.
        LoopbackClient vanishing;
        QVERIFY(vanishing.connectTo(m_port));
        QTRY_COMPARE(SocketCount(*m_form), std::size_t(2));
        vanishing.send(patternBytes(1500, round));
        QCOMPARE(vanishing.socket().bytesToWrite(), 0);
        const linger resetOnClose {1, 0};
        QCOMPARE(::setsockopt(int(vanishing.socket().socketDescriptor()), SOL_SOCKET, SO_LINGER,
                              &resetOnClose, sizeof resetOnClose),
                 0);
        vanishing.socket().abort();
        QTRY_COMPARE(Socket(*m_form, 1)->state(), int(SocketControl::sckClosed));
    }

    QCOMPARE(Socket(*m_form, 0)->state(), int(SocketControl::sckListening));
    LoopbackClient next;
    QVERIFY(next.connectTo(m_port));
    next.send("after");
    QVERIFY(next.waitForReceived(5));
    QCOMPARE(next.received, QByteArray("after"));
    // The vanished peers' blocks were echoed into their reset connections, not skipped.
    QVERIFY(messages().filter(QStringLiteral("バイトの応答送信")).count() > 1);
    QVERIFY(m_boxes->boxes.isEmpty());
}

void ReceiveTest::exitQuestionCancelThenOk()
{
    startListening();
    m_boxes->answers = {2};
    Ctl<QPushButton>(*m_form, "cmdEnd")->click();
    QCOMPARE(m_boxes->boxes.size(), 1);
    const MessageBoxRecorder::Box question = m_boxes->boxes.first();
    QCOMPARE(question.text, QStringLiteral("Parvelを終了してもよろしいですか？"));
    QCOMPARE(question.caption, QStringLiteral("Parvel"));
    QCOMPARE(question.style, 1 + 32 + 256);
    QVERIFY(m_form->isVisible());
    QCOMPARE(Socket(*m_form, 0)->state(), int(SocketControl::sckListening));

    m_boxes->answers = {1};
    m_form->close();
    QCOMPARE(m_boxes->boxes.size(), 2);
    QVERIFY(!m_form->isVisible());
    QCOMPARE(Socket(*m_form, 0)->state(), int(SocketControl::sckClosed));
}

QTEST_MAIN(ReceiveTest)
#include "tst_receive.moc"
