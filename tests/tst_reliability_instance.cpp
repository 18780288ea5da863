#include "support/EchoLog.h"
#include "support/EchoStream.h"
#include "support/EventWait.h"
#include "support/LoopbackPorts.h"
#include "support/MessageBoxRecorder.h"
#include "support/ProcessResources.h"
#include "support/ProgramFolderFixture.h"
#include "support/ReceiverSettings.h"

#include "forms/frmMain.h"
#include "platform/core/SocketControl.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

namespace {
const QString refusedLine = QStringLiteral("二重起動の為、起動を中止しました。");

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
    void start(QProcess &process);

    std::unique_ptr<ProgramFolderFixture> m_folder;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    QString m_executable;
    QProcess m_first;
};

void ReliabilityInstanceTest::init()
{
    const QString built = qEnvironmentVariable("PARVEL_EXECUTABLE");
    if (built.isEmpty())
        QSKIP("PARVEL_EXECUTABLE names the executable under test");
    m_folder = std::make_unique<ProgramFolderFixture>();
    QVERIFY(m_folder->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
    m_executable = m_folder->path() + QStringLiteral("/parvel");
    QVERIFY(QFile::copy(built, m_executable));
}

void ReliabilityInstanceTest::cleanup()
{
    if (m_first.state() != QProcess::NotRunning) {
        m_first.kill();
        m_first.waitForFinished(10000);
    }
    UnloadMainForm();
    m_boxes.reset();
    m_folder.reset();
}

void ReliabilityInstanceTest::start(QProcess &process)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setProgram(m_executable);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    QVERIFY(process.waitForStarted(10000));
}

void ReliabilityInstanceTest::secondStartLeavesTheFirstUntouched()
{
    m_folder->writeSettings(ReceiverSettings(FreeLoopbackPort()));
    const QByteArray settings = m_folder->readSettings();

    // The real first instance: it holds the lock and waits with its main window open.
    start(m_first);
    QVERIFY(WaitUntil([&] { return InstanceLockHeld(m_executable); }, 15000));

    // The receiver under load, on a port of its own so that the two never compete for one.
    frmMain &form = MainForm();
    form.ReadSetting(m_folder->settingsFile());
    form.lngRcvPort = FreeLoopbackPort();
    form.Show();
    form.cmdRecvData->click();
    QCOMPARE(form.wscRecv.at(0)->state(), int(SocketControl::sckListening));
    EchoStream stream(2);
    QVERIFY(stream.connectTo(quint16(form.lngRcvPort)));
    stream.setTarget(std::numeric_limits<qint64>::max()); // until the second start is over
    QVERIFY(WaitUntil([&] { return stream.echoed() >= 1024 * 1024; }, 30000));

    QFile scratch(m_folder->path() + QStringLiteral("/Temp/scratch.tmp"));
    QVERIFY(scratch.open(QIODevice::WriteOnly));
    scratch.close();
    const qint64 echoedBefore = stream.echoed();
    QProcess second;
    start(second);
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
    QVERIFY(InstanceLockHeld(m_executable));
    QCOMPARE(form.wscRecv.at(0)->state(), int(SocketControl::sckListening));
    QCOMPARE(form.wscRecv.at(1)->state(), int(SocketControl::sckConnected));
    QCOMPARE(m_folder->readSettings(), settings);
    QVERIFY(m_boxes->boxes.isEmpty());
    // Emptying Temp is start-up work that comes before the instance test.
    QVERIFY(!scratch.exists());

    // The log: the receiver's lines, whole, and the one line of the refused start among them.
    static const QRegularExpression layout(QStringLiteral(
        "^1001 \\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d \\S+ (\\d+バイトのデータ受信|"
        "\\d+バイトの応答送信|二重起動の為、起動を中止しました。)$"));
    const QStringList lines = m_folder->logLines();
    for (const QString &line : lines)
        QVERIFY2(layout.match(line).hasMatch(), qPrintable(line));
    QStringList messages = m_folder->logMessages();
    QCOMPARE(messages.removeAll(refusedLine), qsizetype(1));
    QCOMPARE(LoggedEchoBytes(messages), stream.echoed());
    QVERIFY(!QFileInfo::exists(m_folder->logFile() + QStringLiteral(".1")));
    QVERIFY(readFile(m_folder->logFile()).endsWith("\r\n"));
}

QTEST_MAIN(ReliabilityInstanceTest)
#include "tst_reliability_instance.moc"
