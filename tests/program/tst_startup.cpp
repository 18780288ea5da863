#include "support/ExecutableCopy.h"
#include "support/ExpectedTexts.h"
#include "support/LoopbackPorts.h"
#include "support/ProcessResources.h"
#include "support/SettingsFileText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// Start-up of the real executable, copied into a fresh program folder.
class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStartPreparesFoldersAndSecondLeavesSilently_data();
    void firstStartPreparesFoldersAndSecondLeavesSilently();
    void oversizedLogIsRotatedAtStart();
    void secondStartWithAnUnwritableLog_data();
    void secondStartWithAnUnwritableLog();

private:
    QString file(const QString &relative) const { return m_program->dir.filePath(relative); }

    std::unique_ptr<ExecutableFolder> m_program;
};

void tst_Startup::init()
{
    if (qEnvironmentVariableIsEmpty("PARVEL_EXECUTABLE"))
        QSKIP("PARVEL_EXECUTABLE names the executable under test");
    m_program = std::make_unique<ExecutableFolder>();
    QVERIFY(m_program->isValid());
}

void tst_Startup::cleanup()
{
    m_program.reset();
}

void tst_Startup::firstStartPreparesFoldersAndSecondLeavesSilently_data()
{
    QTest::addColumn<bool>("replacedByRename");
    QTest::newRow("the same executable again") << false;
    QTest::newRow("the executable replaced by a rename, as an update does") << true;
}

void tst_Startup::firstStartPreparesFoldersAndSecondLeavesSilently()
{
    QFETCH(bool, replacedByRename);
    QVERIFY(QDir(m_program->dir.path()).mkpath(QStringLiteral("Config")));
    QVERIFY(QDir(m_program->dir.path()).mkpath(QStringLiteral("Temp/kept")));
    QFile config(file(QStringLiteral("Config/Kiv_TcpRecvSetting.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(SettingsFileText(FreeLoopbackPort()));
    config.close();
    QFile scratch(file(QStringLiteral("Temp/scratch.tmp")));
    QVERIFY(scratch.open(QIODevice::WriteOnly));
    scratch.close();

    QProcess first;
    QVERIFY(StartExecutable(first, m_program->executable));
    QTRY_VERIFY_WITH_TIMEOUT(InstanceLockHeld(m_program->dir.path()), 15000);
    QVERIFY(QFileInfo(file(QStringLiteral("Log"))).isDir());
    QVERIFY(!QFile::exists(file(QStringLiteral("Temp/scratch.tmp"))));
    QVERIFY(QFileInfo(file(QStringLiteral("Temp/kept"))).isDir());

    // The second start empties Temp too (that happens before the instance test), logs one line
    // and leaves without a window.
    QFile again(file(QStringLiteral("Temp/again.tmp")));
    QVERIFY(again.open(QIODevice::WriteOnly));
    again.close();
    if (replacedByRename) {
        QVERIFY(QFile::rename(m_program->executable, file(QStringLiteral("parvel.old"))));
        QCOMPARE(CopyExecutableInto(m_program->dir.path()), m_program->executable);
    }
    QProcess second;
    QVERIFY(StartExecutable(second, m_program->executable));
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(!QFile::exists(file(QStringLiteral("Temp/again.tmp"))));

    QFile log(file(QStringLiteral("Log/Kiv_TcpRcvLog.txt")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray lines = log.readAll();
    QVERIFY2(lines.endsWith("\r\n") && lines.count('\n') == 1, lines.constData());
    const QRegularExpression layout(ExpectedText::logLinePattern(ExpectedText::secondStart));
    QVERIFY2(layout.match(QString::fromUtf8(lines.chopped(2))).hasMatch(), lines.constData());

    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    QVERIFY(first.waitForFinished(10000));
}

void tst_Startup::oversizedLogIsRotatedAtStart()
{
    QVERIFY(QDir(m_program->dir.path()).mkpath(QStringLiteral("Config")));
    QVERIFY(QDir(m_program->dir.path()).mkpath(QStringLiteral("Log")));
    QFile config(file(QStringLiteral("Config/Kiv_TcpRecvSetting.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(SettingsFileText(FreeLoopbackPort(), 1));
    config.close();
    const QByteArray oldContent(1024 * 1024 + 1, 'x');
    QFile live(file(QStringLiteral("Log/Kiv_TcpRcvLog.txt")));
    QVERIFY(live.open(QIODevice::WriteOnly));
    QCOMPARE(live.write(oldContent), oldContent.size());
    live.close();

    QProcess process;
    QVERIFY(StartExecutable(process, m_program->executable));
    QFile rotated(file(QStringLiteral("Log/Kiv_TcpRcvLog.txt.1")));
    QTRY_VERIFY_WITH_TIMEOUT(rotated.exists(), 15000);
    QVERIFY(rotated.open(QIODevice::ReadOnly));
    QCOMPARE(rotated.readAll(), oldContent);
    QVERIFY(live.size() < oldContent.size());

    process.kill();
    QVERIFY(process.waitForFinished(10000));
}

void tst_Startup::secondStartWithAnUnwritableLog_data()
{
    QTest::addColumn<bool>("fifo");
    QTest::newRow("a FIFO without a reader at the log path") << true;
    QTest::newRow("the log at the file size limit") << false;
}

void tst_Startup::secondStartWithAnUnwritableLog()
{
    QFETCH(bool, fifo);
    QVERIFY(QDir(m_program->dir.path()).mkpath(QStringLiteral("Log")));
    const QString log = file(QStringLiteral("Log/Kiv_TcpRcvLog.txt"));
    const QByteArray earlier
        = QByteArray("1001 26/12/07 17:34:42.5 host earlier\r\n").repeated(2000);
    if (fifo) {
        QCOMPARE(::mkfifo(QFile::encodeName(log).constData(), 0600), 0);
    } else {
        QFile live(log);
        QVERIFY(live.open(QIODevice::WriteOnly));
        QCOMPARE(live.write(earlier), earlier.size());
    }
    // The running instance's lock, held by the test.
    const int lock = ::open(QFile::encodeName(m_program->dir.path()).constData(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const auto unlock = qScopeGuard([lock] { ::close(lock); });
    QCOMPARE(::flock(lock, LOCK_EX | LOCK_NB), 0);

    QProcess second;
    if (!fifo) {
        // Room for a part of the refusal line only.
        const rlim_t room = rlim_t(earlier.size() + 20);
        second.setChildProcessModifier([room] {
            rlimit limit {};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = room;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    QVERIFY(StartExecutable(second, m_program->executable));
    // The refusal line is lost, and the start ends as it would have with it.
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    if (!fifo) {
        QFile live(log);
        QVERIFY(live.open(QIODevice::ReadOnly));
        QCOMPARE(live.readAll(), earlier);
    }
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
