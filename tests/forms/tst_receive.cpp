#include "support/Controls.h"
#include "support/EchoLog.h"
#include "support/EchoStream.h"
#include "support/EventWait.h"
#include "support/ExpectedTexts.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"
#include "support/SettingsFileText.h"

#include "forms/frmMain.h"
#include "forms/ui/FrameThrottle.h"
#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "lib/HexGridModel.h"
#include "platform/SocketControl.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QtTest>

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
    void noResponseModeSendsNothing();
    void stoppingPutsOutTheLamps();
    void refusedListenOffersToStartAgain();
    void longBlockIsShownCapped();
    void shorterBlockShrinksTheGrid();
    void floodEndsOnTheNewestBlock();
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

void ReceiveTest::stoppingPutsOutTheLamps()
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
}

void ReceiveTest::refusedListenOffersToStartAgain()
{
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::Any, 0));
    m_window->folder.writeSettings(SettingsFileText(holder.serverPort()));
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

void ReceiveTest::longBlockIsShownCapped()
{
    startListening();
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    const QByteArray block = patternBytes(3000, 7);
    client.send(block);
    QVERIFY(client.waitForReceived(block.size()));
    const HexGridModel &model = Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel();
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

void ReceiveTest::floodEndsOnTheNewestBlock()
{
    startListening();
    constexpr qint64 total = 4 * 1024 * 1024;
    EchoStream stream(5);
    stream.setWriteSize(100);
    QVERIFY(stream.connectTo(m_port));
    stream.setTarget(total);
    QVERIFY(WaitUntil([&] { return stream.echoed() >= total || !stream.intact(); }, 60000));
    QVERIFY(stream.intact());
    QCOMPARE(LoggedEchoBytes(messages()), total);

    // The window caught up with the flood's last block (its first 2048 bytes), in both grids.
    const qint64 lastBlock = messages().last().section(QStringLiteral("バイト"), 0, 0).toLongLong();
    QByteArray shown;
    for (qint64 position = total - lastBlock; position < total && shown.size() < 2048; ++position)
        shown += stream.byteAt(position);
    const HexGridModel &received = Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel();
    const HexGridModel &sent = Ctl<HexGrid>(*m_form, "fgrdSendData")->hexModel();
    QTRY_COMPARE(received.bytes(), shown);
    QCOMPARE(sent.bytes(), shown);

    // After a quiet spell, one block shows at once: no later block is needed to bring it out.
    QTest::qWait(2 * FrameThrottle::frameMilliseconds);
    stream.socket().write("quiet");
    QVERIFY(WaitUntil([&] { return stream.echoed() >= total + 5; }));
    QTRY_COMPARE_WITH_TIMEOUT(received.bytes(), QByteArray("quiet"), 1000);
    QCOMPARE(sent.bytes(), QByteArray("quiet"));
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
