#include "support/Controls.h"
#include "support/EchoLog.h"
#include "support/EchoStream.h"
#include "support/EventWait.h"
#include "support/ExecutableCopy.h"
#include "support/ExpectedTexts.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackPorts.h"
#include "support/ProcessResources.h"
#include "support/SettingsFileText.h"

#include "forms/frmMain.h"
#include "platform/SocketControl.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// A second start of the executable while the first instance's program folder is busy receiving.
//
// The executable has no way to be told to listen from outside, so the busy receiver is this
// test's own window, working in the same program folder (same Log, Temp and Config) as a real
// first instance of the copied executable, which holds the instance lock. The second start of
// that executable then meets the real lock, while its start-up work (folders, Temp, log line)
// runs beside a window under load.
class ReliabilityInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void secondStartLeavesTheFirstUntouched();

private:
    std::unique_ptr<ListeningWindow> m_window;
    QString m_executable;
    QProcess m_first;
};

void ReliabilityInstanceTest::init()
{
    if (qEnvironmentVariableIsEmpty("PARVEL_EXECUTABLE"))
        QSKIP("PARVEL_EXECUTABLE names the executable under test");
    m_window = std::make_unique<ListeningWindow>();
    QVERIFY(m_window->isValid());
    m_executable = CopyExecutableInto(m_window->folder.path());
    QVERIFY(!m_executable.isEmpty());
}

void ReliabilityInstanceTest::cleanup()
{
    if (m_first.state() != QProcess::NotRunning) {
        m_first.kill();
        m_first.waitForFinished(10000);
    }
    m_window.reset();
}

void ReliabilityInstanceTest::secondStartLeavesTheFirstUntouched()
{
    const ProgramFolderFixture &folder = m_window->folder;
    const QByteArray settings = folder.readSettings();

    // The real first instance: it holds the lock and waits with its main window open.
    QVERIFY(StartExecutable(m_first, m_executable));
    QVERIFY(WaitUntil([&] { return InstanceLockHeld(m_window->folder.path()); }, 15000));

    // The receiver under load, on a port of its own so that the two never compete for one.
    frmMain &form = m_window->form;
    // Read from a file of its own: the program folder's settings must stay as they are.
    const QString ownSettings = folder.path() + QStringLiteral("/receiver.ini");
    QFile own(ownSettings);
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.write(SettingsFileText(FreeLoopbackPort()));
    own.close();
    form.ReadSetting(ownSettings);
    QVERIFY(m_window->startListening());
    EchoStream stream(2);
    QVERIFY(stream.connectTo(quint16(form.RcvPort())));
    stream.setTarget(std::numeric_limits<qint64>::max()); // until the second start is over
    QVERIFY(WaitUntil([&] { return stream.echoed() >= 1024 * 1024; }, 30000));

    QFile scratch(folder.path() + QStringLiteral("/Temp/scratch.tmp"));
    QVERIFY(scratch.open(QIODevice::WriteOnly));
    scratch.close();
    const qint64 echoedBefore = stream.echoed();
    QProcess second;
    QVERIFY(StartExecutable(second, m_executable));
    QVERIFY(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, 15000));
    const qint64 echoedDuring = stream.echoed() - echoedBefore;
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    // The stream goes on a little longer, then ends; every byte came back in order.
    stream.setTarget(stream.sent() + 1024 * 1024);
    QVERIFY(
        WaitUntil([&] { return stream.echoed() >= stream.target() || !stream.intact(); }, 30000));
    QVERIFY2(stream.intact(), qPrintable(QString::number(stream.firstMismatch())));
    QCOMPARE(stream.echoed(), stream.target());
    qInfo("%lld bytes echoed while the second start ran, %lld in all", echoedDuring,
          stream.echoed());
    QVERIFY(echoedDuring > 0);

    // The first instance still runs and holds the lock; the receiver still listens and serves.
    QCOMPARE(m_first.state(), QProcess::Running);
    QVERIFY(InstanceLockHeld(m_window->folder.path()));
    QCOMPARE(Socket(form, 0)->state(), int(SocketControl::sckListening));
    QCOMPARE(Socket(form, 1)->state(), int(SocketControl::sckConnected));
    QCOMPARE(folder.readSettings(), settings);
    QVERIFY(m_window->boxes.boxes.isEmpty());
    // Emptying Temp is start-up work that comes before the instance test.
    QVERIFY(!scratch.exists());

    // The log: the receiver's lines, whole, and the one line of the refused start among them.
    static const QRegularExpression layout(
        ExpectedText::logLinePattern(QStringLiteral("\\d+バイトのデータ受信|\\d+バイトの応答送信|")
                                     + ExpectedText::secondStart));
    const QStringList lines = folder.logLines();
    for (const QString &line : lines)
        QVERIFY2(layout.match(line).hasMatch(), qPrintable(line));
    QStringList messages = folder.logMessages();
    QCOMPARE(messages.removeAll(ExpectedText::secondStart), qsizetype(1));
    QCOMPARE(LoggedEchoBytes(messages), stream.echoed());
    QVERIFY(!QFileInfo::exists(folder.logFile() + QStringLiteral(".1")));
    QVERIFY(readFile(folder.logFile()).endsWith("\r\n"));
}

QTEST_MAIN(ReliabilityInstanceTest)
#include "tst_reliability_instance.moc"
