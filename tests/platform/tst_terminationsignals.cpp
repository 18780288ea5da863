#include "support/EventWait.h"

#include "platform/TerminationSignals.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>

// The three ending signals reach the program as a Qt signal, from the event loop.
class tst_TerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void reportedThroughTheEventLoop_data();
    void reportedThroughTheEventLoop();
};

void tst_TerminationSignals::reportedThroughTheEventLoop_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("TERM") << int(SIGTERM);
    QTest::newRow("INT") << int(SIGINT);
    QTest::newRow("HUP") << int(SIGHUP);
}

void tst_TerminationSignals::reportedThroughTheEventLoop()
{
    QFETCH(int, signalNumber);
    TerminationSignals *reporter = TerminationSignals::install();
    QVERIFY(reporter);
    QCOMPARE(TerminationSignals::install(), reporter);
    QSignalSpy spy(reporter, &TerminationSignals::received);

    // Caught at once, told only when the loop runs: never inside the handler.
    QCOMPARE(::raise(signalNumber), 0);
    QCOMPARE(::raise(signalNumber), 0);
    QCOMPARE(spy.count(), 0);
    QVERIFY(WaitUntil([&] { return spy.count() == 2; }, 5000));
    QCOMPARE(spy.at(0).at(0).toInt(), signalNumber);
    QCOMPARE(spy.at(1).at(0).toInt(), signalNumber);
}

QTEST_GUILESS_MAIN(tst_TerminationSignals)
#include "tst_terminationsignals.moc"
