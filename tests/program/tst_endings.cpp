#include "support/Controls.h"
#include "support/EchoLog.h"
#include "support/EventWait.h"
#include "support/ListeningWindow.h"
#include "support/RawPeer.h"

#include "app/modTcpRecv.h"
#include "forms/frmMain.h"
#include "platform/SocketControl.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

// Every way the program ends, with a peer that sends a flood and reads nothing: the log claims
// no echo that the peer did not get, short of the drop line, and the peer is reset.
class tst_Endings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void endingOwnsUpToEchoNeverSent_data();
    void endingOwnsUpToEchoNeverSent();
};

void tst_Endings::initTestCase()
{
    // As the program's start does: the ending signals end it through the event loop.
    EndOnTerminationSignals();
}

void tst_Endings::endingOwnsUpToEchoNeverSent_data()
{
    QTest::addColumn<int>("signalNumber"); // 0: the exit button, answered OK
    QTest::newRow("終了") << 0;
    QTest::newRow("TERM") << int(SIGTERM);
    QTest::newRow("HUP") << int(SIGHUP);
    QTest::newRow("INT") << int(SIGINT);
}

void tst_Endings::endingOwnsUpToEchoNeverSent()
{
    QFETCH(int, signalNumber);
    ListeningWindow window;
    QVERIFY(window.isValid());
    QVERIFY(window.startListening());
    // A small window, so that the echo backs up in the tool rather than in the kernels.
    RawPeer peer(window.port, 64 * 1024);
    QVERIFY(peer.connected());
    peer.send(QByteArray(12 * 1024 * 1024, 'e'));
    QVERIFY(WaitUntil([&] {
        const SocketControl *connection = Socket(window.form, 1);
        return connection && connection->bytesToSend() > SocketControl::maxSendBacklog;
    }));

    if (signalNumber == 0)
        Ctl<QPushButton>(window.form, "cmdEnd")->click();
    else
        QCOMPARE(::raise(signalNumber), 0);
    QVERIFY(WaitUntil([&] { return !window.form.isVisible(); }));
    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.ended(); }, 20000));
    // Reset, not ended cleanly: the peer can tell its echo was cut.
    QCOMPARE(peer.endError(), ECONNRESET);

    QStringList messages = window.folder.logMessages();
    static const QRegularExpression dropLine(QStringLiteral(
        "^送信できなかった応答データ(\\d+)バイトを破棄しました。"
        "(?:送信済みで未確認の(\\d+)バイトは届いていない可能性があります。)?\\(wscRecv_Close\\)$"));
    const QRegularExpressionMatch drop
        = dropLine.match(messages.isEmpty() ? QString() : messages.takeLast());
    QVERIFY2(drop.hasMatch(), qPrintable(window.folder.logMessages().join(QLatin1Char('\n'))));
    const qint64 claimed = LoggedEchoBytes(messages);
    QVERIFY(claimed > 0);
    const qint64 sent = claimed - drop.captured(1).toLongLong();
    const qint64 inFlight = drop.captured(2).toLongLong();
    QVERIFY2(peer.received.size() <= sent && peer.received.size() >= sent - inFlight,
             qPrintable(QStringLiteral("received %1, claimed %2, dropped %3, in flight %4")
                            .arg(peer.received.size())
                            .arg(claimed)
                            .arg(drop.captured(1))
                            .arg(inFlight)));
    QVERIFY(window.boxes.texts().size() == (signalNumber == 0 ? 1 : 0));
}

QTEST_MAIN(tst_Endings)
#include "tst_endings.moc"
