#include "forms/ui/FrameThrottle.h"

#include <QtTest>

class tst_FrameThrottle : public QObject
{
    Q_OBJECT

private slots:
    void refreshAfterQuietOnNextPass_data();
    void refreshAfterQuietOnNextPass();
};

void tst_FrameThrottle::refreshAfterQuietOnNextPass_data()
{
    // How long nothing was requested once the frame after the last refresh was over; -1: the
    // first request of all.
    QTest::addColumn<int>("quietMs");
    QTest::newRow("first request") << -1;
    QTest::newRow("0 ms quiet") << 0;
    QTest::newRow("80 ms quiet") << 80;
    QTest::newRow("600 ms quiet") << 600;
}

// Counts passes rather than milliseconds: the refresh comes on the event loop's very next pass,
// once however many requests came, and nothing refreshes while nothing is requested.
void tst_FrameThrottle::refreshAfterQuietOnNextPass()
{
    QFETCH(int, quietMs);
    int refreshes = 0;
    FrameThrottle throttle([&refreshes] { ++refreshes; }, nullptr);
    if (quietMs >= 0) {
        throttle.request();
        QTRY_COMPARE(refreshes, 1);
        QTest::qWait(FrameThrottle::frameMilliseconds + quietMs);
        QCOMPARE(refreshes, 1);
    }
    const int before = refreshes;
    for (int request = 0; request < 100; ++request)
        throttle.request();
    QCOMPARE(refreshes, before);
    QCoreApplication::processEvents();
    QCOMPARE(refreshes, before + 1);
    QTest::qWait(3 * FrameThrottle::frameMilliseconds);
    QCOMPARE(refreshes, before + 1);
}

QTEST_GUILESS_MAIN(tst_FrameThrottle)
#include "tst_framethrottle.moc"
