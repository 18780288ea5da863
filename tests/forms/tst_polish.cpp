#include "support/Controls.h"
#include "support/LoopbackClient.h"
#include "support/LoopbackPorts.h"
#include "support/SettingsFileText.h"
#include "support/WindowFolder.h"

#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"
#include "forms/ui/HexGrid.h"
#include "lib/HexGridModel.h"

#include <QAction>
#include <QClipboard>
#include <QHelpEvent>
#include <QPushButton>
#include <QtTest>

namespace {
QStringList *recordedMessages = nullptr;

// Keeps every warning Qt prints. The headless platform that runs the tests adds remarks of its
// own about what it cannot do (raise a window, grab the keyboard); a desktop never prints those.
void recordMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    recordedMessages->append(message);
}
} // namespace

// What a finished desktop tool does without being asked: a fixed-size dialog and a quiet console.
class tst_Polish : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogCannotBeResized();
    void normalUsePrintsNoWarning();

private:
    std::unique_ptr<WindowFolder> m_window;
    quint16 m_port = 0;
};

void tst_Polish::init()
{
    m_window = std::make_unique<WindowFolder>();
    QVERIFY(m_window->folder.isValid());
    m_port = FreeLoopbackPort();
    m_window->folder.writeSettings(SettingsFileText(m_port));
    MainForm().ReadSetting(m_window->folder.settingsFile());
}

void tst_Polish::cleanup()
{
    m_window.reset();
}

void tst_Polish::dialogCannotBeResized()
{
    // The main window's fixed size is part of its layout test.
    frmTcpRcvComSetting &dialog = ComSettingForm();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // 4560 x 2835 twips.
    QCOMPARE(dialog.minimumSize(), QSize(304, 189));
    QCOMPARE(dialog.maximumSize(), QSize(304, 189));
}

void tst_Polish::normalUsePrintsNoWarning()
{
    QStringList messages;
    recordedMessages = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
    auto restore = qScopeGuard([previous] {
        qInstallMessageHandler(previous);
        recordedMessages = nullptr;
    });

    frmMain &form = MainForm();
    form.Show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    Ctl<QPushButton>(form, "cmdRecvData")->click();
    LoopbackClient client;
    QVERIFY(client.connectTo(m_port));
    for (const QByteArray &block : {QByteArray("ABC"), QByteArray(40, 'x'), QByteArray("12")}) {
        client.received.clear();
        client.send(block);
        QVERIFY(client.waitForReceived(block.size()));
    }
    QTRY_COMPARE(Ctl<HexGrid>(form, "fgrdSendData")->hexModel().bytes(), QByteArray("12"));

    // Copy from each grid, as a user would, and point at a cell for its tooltip.
    for (HexGrid *grid : {Ctl<HexGrid>(form, "fgrdRecvData"), Ctl<HexGrid>(form, "fgrdSendData")}) {
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("31 32"));
        const QPoint cell = grid->visualRect(grid->model()->index(0, 0)).center();
        QHelpEvent help(QEvent::ToolTip, cell, grid->viewport()->mapToGlobal(cell));
        QCoreApplication::sendEvent(grid->viewport(), &help);
    }

    frmTcpRcvComSetting &dialog = ComSettingForm();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Ctl<QPushButton>(dialog, "cmdCancel")->click();
    Ctl<QPushButton>(form, "cmdRecvData")->click();
    QCoreApplication::processEvents();

    QCOMPARE(messages, QStringList());
}

QTEST_MAIN(tst_Polish)
#include "tst_polish.moc"
