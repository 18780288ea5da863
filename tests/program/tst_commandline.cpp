#include "app/CommandLine.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {
// The options a run was given, in one comparable line.
QString describe(const RunOptions &options)
{
    QStringList parts;
    if (options.headless)
        parts << QStringLiteral("headless");
    if (options.quiet)
        parts << QStringLiteral("quiet");
    if (options.capture)
        parts << QStringLiteral("capture");
    if (options.port)
        parts << QStringLiteral("port=%1").arg(*options.port);
    if (options.response)
        parts << QStringLiteral("response=%1").arg(*options.response);
    if (options.bindAddress)
        parts << QStringLiteral("bind=") + *options.bindAddress;
    if (options.rulesFile)
        parts << QStringLiteral("rules=") + *options.rulesFile;
    return parts.join(QLatin1Char(' '));
}

CommandLine parse(const QStringList &arguments)
{
    return ParseCommandLine(QStringList {QStringLiteral("parvel")} + arguments);
}

// The value of a key of the unit file's [Service] section.
QString serviceValue(const QString &unit, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key),
                                  QRegularExpression::MultilineOption);
    return line.match(unit).captured(1).trimmed();
}
} // namespace

// The option parser on its own; the real executable's answers are the headless test's.
class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void helpAndVersion_data();
    void helpAndVersion();
    void windowlessArguments_data();
    void windowlessArguments();
    void serviceUnitRunsTheTerminalMode();
};

void tst_CommandLine::accepted_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("options");
    QTest::newRow("the window, as a launcher starts it") << QStringList() << QString();
    QTest::newRow("headless") << QStringList {"--headless"} << "headless";
    QTest::newRow("one dash") << QStringList {"-headless", "-port", "7"} << "headless port=7";
    QTest::newRow("everything") << QStringList {"--headless", "--port",    "5000",
                                                "--response", "echo",      "--capture",
                                                "--bind",     "127.0.0.1", "--quiet"}
                                << "headless quiet capture port=5000 response=1 bind=127.0.0.1";
    QTest::newRow("the system's port")
        << QStringList {"--headless", "--port=0"} << "headless port=0";
    QTest::newRow("the highest port")
        << QStringList {"--headless", "--port", "65535"} << "headless port=65535";
    QTest::newRow("no response") << QStringList {"--headless", "--response=none"}
                                 << "headless response=0";
    QTest::newRow("the custom reply")
        << QStringList {"--headless", "--response", "custom"} << "headless response=2";
    QTest::newRow("another rules file")
        << QStringList {"--headless", "--rules", QCoreApplication::applicationFilePath()}
        << "headless rules=" + QCoreApplication::applicationFilePath();
    QTest::newRow("IPv6") << QStringList {"--headless", "--bind", "::1"} << "headless bind=::1";
    QTest::newRow("every address for once")
        << QStringList {"--headless", "--bind", ""} << "headless bind=";
    QTest::newRow("the window's bind address")
        << QStringList {"--bind", "127.0.0.2"} << "bind=127.0.0.2";
    QTest::newRow("the last of a repeated value")
        << QStringList {"--headless", "--port", "1", "--port", "2"} << "headless port=2";
}

void tst_CommandLine::accepted()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, options);
    const CommandLine commandLine = parse(arguments);
    QCOMPARE(commandLine.action, CommandLine::Action::Run);
    QCOMPARE(describe(commandLine.options), options);
}

void tst_CommandLine::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unknown option")
        << QStringList {"--headless", "--bogus"} << "不明なオプションです: --bogus";
    QTest::newRow("misspelt headless")
        << QStringList {"--hedless"} << "不明なオプションです: --hedless";
    QTest::newRow("unknown letter") << QStringList {"-x"} << "不明なオプションです: -x";
    QTest::newRow("an argument") << QStringList {"--headless", "file.txt"}
                                 << "不明な引数です: file.txt";
    QTest::newRow("port without value")
        << QStringList {"--headless", "--port"} << "--port の値がありません。";
    QTest::newRow("bind without value") << QStringList {"--bind"} << "--bind の値がありません。";
    QTest::newRow("a switch with a value")
        << QStringList {"--headless", "--capture=yes"} << "--capture は値をとりません。";
    for (const char *port : {"65536", "-1", "5e3", " 80", "", "0x50", "１２"})
        QTest::newRow(qPrintable(QStringLiteral("port %1").arg(QString::fromUtf8(port))))
            << QStringList {"--headless", "--port", QString::fromUtf8(port)}
            << QStringLiteral("--port の値が不正です: %1 (0〜65535)").arg(QString::fromUtf8(port));
    for (const char *mode : {"ECHO", "", "1"})
        QTest::newRow(qPrintable(QStringLiteral("response %1").arg(QLatin1String(mode))))
            << QStringList {"--headless", "--response", QLatin1String(mode)}
            << QStringLiteral("--response の値が不正です: %1 (echo、custom、none)")
                   .arg(QLatin1String(mode));
    for (const char *address : {"localhost", "127.1", "127.0.0.1:80"})
        QTest::newRow(address) << QStringList {"--bind", QLatin1String(address)}
                               << QStringLiteral("--bind の値が不正です: %1 "
                                                 "(数値のIPv4またはIPv6アドレス)")
                                      .arg(QLatin1String(address));
    QTest::newRow("rules file missing")
        << QStringList {"--headless", "--rules", "/nonexistent/rules.txt"}
        << "--rules のファイルがありません: /nonexistent/rules.txt";
    for (const char *option :
         {"--port=1", "--response=echo", "--capture", "--quiet", "--rules=x"}) {
        const QString name = QString::fromLatin1(option).section(QLatin1Char('='), 0, 0);
        QTest::newRow(qPrintable(name + QStringLiteral(" in the window")))
            << QStringList {QLatin1String(option)}
            << name + QStringLiteral(" は --headless と共に指定してください。");
    }
}

void tst_CommandLine::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const CommandLine commandLine = parse(arguments);
    QCOMPARE(commandLine.action, CommandLine::Action::BadUsage);
    QCOMPARE(commandLine.text, QStringLiteral("parvel: ") + reason);
}

void tst_CommandLine::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("help"); // else the version
    QTest::addColumn<QString>("contains");
    QTest::newRow("--help") << QStringList {"--help"} << true << "  3  待ち受けできるポートがない";
    QTest::newRow("-h, whatever follows")
        << QStringList {"-h", "--headless", "--port", "1"} << true << "--response MODE";
    QTest::newRow("--version") << QStringList {"--version"} << false << "Parvel 1.";
    QTest::newRow("-v") << QStringList {"-v"} << false << "Parvel 1.";
}

void tst_CommandLine::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, help);
    QFETCH(QString, contains);
    const CommandLine commandLine = parse(arguments);
    QCOMPARE(commandLine.action,
             help ? CommandLine::Action::ShowHelp : CommandLine::Action::ShowVersion);
    QVERIFY2(commandLine.text.contains(contains), qPrintable(commandLine.text));
    QVERIFY(commandLine.text.endsWith(QLatin1Char('\n')));
}

void tst_CommandLine::windowlessArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("windowless");
    QTest::newRow("none") << QStringList() << false;
    QTest::newRow("the bind address") << QStringList {"--bind", "::1"} << false;
    QTest::newRow("Qt's own") << QStringList {"-platform", "offscreen"} << false;
    QTest::newRow("headless") << QStringList {"--port", "1", "--headless"} << true;
    QTest::newRow("help") << QStringList {"--help"} << true;
    QTest::newRow("version, one dash") << QStringList {"-version"} << true;
    QTest::newRow("after the end of options") << QStringList {"--", "--headless"} << false;
}

void tst_CommandLine::windowlessArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, windowless);
    QCOMPARE(RunsWithoutWindow(QStringList {QStringLiteral("parvel")} + arguments), windowless);
}

void tst_CommandLine::serviceUnitRunsTheTerminalMode()
{
    QFile file(QStringLiteral(PARVEL_SOURCE_DIR "/docs/parvel.service"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString unit = QString::fromUtf8(file.readAll());
    // systemd splits the command line at blanks; none of its words is quoted here.
    const QStringList command
        = serviceValue(unit, QStringLiteral("ExecStart")).split(QLatin1Char(' '));
    QVERIFY(command.first().endsWith(QStringLiteral("/parvel")));
    const CommandLine commandLine = ParseCommandLine(command);
    QCOMPARE(commandLine.action, CommandLine::Action::Run);
    QVERIFY(commandLine.options.headless);
    QCOMPARE(serviceValue(unit, QStringLiteral("Restart")), QStringLiteral("on-failure"));
    // A start that fails the same way every time is not repeated; one that may pass is.
    const QStringList kept
        = serviceValue(unit, QStringLiteral("RestartPreventExitStatus")).split(QLatin1Char(' '));
    QCOMPARE(kept,
             (QStringList {QString::number(ExitStatus::badUsage),
                           QString::number(ExitStatus::alreadyRunning)}));
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
