#include "support/Controls.h"
#include "support/ExpectedTexts.h"
#include "support/LoopbackPorts.h"
#include "support/SettingsFileText.h"
#include "support/WindowFolder.h"

#include "app/modTcpRecv.h"
#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

using namespace ExpectedText;

// Which window start-up opens, with the message boxes recorded.
class tst_StartupChoice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstWindow_data();
    void firstWindow();
    void dialogFirstThenApplyOpensTheMainWindow();
    void dialogFirstClosedByItsCloseBoxEndsTheProgram();

private:
    std::unique_ptr<WindowFolder> m_window;
};

void tst_StartupChoice::init()
{
    m_window = std::make_unique<WindowFolder>();
    QVERIFY(m_window->folder.isValid());
}

void tst_StartupChoice::cleanup()
{
    m_window.reset();
}

void tst_StartupChoice::firstWindow_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QByteArray>("bindAddress"); // in the settings file
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("mainWindow");
    QTest::addColumn<QString>("bindOption"); // --bind, none when null

    const QString noOption;
    QTest::newRow("no settings file")
        << "none" << QByteArray() << QStringList({readFailed}) << false << noOption;
    QTest::newRow("port not numeric")
        << "abc" << QByteArray() << QStringList() << false << noOption;
    QTest::newRow("port held by another listener")
        << "held" << QByteArray() << QStringList({portUnusable}) << false << noOption;
    QTest::newRow("free port") << "free" << QByteArray() << QStringList() << true << noOption;
    // The trial listens where the receiver will: beside a listener on 127.0.0.1 alone.
    QTest::newRow("port held on 127.0.0.1, bound to 127.0.0.2")
        << "held on 127.0.0.1" << QByteArray("127.0.0.2") << QStringList() << true << noOption;
    QTest::newRow("port held on 127.0.0.1, bound there")
        << "held on 127.0.0.1" << QByteArray("127.0.0.1") << QStringList({portUnusable}) << false
        << noOption;
    QTest::newRow("--bind over the settings")
        << "held on 127.0.0.1" << QByteArray("127.0.0.1") << QStringList() << true
        << QStringLiteral("127.0.0.2");
    QTest::newRow("a host name is no address")
        << "free" << QByteArray("localhost") << QStringList({portUnusable}) << false << noOption;
}

void tst_StartupChoice::firstWindow()
{
    QFETCH(QString, scenario);
    QFETCH(QByteArray, bindAddress);
    QFETCH(QStringList, boxes);
    QFETCH(bool, mainWindow);
    QFETCH(QString, bindOption);

    // The port line carries the bind address line after it, in the same section.
    const QByteArray bindLine
        = bindAddress.isEmpty() ? QByteArray() : "\r\nBindAddress=" + bindAddress;
    QTcpServer holder;
    if (scenario == QStringLiteral("abc"))
        m_window->folder.writeSettings(SettingsFileText("abc"));
    if (scenario.startsWith(QStringLiteral("held"))) {
        QVERIFY(holder.listen(
            scenario == QStringLiteral("held") ? QHostAddress::Any : QHostAddress::LocalHost, 0));
        m_window->folder.writeSettings(
            SettingsFileText(QByteArray::number(holder.serverPort()) + bindLine));
    }
    if (scenario == QStringLiteral("free"))
        m_window->folder.writeSettings(
            SettingsFileText(QByteArray::number(FreeLoopbackPort()) + bindLine));

    RunOptions options;
    if (!bindOption.isNull())
        options.bindAddress = bindOption;
    Main(options);
    QCOMPARE(m_window->boxes.texts(), boxes);
    QCOMPARE(MainFormExists() && MainForm().isVisible(), mainWindow);
    QCOMPARE(ComSettingFormExists() && ComSettingForm().isVisible(), !mainWindow);
    if (mainWindow) // loaded for the trial listen, and kept hidden
        QVERIFY(ComSettingFormExists());
}

void tst_StartupChoice::dialogFirstThenApplyOpensTheMainWindow()
{
    Main();
    QVERIFY(ComSettingFormExists() && ComSettingForm().isVisible());
    QCOMPARE(Ctl<QLineEdit>(ComSettingForm(), "txtRcvPort")->text(), QString());
    Ctl<QPushButton>(ComSettingForm(), "cmdCancel")->click();
    QVERIFY(ComSettingForm().isVisible());

    const QString port = QString::number(FreeLoopbackPort());
    Ctl<QLineEdit>(ComSettingForm(), "txtRcvPort")->setText(port);
    Ctl<QPushButton>(ComSettingForm(), "cmdApply")->click();
    QCOMPARE(m_window->boxes.texts().last(), portSaved);
    QVERIFY(!ComSettingFormExists());
    QVERIFY(MainForm().isVisible());
    QVERIFY(MainForm().IsLoaded());
    // The port read at start-up stays in use until the next start.
    QCOMPARE(MainForm().RcvPort(), 0);
}

void tst_StartupChoice::dialogFirstClosedByItsCloseBoxEndsTheProgram()
{
    m_window->folder.writeSettings(SettingsFileText("abc"));
    Main();
    QVERIFY(ComSettingForm().isVisible());
    QTimer::singleShot(0, [] { ComSettingForm().close(); });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!(MainFormExists() && MainForm().isVisible()));
}

QTEST_MAIN(tst_StartupChoice)
#include "tst_startup_choice.moc"
