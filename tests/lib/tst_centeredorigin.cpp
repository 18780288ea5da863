#include "lib/modUtility.h"
#include "platform/RuntimeError.h"

#include <QtTest>

class tst_CenteredOrigin : public QObject
{
    Q_OBJECT

private slots:
    void origin_data();
    void origin();
    void overflow_data();
    void overflow();
};

void tst_CenteredOrigin::origin_data()
{
    QTest::addColumn<double>("screen");
    QTest::addColumn<double>("window");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("even") << 19200.0 << 9000.0 << 5100;
    QTest::newRow("odd, halved toward zero") << 2001.0 << 1000.0 << 500;
    QTest::newRow("window larger, toward zero") << 1000.0 << 2001.0 << -500;
    QTest::newRow("same size") << 1000.0 << 1000.0 << 0;
    // The difference is rounded to a whole number before it is halved.
    QTest::newRow("half rounds down to even") << 1002.5 << 0.0 << 501;
    QTest::newRow("half rounds up to even") << 1003.5 << 0.0 << 502;
    QTest::newRow("negative half to even") << 0.0 << 2.5 << -1;
    QTest::newRow("fraction below half") << 1001.4 << 0.0 << 500;
}

void tst_CenteredOrigin::origin()
{
    QFETCH(double, screen);
    QFETCH(double, window);
    QFETCH(qint32, expected);

    QCOMPARE(CenteredOrigin(screen, window), expected);
}

void tst_CenteredOrigin::overflow_data()
{
    QTest::addColumn<double>("screen");
    QTest::addColumn<double>("window");

    QTest::newRow("too large") << 3.0e9 << 0.0;
    QTest::newRow("too small") << 0.0 << 3.0e9;
}

void tst_CenteredOrigin::overflow()
{
    QFETCH(double, screen);
    QFETCH(double, window);

    QString description;
    try {
        CenteredOrigin(screen, window);
    } catch (const RuntimeError &error) {
        description = error.description();
    }
    QCOMPARE(description, ErrorText::overflow);
}

QTEST_GUILESS_MAIN(tst_CenteredOrigin)
#include "tst_centeredorigin.moc"
