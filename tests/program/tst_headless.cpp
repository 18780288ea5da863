#include "support/EchoStream.h"
#include "support/EventWait.h"
#include "support/ExecutableCopy.h"
#include "support/ExpectedTexts.h"
#include "support/LoopbackClient.h"
#include "support/LoopbackPorts.h"
#include "support/ProcessResources.h"

#include "app/CommandLine.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {
// The environment of a machine without a display: no variable that names one.
QProcessEnvironment displayless()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    return environment;
}

const QRegularExpression
    eventLine(QStringLiteral("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d (.*)$"));

// A headless Parvel in the test's program folder, read line by line.
class Headless
{
public:
    bool start(const QString &executable, const QStringList &arguments)
    {
        process.setProcessEnvironment(displayless());
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(executable, QStringList {QStringLiteral("--headless")} + arguments);
        return process.waitForStarted(10000);
    }
    // The texts of the event lines so far, without their time stamps; a line that is not an
    // event line is kept whole, so that a comparison shows it.
    QStringList lines()
    {
        m_output += process.readAllStandardOutput();
        return QString::fromUtf8(m_output).split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList events()
    {
        QStringList texts;
        for (const QString &line : lines()) {
            const QRegularExpressionMatch match = eventLine.match(line);
            texts << (match.hasMatch() ? match.captured(1) : line);
        }
        return texts;
    }
    // The port of the 待受中 line, once it came; 0 when none came in time.
    quint16 waitForListening()
    {
        static const QRegularExpression listening(QStringLiteral("^待受中 (?:.*:)?(\\d+)$"));
        quint16 port = 0;
        WaitUntil(
            [&] {
                for (const QString &text : events())
                    if (const auto match = listening.match(text); match.hasMatch())
                        port = match.captured(1).toUShort();
                return port != 0 || process.state() != QProcess::Running;
            },
            15000);
        return port;
    }
    // Sends the signal and waits for the end; the exit status, or -1 when it did not end.
    int endWith(int signalNumber)
    {
        ::kill(pid_t(process.processId()), signalNumber);
        if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        return process.exitCode();
    }
    QString errors() { return QString::fromUtf8(process.readAllStandardError()); }

    QProcess process;

private:
    QByteArray m_output;
};

// A settings file: the port, the response mode, the log's limits, and any further lines for
// [Maintenance].
QByteArray settings(const QByteArray &port, int response = 1, const QByteArray &more = {})
{
    return "[Port]\r\nTcpPort=" + port + "\r\n[Maintenance]\r\nResSetting="
        + QByteArray::number(response) + "\r\nLogMaxSize=3\r\nLogGenerations=10\r\n" + more;
}
} // namespace

// The real executable without a display, as a test rig, a CI job or a service starts it.
class tst_Headless : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answersWithoutStarting_data();
    void answersWithoutStarting();
    void echoesAndLogsAsTheWindowDoes();
    void options_data();
    void options();
    void exitStatuses_data();
    void exitStatuses();
    void secondInstanceLeaves();
    void signalEndsInOrder_data();
    void signalEndsInOrder();

private:
    QString path(const QString &relative) const { return m_program->dir.filePath(relative); }
    void writeSettings(const QByteArray &content) const;
    // The log's lines without their CR LF; the messages alone with messagesOnly.
    QStringList logLines(bool messagesOnly = false) const;

    // Runs the executable to its end; false when it did not end in time.
    bool run(QProcess &process, const QStringList &arguments,
             const QProcessEnvironment &environment);

    std::unique_ptr<ExecutableFolder> m_program;
};

void tst_Headless::init()
{
    if (qEnvironmentVariableIsEmpty("PARVEL_EXECUTABLE"))
        QSKIP("PARVEL_EXECUTABLE names the executable under test");
    m_program = std::make_unique<ExecutableFolder>();
    QVERIFY(m_program->isValid());
}

void tst_Headless::cleanup()
{
    m_program.reset();
}

bool tst_Headless::run(QProcess &process, const QStringList &arguments,
                       const QProcessEnvironment &environment)
{
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(m_program->executable, arguments);
    return process.waitForFinished(20000);
}

void tst_Headless::answersWithoutStarting_data()
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

void tst_Headless::answersWithoutStarting()
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
    QCOMPARE(QDir(m_program->dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_Headless::writeSettings(const QByteArray &content) const
{
    QDir(m_program->dir.path()).mkpath(QStringLiteral("Config"));
    QFile file(path(QStringLiteral("Config/Kiv_TcpRecvSetting.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QStringList tst_Headless::logLines(bool messagesOnly) const
{
    QFile file(path(QStringLiteral("Log/Kiv_TcpRcvLog.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    lines.removeLast(); // after the last line's end
    if (messagesOnly) {
        for (QString &line : lines)
            line = line.section(QLatin1Char(' '), 4);
    }
    return lines;
}

void tst_Headless::echoesAndLogsAsTheWindowDoes()
{
    writeSettings(settings("0"));
    Headless parvel;
    QVERIFY(parvel.start(m_program->executable, {}));
    const quint16 port = parvel.waitForListening();
    QVERIFY2(port != 0, qPrintable(parvel.errors()));
    QString peer;
    {
        LoopbackClient client;
        QVERIFY(client.connectTo(port));
        peer = QStringLiteral("127.0.0.1:%1").arg(client.socket().localPort());
        client.send("ABC");
        QVERIFY(client.waitForReceived(3));
        QCOMPARE(client.received, QByteArray("ABC"));
    }
    QVERIFY(WaitUntil([&] { return parvel.events().contains(QStringLiteral("切断 ") + peer); }));
    QCOMPARE(parvel.endWith(SIGTERM), ExitStatus::endedBySignal);

    QCOMPARE(logLines(true), QStringList({"3バイトのデータ受信", "3バイトの応答送信"}));
    QCOMPARE(
        parvel.events(),
        QStringList({QStringLiteral("待受中 %1").arg(port), QStringLiteral("接続中 ") + peer,
                     "3バイトのデータ受信", "3バイトの応答送信", QStringLiteral("切断 ") + peer,
                     "終了 受信 1件 3バイト 送信 1件 3バイト"}));
    // The terminal's line of a log line is the log line's time stamp and message.
    for (const QString &logLine : logLines())
        QVERIFY2(parvel.lines().contains(logLine.section(QLatin1Char(' '), 1, 2) + u' '
                                         + logLine.section(QLatin1Char(' '), 4)),
                 qPrintable(logLine));
    QCOMPARE(parvel.errors(), QString());
}

void tst_Headless::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("more"); // further [Maintenance] lines
    QTest::addColumn<QByteArray>("answer"); // to the block ABCD
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<bool>("capture");
    // The stored port is held by another listener and the stored mode is no response: each
    // option overrides the settings.
    QTest::newRow("--response echo") << QStringList {"--response", "echo"} << QByteArray()
                                     << QByteArray("ABCD") << false << false;
    QTest::newRow("--response none")
        << QStringList {"--response", "none"} << QByteArray() << QByteArray() << false << false;
    QTest::newRow("--response custom")
        << QStringList {"--response", "custom"} << QByteArray("CustomData=06 15\r\n")
        << QByteArray("\x06\x15") << false << false;
    QTest::newRow("--capture") << QStringList {"--capture", "--response", "echo"} << QByteArray()
                               << QByteArray("ABCD") << false << true;
    QTest::newRow("--quiet") << QStringList {"--quiet", "--response", "echo"} << QByteArray()
                             << QByteArray("ABCD") << true << false;
    QTest::newRow("--bind") << QStringList {"--bind", "127.0.0.1", "--response", "echo"}
                            << QByteArray() << QByteArray("ABCD") << false << false;
}

void tst_Headless::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, more);
    QFETCH(QByteArray, answer);
    QFETCH(bool, quiet);
    QFETCH(bool, capture);
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::Any, 0));
    writeSettings(settings(QByteArray::number(holder.serverPort()), 0, more));
    const quint16 port = FreeLoopbackPort();
    Headless parvel;
    QVERIFY(
        parvel.start(m_program->executable,
                     arguments + QStringList {QStringLiteral("--port"), QString::number(port)}));
    LoopbackClient client;
    QVERIFY(WaitUntil([&] { return client.connectTo(port); }, 15000));
    client.send("ABCD");
    QVERIFY(WaitUntil([&] { return logLines(true).size() >= (answer.isEmpty() ? 1 : 2); }));
    QVERIFY(answer.isEmpty() || client.waitForReceived(answer.size()));
    QCOMPARE(client.received, answer);
    QCOMPARE(parvel.endWith(SIGTERM), ExitStatus::endedBySignal);

    const QStringList events = parvel.events();
    QCOMPARE(events.isEmpty(), quiet);
    if (!quiet)
        QCOMPARE(events.first(),
                 QStringLiteral("待受中 %1%2")
                     .arg(arguments.contains(QStringLiteral("--bind")) ? "127.0.0.1:" : "")
                     .arg(port));
    QCOMPARE(QFile::exists(path(QStringLiteral("Log/Kiv_TcpRcvData.txt"))), capture);
    QCOMPARE(parvel.errors(), QString());
}

void tst_Headless::exitStatuses_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errors");
    const QString unusable = QStringLiteral(
        "parvel: "
        "本PC上で、現在のポート設定ではデータを受信できません。受信ポートを確認してください。\n");
    const QString noPort = QStringLiteral("parvel: 正常な受信ポート番号を設定してください。\n");
    QTest::newRow("settings unreadable")
        << "unreadable" << QStringList() << ExitStatus::noPort
        << QStringLiteral("parvel: 設定ファイルの読み込みに失敗しました。\n") + noPort;
    QTest::newRow("settings unreadable, a port given")
        << "unreadable" << QStringList {"--port", "0"} << ExitStatus::endedBySignal
        << QStringLiteral("parvel: 設定ファイルの読み込みに失敗しました。\n");
    QTest::newRow("no port stored") << "no port" << QStringList() << ExitStatus::noPort << noPort;
    QTest::newRow("port busy") << "busy" << QStringList() << ExitStatus::noPort << unusable;
    QTest::newRow("an address this machine lacks")
        << "free" << QStringList {"--bind", "::2"} << ExitStatus::noPort << unusable;
    QTest::newRow("no custom reply to answer with")
        << "free" << QStringList {"--response", "custom"} << ExitStatus::badUsage
        << QStringLiteral("parvel: --response custom には応答データ ([Maintenance] CustomData) "
                          "の設定が必要です。\n");
    QTest::newRow("the log cannot rotate")
        << "blocked rotation" << QStringList() << ExitStatus::startupFailed
        << QStringLiteral("parvel: 既に同名のファイルが存在しています。(Main)\n");
}

void tst_Headless::exitStatuses()
{
    QFETCH(QString, scenario);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, errors);
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::Any, 0));
    if (scenario == QStringLiteral("unreadable"))
        QVERIFY(
            QDir(m_program->dir.path()).mkpath(QStringLiteral("Config/Kiv_TcpRecvSetting.ini")));
    if (scenario == QStringLiteral("no port"))
        writeSettings(settings({}));
    if (scenario == QStringLiteral("busy"))
        writeSettings(settings(QByteArray::number(holder.serverPort())));
    if (scenario == QStringLiteral("free"))
        writeSettings(settings(QByteArray::number(FreeLoopbackPort())));
    if (scenario == QStringLiteral("blocked rotation")) {
        // The live log is due to become .1, which a folder holds.
        writeSettings(
            settings(QByteArray::number(FreeLoopbackPort()))
                .replace("LogMaxSize=3\r\nLogGenerations=10", "LogMaxSize=1\r\nLogGenerations=1"));
        QVERIFY(QDir(m_program->dir.path()).mkpath(QStringLiteral("Log/Kiv_TcpRcvLog.txt.1")));
        QFile log(path(QStringLiteral("Log/Kiv_TcpRcvLog.txt")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        QVERIFY(log.resize((1 << 20) + 1));
    }
    Headless parvel;
    QVERIFY(parvel.start(m_program->executable, arguments));
    if (status == ExitStatus::endedBySignal) {
        QVERIFY(parvel.waitForListening() != 0);
        QCOMPARE(parvel.endWith(SIGTERM), status);
    } else {
        QVERIFY(parvel.process.waitForFinished(15000));
        QCOMPARE(parvel.process.exitCode(), status);
    }
    QCOMPARE(parvel.errors(), errors);
    if (scenario == QStringLiteral("busy"))
        QVERIFY(logLines(true).last().endsWith(QStringLiteral("(Main)")));
}

void tst_Headless::secondInstanceLeaves()
{
    writeSettings(settings("0"));
    Headless first;
    QVERIFY(first.start(m_program->executable, {}));
    QVERIFY(first.waitForListening() != 0);
    Headless second;
    QVERIFY(second.start(m_program->executable, {}));
    QVERIFY(second.process.waitForFinished(15000));
    QCOMPARE(second.process.exitCode(), ExitStatus::alreadyRunning);
    QCOMPARE(second.errors(), QStringLiteral("parvel: ") + ExpectedText::secondStart + u'\n');
    QCOMPARE(second.events(), QStringList());
    QCOMPARE(logLines(true), QStringList {ExpectedText::secondStart});
    QCOMPARE(first.endWith(SIGTERM), ExitStatus::endedBySignal);
}

void tst_Headless::signalEndsInOrder_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void tst_Headless::signalEndsInOrder()
{
    QFETCH(int, signalNumber);
    writeSettings(settings("0", 1, "CaptureData=1\r\n"));
    Headless parvel;
    QVERIFY(parvel.start(m_program->executable, {}));
    const quint16 port = parvel.waitForListening();
    QVERIFY(port != 0);
    EchoStream stream(7);
    QVERIFY(stream.connectTo(port));
    stream.setTarget(qint64(1) << 30);
    QVERIFY(WaitUntil([&] { return stream.echoed() > 4 << 20; }, 30000));
    QCOMPARE(parvel.endWith(signalNumber), ExitStatus::endedBySignal);
    QVERIFY(stream.intact());

    // Every line whole; every block received was answered, or owned up to.
    static const QRegularExpression line(ExpectedText::logLinePattern(
        QStringLiteral("\\d+バイトのデータ受信|\\d+バイトの応答送信|送信できなかった応答データ\\d+"
                       "バイトを破棄しました。.*")));
    const QStringList lines = logLines();
    QVERIFY(!lines.isEmpty());
    for (const QString &logLine : lines)
        QVERIFY2(line.match(logLine).hasMatch(), qPrintable(logLine));
    qint64 received = 0;
    qint64 blocks = 0;
    for (const QString &message : logLines(true)) {
        if (message.endsWith(QStringLiteral("バイトのデータ受信"))) {
            received += message.section(QStringLiteral("バイト"), 0, 0).toLongLong();
            ++blocks;
        }
    }
    // The last event line gives the counts the log holds.
    static const QRegularExpression ended(
        QStringLiteral("^終了 受信 ([\\d,]+)件 ([\\d,]+)バイト "));
    const QRegularExpressionMatch counts = ended.match(parvel.events().last());
    QVERIFY2(counts.hasMatch(), qPrintable(parvel.events().last()));
    QCOMPARE(counts.captured(1).remove(u',').toLongLong(), blocks);
    QCOMPARE(counts.captured(2).remove(u',').toLongLong(), received);
    QVERIFY(received >= stream.echoed());
}

QTEST_GUILESS_MAIN(tst_Headless)
#include "tst_headless.moc"
