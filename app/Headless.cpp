#include "app/Headless.h"

#include "app/CommandLine.h"
#include "app/TerminalOutput.h"
#include "app/modTcpRecv.h"
#include "lib/Messages.h"
#include "lib/ReceiverSession.h"
#include "lib/ReceiverSettings.h"
#include "lib/ResponseRulesFile.h"
#include "lib/StatusTexts.h"
#include "lib/modGeneralLib.h"
#include "lib/modLogging.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/RuntimeError.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>

#include <csignal>
#include <optional>

namespace {
// The response the window would start with: the custom reply only while one is set, as カスタム
// can be chosen only then.
AnswerMode answerFor(qint16 response, bool replySet)
{
    if (response == 1)
        return AnswerMode::Echo;
    if (response == 2 && replySet)
        return AnswerMode::CustomReply;
    return AnswerMode::Nothing;
}

// The settings as the window reads them: what its boxes would say goes to standard error, the
// log gets the same line, and start-up goes on.
ReceiverSettings readSettings()
{
    ReceiverSettings settings;
    const SettingsReadFault fault = ReadReceiverSettings(strSettingFile[1], settings);
    intLogMaxSize = settings.logMaxSize;
    intLogGenerations = settings.logGenerations;
    if (fault.stopped()) {
        for (const QString &text : SettingsFaultMessages(fault))
            TerminalOutput::error(text);
        WriteLog(intToolIndex, fault.description + QStringLiteral("(ReadSetting)"));
    }
    return settings;
}

// The port of this run: the option, else the stored text when it names a port.
std::optional<qint32> chosenPort(const RunOptions &options)
{
    if (options.port)
        return *options.port;
    const QString text = ReadPortText(strSettingFile[1]);
    if (!CheckPortNo(text))
        return std::nullopt;
    return CLng(text);
}

// What the window's status panels would show, as event lines.
void showPeers(ReceiverSession &session, TerminalOutput &terminal)
{
    QObject::connect(&session, &ReceiverSession::peerConnected, &terminal,
                     [&terminal](const QString &address, quint16 port) {
                         terminal.event(StatusTexts::Connection(address, port));
                     });
    QObject::connect(&session, &ReceiverSession::peerReplaced, &terminal,
                     [&terminal](const QString &address, quint16 port) {
                         terminal.event(StatusTexts::Replaced(address, port));
                     });
    QObject::connect(&session, &ReceiverSession::peerClosed, &terminal,
                     [&terminal](const QString &address, quint16 port) {
                         terminal.event(StatusTexts::Disconnected(address, port));
                     });
}

// Start-up after the instance test; the exit status when the run cannot begin.
std::optional<int> startSession(const RunOptions &options, ReceiverSession &session)
{
    const ReceiverSettings settings = readSettings();
    RotateLog(strLogFile[1], intLogMaxSize, intLogGenerations);
    strBindAddress = options.bindAddress.value_or(settings.bindAddress);

    const qint16 response = options.response.value_or(settings.response);
    if (options.response == 2 && settings.customReply.isEmpty()) {
        TerminalOutput::error(
            QStringLiteral("--response custom には応答データ ([Maintenance] CustomData) "
                           "の設定が必要です。"));
        return ExitStatus::badUsage;
    }
    session.setCustomReply(settings.customReply);
    session.setAnswerMode(answerFor(response, !settings.customReply.isEmpty()));
    session.setCapture(options.capture || settings.capture);
    session.setReceiveLoneByte(settings.receiveLoneByte);
    session.setRules(LoadResponseRules(options.rulesFile.value_or(ResponseRulesFile())));

    const std::optional<qint32> port = chosenPort(options);
    if (!port) {
        TerminalOutput::error(QStringLiteral("正常な受信ポート番号を設定してください。"));
        return ExitStatus::noPort;
    }
    // A busy port ends the run at once: nobody is there to pick another. No trial listen first:
    // a peer already calling (a device retrying while the rig starts) could be taken by the
    // trial and reset when it closes.
    try {
        session.start(*port, strBindAddress);
    } catch (const RuntimeError &error) {
        WriteLog(intToolIndex, error.description() + QStringLiteral("(Main)"));
        TerminalOutput::error(Messages::portUnusable);
        return ExitStatus::noPort;
    }
    return std::nullopt;
}
} // namespace

int RunHeadless(const RunOptions &options)
{
    // A closed standard output loses the terminal lines, not the run.
    std::signal(SIGPIPE, SIG_IGN);
    TerminationSignals *endings = TerminationSignals::install();

    if (!InitApplication(receiverToolIndex, SetDefine)) {
        WriteLog(intToolIndex, QStringLiteral("(Main)"));
        TerminalOutput::error(
            QStringLiteral("プログラムフォルダに Config、Log、Temp を用意できませんでした。"));
        return ExitStatus::startupFailed;
    }
    if (!SingleInstance::acquire()) {
        const QString refused = QStringLiteral("二重起動の為、起動を中止しました。");
        WriteLog(intToolIndex, refused);
        TerminalOutput::error(refused);
        return ExitStatus::alreadyRunning;
    }

    TerminalOutput terminal(options.quiet);
    terminal.followLog();
    ReceiverSession session;
    showPeers(session, terminal);
    std::optional<int> refused;
    try {
        refused = startSession(options, session);
    } catch (const std::exception &error) {
        // As the window's start-up ends: the log's line, which the terminal shows too.
        const QString description = QString::fromUtf8(error.what());
        WriteLog(intToolIndex, description + QStringLiteral("(Main)"));
        TerminalOutput::error(description + QStringLiteral("(Main)"));
        return ExitStatus::startupFailed;
    }
    if (refused)
        return *refused;
    terminal.event(StatusTexts::Listening(session.listeningPort(), true, strBindAddress));

    QObject::connect(endings, &TerminationSignals::received, &session, [&session] {
        // The orderly ending: every peer's last bytes are logged and answered, and echo that
        // never left is owned up to with its drop line.
        session.end();
        QCoreApplication::exit(ExitStatus::endedBySignal);
    });
    const int status = QCoreApplication::exec();
    // Events the loop still delivered on its way out are counted too.
    const ReceiveRecord &record = session.record();
    terminal.event(StatusTexts::Ended(record.blocksReceived, record.bytesReceived,
                                      record.blocksSent, record.bytesSent));
    return status;
}
