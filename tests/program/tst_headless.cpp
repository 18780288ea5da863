#include "support/ExecutableCopy.h"

#include "app/CommandLine.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// The environment of a machine without a display: no variable that names one.
QProcessEnvironment displayless()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    return environment;
}
} // namespace

// The real executable without a display, as a test rig, a CI job or a service starts it.
class HeadlessTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answersWithoutStarting_data();
    void answersWithoutStarting();

private:
    // Runs the executable to its end; false when it did not end in time.
    bool run(QProcess &process, const QStringList &arguments,
             const QProcessEnvironment &environment);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_executable;
};

void HeadlessTest::init()
{
    if (qEnvironmentVariableIsEmpty("PARVEL_EXECUTABLE"))
        QSKIP("PARVEL_EXECUTABLE names the executable under test");
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_executable = CopyExecutableInto(m_dir->path());
    QVERIFY(!m_executable.isEmpty());
}

void HeadlessTest::cleanup()
{
    m_dir.reset();
}

bool HeadlessTest::run(QProcess &process, const QStringList &arguments,
                       const QProcessEnvironment &environment)
{
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(m_executable, arguments);
    return process.waitForFinished(20000);
}

void HeadlessTest::answersWithoutStarting_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("window"); // run where a (virtual) display exists
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // contained in standard output
    QTest::addColumn<QString>("error"); // the whole of standard error

    QTest::newRow("--help") << QStringList {"--help"} << false << 0 << "  4  このプログラムフォルダ"
                            << QString();
    QTest::newRow("--version") << QStringList {"--version"} << false << 0 << "Parvel " << QString();
    QTest::newRow("an unknown option")
        << QStringList {"--headless", "--bogus"} << false << ExitStatus::badUsage << QString()
        << "parvel: 不明なオプションです: --bogus\n";
    QTest::newRow("a bad port") << QStringList {"--headless", "--port", "70000"} << false
                                << ExitStatus::badUsage << QString()
                                << "parvel: --port の値が不正です: 70000 (0〜65535)\n";
    QTest::newRow("the window, an unknown option")
        << QStringList {"--bogus"} << true << ExitStatus::badUsage << QString()
        << "parvel: 不明なオプションです: --bogus\n";
    QTest::newRow("the window, a terminal option")
        << QStringList {"--quiet"} << true << ExitStatus::badUsage << QString()
        << "parvel: --quiet は --headless と共に指定してください。\n";
}

void HeadlessTest::answersWithoutStarting()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, window);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, error);
    QProcessEnvironment environment = displayless();
    if (window)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess process;
    QVERIFY(run(process, arguments, environment));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    QVERIFY(QString::fromUtf8(process.readAllStandardOutput()).contains(output));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    if (window) // Qt may say something about the desktop first
        QVERIFY2(errors.endsWith(error), qPrintable(errors));
    else
        QCOMPARE(errors, error);
    // Nothing was started: no folder of the program's own was made.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(HeadlessTest)
#include "tst_headless.moc"
