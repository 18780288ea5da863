#include "support/LoopbackPorts.h"
#include "support/ProcessResources.h"
#include "support/ReceiverSettings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Start-up of the real executable, copied into a fresh program folder.
class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStartPreparesFoldersAndSecondLeavesSilently();

private:
    QString file(const QString &relative) const { return m_dir->filePath(relative); }
    void startProcess(QProcess &process);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_executable;
};

void StartupTest::init()
{
    const QString built = qEnvironmentVariable("PARVEL_EXECUTABLE");
    if (built.isEmpty())
        QSKIP("PARVEL_EXECUTABLE names the executable under test");
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_executable = file(QStringLiteral("parvel"));
    QVERIFY(QFile::copy(built, m_executable));
}

void StartupTest::cleanup()
{
    m_dir.reset();
}

void StartupTest::startProcess(QProcess &process)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setProgram(m_executable);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    QVERIFY(process.waitForStarted(10000));
}

void StartupTest::firstStartPreparesFoldersAndSecondLeavesSilently()
{
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Config")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Temp/kept")));
    QFile config(file(QStringLiteral("Config/Kiv_TcpRecvSetting.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(ReceiverSettings(FreeLoopbackPort()));
    config.close();
    QFile scratch(file(QStringLiteral("Temp/scratch.tmp")));
    QVERIFY(scratch.open(QIODevice::WriteOnly));
    scratch.close();

    QProcess first;
    startProcess(first);
    QTRY_VERIFY_WITH_TIMEOUT(InstanceLockHeld(m_executable), 15000);
    QVERIFY(QFileInfo(file(QStringLiteral("Log"))).isDir());
    QVERIFY(!QFile::exists(file(QStringLiteral("Temp/scratch.tmp"))));
    QVERIFY(QFileInfo(file(QStringLiteral("Temp/kept"))).isDir());

    // The second start empties Temp too (that happens before the instance test), logs one line
    // and leaves without a window.
    QFile again(file(QStringLiteral("Temp/again.tmp")));
    QVERIFY(again.open(QIODevice::WriteOnly));
    again.close();
    QProcess second;
    startProcess(second);
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(!QFile::exists(file(QStringLiteral("Temp/again.tmp"))));

    QFile log(file(QStringLiteral("Log/Kiv_TcpRcvLog.txt")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray lines = log.readAll();
    const QRegularExpression layout(
        QStringLiteral("^1001 \\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d \\S+ "
                       "二重起動の為、起動を中止しました。\r\n$"));
    QVERIFY2(layout.match(QString::fromUtf8(lines)).hasMatch(), lines.constData());

    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    QVERIFY(first.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
