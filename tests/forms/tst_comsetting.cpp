#include "support/Controls.h"
#include "support/ExpectedTexts.h"
#include "support/LoopbackClient.h"
#include "support/LoopbackPorts.h"
#include "support/SettingsFileText.h"
#include "support/WindowFolder.h"

#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"
#include "platform/SocketControl.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

namespace {
const QString invalidPort = QStringLiteral("受信ポート番号が不正です。");
using ExpectedText::portSaved;
using ExpectedText::portUnusable;
const QString storedPortInvalid = QStringLiteral("正常な受信ポート番号を設定してください。");
} // namespace

class tst_ComSetting : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void unchangedPortClosesSilently_data();
    void unchangedPortClosesSilently();
    void invalidTextIsRefusedAndSelected_data();
    void invalidTextIsRefusedAndSelected();
    void portInUseIsRefusedAndNothingWritten();
    void freePortIsSavedForTheNextStart();
    void oldPortAfterSavingAnotherIsTried();
    void cancel_data();
    void cancel();
    void failedWriteIsReported();
    void enterAndEscapeDoNothing();
    void returnPressesTheFocusedButton_data();
    void returnPressesTheFocusedButton();
    void menuOpensTheDialogWhileReceivingGoesOn();

private:
    void openDialog(const QByteArray &storedPort);
    frmTcpRcvComSetting &dialog() { return ComSettingForm(); }

    std::unique_ptr<WindowFolder> m_window;
    quint16 m_port = 0;
};

void tst_ComSetting::init()
{
    m_window = std::make_unique<WindowFolder>();
    QVERIFY(m_window->folder.isValid());
    m_port = FreeLoopbackPort();
}

void tst_ComSetting::cleanup()
{
    m_window.reset();
}

void tst_ComSetting::openDialog(const QByteArray &storedPort)
{
    m_window->folder.writeSettings(SettingsFileText(storedPort));
    MainForm().ReadSetting(m_window->folder.settingsFile());
    MainForm().Show();
    dialog().Load();
    dialog().show();
    QCOMPARE(Ctl<QLineEdit>(dialog(), "txtRcvPort")->text(),
             QString::fromUtf8(storedPort).trimmed());
}

void tst_ComSetting::unchangedPortClosesSilently_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("as stored") << QString();
    QTest::newRow("leading blank") << QStringLiteral(" ");
}

void tst_ComSetting::unchangedPortClosesSilently()
{
    QFETCH(QString, typed);
    m_port = FreeLoopbackPort(PortForm::FourDigits);
    openDialog(QByteArray::number(m_port));
    // The main window listening on that very port does not matter: no trial listen is made.
    Ctl<QPushButton>(MainForm(), "cmdRecvData")->click();
    QCOMPARE(Socket(MainForm(), 0)->state(), int(SocketControl::sckListening));
    const QByteArray before = m_window->folder.readSettings();

    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(typed + QString::number(m_port));
    Ctl<QPushButton>(dialog(), "cmdApply")->click();
    QVERIFY(m_window->boxes.boxes.isEmpty());
    QVERIFY(!ComSettingFormExists());
    QVERIFY(MainForm().isVisible());
    QCOMPARE(m_window->folder.readSettings(), before);
}

void tst_ComSetting::invalidTextIsRefusedAndSelected_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("above 65535") << QStringLiteral("70000");
    QTest::newRow("letters") << QStringLiteral("abc");
    QTest::newRow("empty") << QString();
}

void tst_ComSetting::invalidTextIsRefusedAndSelected()
{
    QFETCH(QString, typed);
    openDialog("6000");
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(typed);
    Ctl<QPushButton>(dialog(), "cmdApply")->click();
    QCOMPARE(m_window->boxes.texts(), QStringList({invalidPort}));
    QCOMPARE(m_window->boxes.boxes.first().style, 0);
    QVERIFY(ComSettingFormExists());
    QVERIFY(dialog().isVisible());
    QCOMPARE(Ctl<QLineEdit>(dialog(), "txtRcvPort")->selectedText(), typed);
    QCOMPARE(m_window->folder.readSettings(), SettingsFileText("6000"));
}

void tst_ComSetting::portInUseIsRefusedAndNothingWritten()
{
    openDialog("6000");
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::Any, 0));
    const QString held = QString::number(holder.serverPort());
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(held);
    Ctl<QPushButton>(dialog(), "cmdApply")->click();
    QCOMPARE(m_window->boxes.texts(), QStringList({portUnusable}));
    QCOMPARE(m_window->boxes.boxes.first().style, 16);
    QCOMPARE(Ctl<QLineEdit>(dialog(), "txtRcvPort")->selectedText(), held);
    QCOMPARE(m_window->folder.readSettings(), SettingsFileText("6000"));
    QVERIFY(m_window->folder.logMessages().last().endsWith(QStringLiteral("(CheckListenPort)")));
}

void tst_ComSetting::freePortIsSavedForTheNextStart()
{
    openDialog(QByteArray::number(m_port));
    Ctl<QPushButton>(MainForm(), "cmdRecvData")->click();
    const quint16 newPort = FreeLoopbackPort(PortForm::FourDigits);
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(QStringLiteral(" ") + QString::number(newPort));
    Ctl<QPushButton>(dialog(), "cmdApply")->click();

    QCOMPARE(m_window->boxes.texts(), QStringList({portSaved}));
    QCOMPARE(m_window->boxes.boxes.first().style, 64);
    QCOMPARE(m_window->folder.readSettings(), SettingsFileText(QByteArray::number(newPort)));
    QVERIFY(!ComSettingFormExists());
    QCOMPARE(MainForm().RcvPort(), qint32(m_port));
    QCOMPARE(Socket(MainForm(), 0)->localPort(), qint32(m_port));
    QCOMPARE(Socket(MainForm(), 0)->state(), int(SocketControl::sckListening));
}

void tst_ComSetting::oldPortAfterSavingAnotherIsTried()
{
    openDialog(QByteArray::number(m_port));
    Ctl<QPushButton>(MainForm(), "cmdRecvData")->click();
    const quint16 newPort = FreeLoopbackPort();
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(QString::number(newPort));
    Ctl<QPushButton>(dialog(), "cmdApply")->click();
    QCOMPARE(m_window->boxes.texts(), QStringList({portSaved}));

    // The file now holds the new port, so the old one is not "unchanged": its trial listen fails
    // because the main window still listens on it.
    dialog().Load();
    dialog().show();
    QCOMPARE(Ctl<QLineEdit>(dialog(), "txtRcvPort")->text(), QString::number(newPort));
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(QString::number(m_port));
    Ctl<QPushButton>(dialog(), "cmdApply")->click();
    QCOMPARE(m_window->boxes.texts(), QStringList({portSaved, portUnusable}));
    QCOMPARE(m_window->folder.readSettings(), SettingsFileText(QByteArray::number(newPort)));
}

void tst_ComSetting::cancel_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("closes");
    QTest::newRow("valid stored port") << QByteArray("6000") << QStringList() << true;
    QTest::newRow("empty stored port") << QByteArray() << QStringList({storedPortInvalid}) << false;
    QTest::newRow("stored port out of range")
        << QByteArray("99999") << QStringList({storedPortInvalid}) << false;
}

void tst_ComSetting::cancel()
{
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, boxes);
    QFETCH(bool, closes);
    openDialog(stored);
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(QStringLiteral("7000"));
    Ctl<QPushButton>(dialog(), "cmdCancel")->click();
    QCOMPARE(m_window->boxes.texts(), boxes);
    QCOMPARE(!ComSettingFormExists(), closes);
    if (!closes)
        QCOMPARE(Ctl<QLineEdit>(dialog(), "txtRcvPort")->selectedText(), QStringLiteral("7000"));
    QCOMPARE(m_window->folder.readSettings(), SettingsFileText(stored));
}

void tst_ComSetting::failedWriteIsReported()
{
    openDialog("6000");
    QVERIFY(QDir(m_window->folder.path() + QStringLiteral("/Config")).removeRecursively());
    const QString typed = QString::number(FreeLoopbackPort());
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(typed);
    Ctl<QPushButton>(dialog(), "cmdApply")->click();
    QCOMPARE(m_window->boxes.texts(),
             QStringList({QStringLiteral("設定ファイルの書き込みに失敗しました。")}));
    QCOMPARE(m_window->boxes.boxes.first().style, 16);
    QVERIFY(m_window->folder.logMessages().last().endsWith(QStringLiteral("(cmdApply_Click)")));
    QVERIFY(ComSettingFormExists());
    QCOMPARE(Ctl<QLineEdit>(dialog(), "txtRcvPort")->selectedText(), typed);
}

void tst_ComSetting::enterAndEscapeDoNothing()
{
    openDialog("6000");
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setFocus();
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(QStringLiteral("abc"));
    QTest::keyClick(Ctl<QLineEdit>(dialog(), "txtRcvPort"), Qt::Key_Return);
    QTest::keyClick(Ctl<QLineEdit>(dialog(), "txtRcvPort"), Qt::Key_Escape);
    QVERIFY(m_window->boxes.boxes.isEmpty());
    QVERIFY(ComSettingFormExists());
    QVERIFY(dialog().isVisible());
}

void tst_ComSetting::returnPressesTheFocusedButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
}

void tst_ComSetting::returnPressesTheFocusedButton()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    openDialog("6000");
    Ctl<QLineEdit>(dialog(), "txtRcvPort")->setText(QStringLiteral("abc"));
    auto *apply = Ctl<QPushButton>(dialog(), "cmdApply");
    apply->setFocus();
    QTest::keyClick(apply, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(m_window->boxes.texts(), QStringList({QStringLiteral("受信ポート番号が不正です。")}));
}

void tst_ComSetting::menuOpensTheDialogWhileReceivingGoesOn()
{
    m_window->folder.writeSettings(SettingsFileText(QByteArray::number(m_port)));
    frmMain &form = MainForm();
    form.ReadSetting(m_window->folder.settingsFile());
    form.Show();
    Ctl<QPushButton>(form, "cmdRecvData")->click();

    LoopbackClient client;
    bool echoedWhileOpen = false;
    bool wasModal = false;
    QTimer::singleShot(0, this, [&] {
        wasModal = ComSettingFormExists() && dialog().isModal() && dialog().isVisible();
        if (client.connectTo(m_port)) {
            client.send("while open");
            echoedWhileOpen = client.waitForReceived(10);
        }
        Ctl<QPushButton>(dialog(), "cmdCancel")->click();
    });
    QTimer::singleShot(20000, this, [] {
        if (ComSettingFormExists())
            ComSettingForm().reject();
    });
    Ctl<QAction>(form, "ComSetting")->trigger();

    QVERIFY(wasModal);
    QVERIFY(echoedWhileOpen);
    QCOMPARE(client.received, QByteArray("while open"));
    QVERIFY(!ComSettingFormExists());
}

QTEST_MAIN(tst_ComSetting)
#include "tst_comsetting.moc"
