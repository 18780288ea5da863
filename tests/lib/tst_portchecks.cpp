#include "support/LoopbackPorts.h"
#include "support/ProgramFolderFixture.h"

#include "lib/modSimGeneral.h"
#include "platform/SocketControl.h"

#include <QTcpServer>
#include <QtTest>

class tst_PortChecks : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void checkPortNo_data();
    void checkPortNo();

    void listenOnFreePortLeavesItFree();
    void listenRefused_data();
    void listenRefused();
    void failedTrialDoesNotSpoilTheNext();
    void portTakenOnEitherFamilyIsRefused_data();
    void portTakenOnEitherFamilyIsRefused();

private:
    std::unique_ptr<ProgramFolderFixture> m_folder;
};

void tst_PortChecks::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    QVERIFY(m_folder->isValid());
}

void tst_PortChecks::cleanup()
{
    m_folder.reset();
}

void tst_PortChecks::checkPortNo_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("logged");

    const QStringList none;
    QTest::newRow("zero") << "0" << true << none;
    QTest::newRow("highest") << "65535" << true << none;
    QTest::newRow("one too high") << "65536" << false << none;
    QTest::newRow("negative") << "-1" << false << none;
    QTest::newRow("empty") << "" << false << none;
    QTest::newRow("blanks around") << " 5000 " << true << none;
    QTest::newRow("rounds down to 65535") << "65535.4" << true << none;
    QTest::newRow("half rounds to even 65536") << "65535.5" << false << none;
    QTest::newRow("rounds up to zero") << "-0.4" << true << none;
    QTest::newRow("letters") << "abc" << false << none;
    QTest::newRow("hexadecimal") << "&H10" << false << none;
    QTest::newRow("beyond 32 bits")
        << "1e10" << false << QStringList {"オーバーフローしました。(CheckPortNo)"};
}

void tst_PortChecks::checkPortNo()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QStringList, logged);
    QCOMPARE(CheckPortNo(text), valid);
    QCOMPARE(m_folder->logMessages(), logged);
}

void tst_PortChecks::listenOnFreePortLeavesItFree()
{
    const quint16 port = FreeLoopbackPort();
    SocketControl trial;
    QVERIFY(CheckListenPort(trial, QString::number(port)));
    QCOMPARE(trial.state(), int(SocketControl::sckClosed));
    QTcpServer other;
    QVERIFY2(other.listen(QHostAddress::Any, port), "the trial listen kept the port");
    QVERIFY(m_folder->logMessages().isEmpty());
}

void tst_PortChecks::listenRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("holdPort");
    QTest::addColumn<bool>("logged");

    QTest::newRow("port held by another listener") << QString() << true << true;
    QTest::newRow("above 65535") << "70000" << false << true;
    QTest::newRow("beyond 32 bits") << "1e10" << false << true;
    QTest::newRow("letters, quietly") << "abc" << false << false;
    QTest::newRow("empty, quietly") << "" << false << false;
}

void tst_PortChecks::listenRefused()
{
    QFETCH(QString, text);
    QFETCH(bool, holdPort);
    QFETCH(bool, logged);
    QTcpServer holder;
    if (holdPort) {
        QVERIFY(holder.listen(QHostAddress::Any, 0));
        text = QString::number(holder.serverPort());
    }
    SocketControl trial;
    QVERIFY(!CheckListenPort(trial, text));
    QCOMPARE(trial.state(), int(SocketControl::sckClosed));
    const QStringList messages = m_folder->logMessages();
    QCOMPARE(messages.size(), logged ? 1 : 0);
    if (logged) {
        QVERIFY2(messages.first().endsWith(QStringLiteral("(CheckListenPort)")),
                 qPrintable(messages.first()));
        QVERIFY(messages.first().size() > QStringLiteral("(CheckListenPort)").size());
    }
}

void tst_PortChecks::failedTrialDoesNotSpoilTheNext()
{
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::Any, 0));
    SocketControl trial;
    QVERIFY(!CheckListenPort(trial, QString::number(holder.serverPort())));
    QVERIFY(!CheckListenPort(trial, QStringLiteral("70000")));
    QVERIFY(CheckListenPort(trial, QString::number(FreeLoopbackPort())));
}

void tst_PortChecks::portTakenOnEitherFamilyIsRefused_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("IPv4 loopback") << "127.0.0.1";
    QTest::newRow("IPv6 loopback") << "::1";
}

void tst_PortChecks::portTakenOnEitherFamilyIsRefused()
{
    QFETCH(QString, address);
    QTcpServer holder;
    if (!holder.listen(QHostAddress(address), 0))
        QSKIP("this machine has no such loopback address");
    SocketControl trial;
    QVERIFY(!CheckListenPort(trial, QString::number(holder.serverPort())));
}

QTEST_GUILESS_MAIN(tst_PortChecks)
#include "tst_portchecks.moc"
