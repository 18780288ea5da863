#include "support/Controls.h"
#include "support/ExpectedTexts.h"
#include "support/LoopbackPorts.h"
#include "support/MessageBoxRecorder.h"
#include "support/ProgramFolderFixture.h"
#include "support/SettingsFileText.h"

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
class StartupChoiceTest : public QObject
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
    std::unique_ptr<ProgramFolderFixture> m_folder;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
};

void StartupChoiceTest::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    QVERIFY(m_folder->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void StartupChoiceTest::cleanup()
{
    UnloadComSettingForm();
    UnloadMainForm();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_boxes.reset();
    m_folder.reset();
}

void StartupChoiceTest::firstWindow_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("mainWindow");

    QTest::newRow("no settings file") << "none" << QStringList({readFailed}) << false;
    QTest::newRow("port not numeric") << "abc" << QStringList() << false;
    QTest::newRow("port held by another listener")
        << "held" << QStringList({portUnusable}) << false;
    QTest::newRow("free port") << "free" << QStringList() << true;
}

void StartupChoiceTest::firstWindow()
{
    QFETCH(QString, scenario);
    QFETCH(QStringList, boxes);
    QFETCH(bool, mainWindow);

    QTcpServer holder;
    if (scenario == QStringLiteral("abc"))
        m_folder->writeSettings(SettingsFileText("abc"));
    if (scenario == QStringLiteral("held")) {
        QVERIFY(holder.listen(QHostAddress::Any, 0));
        m_folder->writeSettings(SettingsFileText(QByteArray::number(holder.serverPort())));
    }
    if (scenario == QStringLiteral("free"))
        m_folder->writeSettings(SettingsFileText(QByteArray::number(FreeLoopbackPort())));

    Main();
    QCOMPARE(m_boxes->texts(), boxes);
    QCOMPARE(MainFormExists() && MainForm().isVisible(), mainWindow);
    QCOMPARE(ComSettingFormExists() && ComSettingForm().isVisible(), !mainWindow);
    if (mainWindow) // loaded for the trial listen, and kept hidden
        QVERIFY(ComSettingFormExists());
}

void StartupChoiceTest::dialogFirstThenApplyOpensTheMainWindow()
{
    Main();
    QVERIFY(ComSettingFormExists() && ComSettingForm().isVisible());
    QCOMPARE(Ctl<QLineEdit>(ComSettingForm(), "txtRcvPort")->text(), QString());
    Ctl<QPushButton>(ComSettingForm(), "cmdCancel")->click();
    QVERIFY(ComSettingForm().isVisible());

    const QString port = QString::number(FreeLoopbackPort());
    Ctl<QLineEdit>(ComSettingForm(), "txtRcvPort")->setText(port);
    Ctl<QPushButton>(ComSettingForm(), "cmdApply")->click();
    QCOMPARE(m_boxes->texts().last(), portSaved);
    QVERIFY(!ComSettingFormExists());
    QVERIFY(MainForm().isVisible());
    QVERIFY(MainForm().IsLoaded());
    // The port read at start-up stays in use until the next start.
    QCOMPARE(MainForm().RcvPort(), 0);
}

void StartupChoiceTest::dialogFirstClosedByItsCloseBoxEndsTheProgram()
{
    m_folder->writeSettings(SettingsFileText("abc"));
    Main();
    QVERIFY(ComSettingForm().isVisible());
    QTimer::singleShot(0, [] { ComSettingForm().close(); });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!(MainFormExists() && MainForm().isVisible()));
}

QTEST_MAIN(StartupChoiceTest)
#include "tst_startup_choice.moc"
