#include "InProcessBlockCost.h"
#include "../tests/support/Controls.h"

#include "BenchReport.h"
#include "BytePattern.h"
#include "EchoServerProcess.h"
#include "LoopbackLoad.h"

#include "app/modTcpRecv.h"
#include "forms/frmMain.h"
#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "forms/ui/MessageBox.h"
#include "lib/DisplayTime.h"
#include "lib/HexGridModel.h"
#include "lib/modLogging.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "platform/SocketControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <cerrno>
#include <sys/socket.h>

namespace {
constexpr auto blockTimeout = std::chrono::seconds(5);

// Lets the event loop run until done() holds; false when the deadline came first.
template<typename Done> bool runEventsUntil(Done done, Clock::time_point deadline)
{
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}

bool writeSettings(const QString &folder, quint16 port)
{
    QDir(folder).mkpath(QStringLiteral("Config"));
    QFile settings(folder + QStringLiteral("/Config/Kiv_TcpRecvSetting.ini"));
    if (!settings.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    settings.write(QStringLiteral("[Port]\r\nTcpPort=%1\r\n\r\n[Maintenance]\r\nResSetting=1\r\n"
                                  "LogMaxSize=3\r\nLogGenerations=10\r\n")
                       .arg(port)
                       .toLatin1());
    return true;
}

double microsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Returns an error text, empty when every block came back whole.
QString driveBlocks(frmMain &form, LoopbackConnection &peer, const BytePattern &pattern, int warmup,
                    int blocks, Clock::time_point deadline, BlockCost &cost)
{
    SocketControl &connection = *Socket(form, 1);
    const std::size_t size = cost.blockSize;
    std::vector<char> echo(size);
    std::uint64_t offset = 0;
    for (int round = 0; round < warmup + blocks && Clock::now() < deadline; ++round) {
        const std::uint64_t blockOffset = offset;
        offset = (offset + size + 7919) % BytePattern::period;
        const Clock::time_point sent = Clock::now();
        if (::send(peer.descriptor(), pattern.at(blockOffset), size, MSG_NOSIGNAL) != ssize_t(size))
            return QStringLiteral("the peer could not send a block");
        if (!runEventsUntil([&] { return connection.bytesReceived() >= qint64(size); },
                            sent + blockTimeout))
            return QStringLiteral("a block did not arrive in time");
        const Clock::time_point start = Clock::now();
        QMetaObject::invokeMethod(&form, "wscRecv_DataArrival", Qt::DirectConnection, Q_ARG(int, 1),
                                  Q_ARG(qint64, connection.bytesReceived()));
        const double handled = microsSince(start);
        // Before the event loop runs, so that this block is still new to the window.
        const Clock::time_point displayStart = Clock::now();
        QMetaObject::invokeMethod(&form, "RefreshDisplay", Qt::DirectConnection);
        const double displayed = microsSince(displayStart);

        std::size_t got = 0;
        const bool echoed = runEventsUntil(
            [&] {
                const ssize_t n = ::recv(peer.descriptor(), echo.data() + got, size - got, 0);
                if (n > 0)
                    got += std::size_t(n);
                return got == size;
            },
            sent + blockTimeout);
        const double cycle = microsSince(sent);
        if (!echoed || !pattern.matches(blockOffset, echo.data(), size))
            return QStringLiteral("the echo of a block did not come back whole");
        if (Ctl<HexGrid>(form, "fgrdRecvData")->hexModel().bytes()
            != QByteArray(pattern.at(blockOffset), qMin<qsizetype>(size, 2048)))
            return QStringLiteral("the receive grid does not show the latest block");
        if (round >= warmup) {
            cost.handlerMicros.push_back(handled);
            cost.displayMicros.push_back(displayed);
            cost.cycleMicros.push_back(cycle);
        }
    }
    return {};
}

// The handler's steps one by one, as it does them, on the same window and log.
QList<QPair<QString, double>> timeSteps(frmMain &form, const BytePattern &pattern, int calls)
{
    const auto median = [calls](auto step) {
        std::vector<double> micros;
        for (int call = 0; call < calls; ++call) {
            const Clock::time_point start = Clock::now();
            step(call);
            micros.push_back(microsSince(start));
        }
        return Summarize(micros).p50;
    };
    const QByteArray blocks[]
        = {QByteArray(pattern.at(0), 2048), QByteArray(pattern.at(4099), 2048)};
    HexGridModel &grid = Ctl<HexGrid>(form, "fgrdRecvData")->hexModel();
    return {
        {QStringLiteral("one log line: open, append, close"),
         median([](int) { WriteLog(intToolIndex, QStringLiteral("2048バイトのデータ受信")); })},
        {QStringLiteral("rotation check"),
         median([](int) { RotateLog(strLogFile[1], intLogMaxSize, intLogGenerations); })},
        {QStringLiteral("one time stamp into a label"), median([&form](int) {
             Ctl<QLabel>(form, "lblLastRecvDateTimeData")
                 ->setText(FormatDisplayTime(CurrentDateTime()));
         })},
        {QStringLiteral("both lamps"), median([&form](int call) {
             CtrlLed(*Ctl<Lamp>(form, "shpRecvLed"), qint16(call % 2));
             CtrlLed(*Ctl<Lamp>(form, "shpSendLed"), qint16(1 - call % 2));
         })},
        {QStringLiteral("one grid model, 2048 new bytes"), median([&](int call) {
             Ctl<HexGrid>(form, "fgrdRecvData")->setUpdatesEnabled(false);
             SetGridFromByteArray(grid, blocks[call % 2]);
             Ctl<HexGrid>(form, "fgrdRecvData")->setUpdatesEnabled(true);
         })},
        {QStringLiteral("one grid repainted"), median([&](int call) {
             SetGridFromByteArray(grid, blocks[call % 2]);
             Ctl<HexGrid>(form, "fgrdRecvData")->repaint();
         })},
    };
}
} // namespace

BlockCostResult MeasureInProcessBlockCost(const BytePattern &pattern,
                                          const std::vector<std::size_t> &blockSizes, int warmup,
                                          int blocks, std::chrono::milliseconds budget)
{
    BlockCostResult result;
    QTemporaryDir folder;
    const quint16 port = FreeLoopbackPort();
    if (!folder.isValid() || !writeSettings(folder.path(), port)) {
        result.error = QStringLiteral("cannot prepare a program folder");
        return result;
    }
    SetProgramFolder(folder.path());
    QStringList boxes;
    const MessageBoxFunction previous
        = SetMessageBoxFunction([&boxes](const QString &text, int, const QString &) {
              boxes << text;
              return MsgBoxResult::Ok;
          });

    Main();
    if (!MainFormExists() || !MainForm().isVisible()) {
        result.error = QStringLiteral("the main window did not open: ") + boxes.join(u' ');
    } else {
        frmMain &form = MainForm();
        Ctl<QPushButton>(form, "cmdRecvData")->click();
        LoopbackConnection peer;
        std::string error;
        if (Socket(form, 0)->state() != SocketControl::sckListening) {
            result.error = QStringLiteral("the main window does not listen: ") + boxes.join(u' ');
        } else if (!peer.open(port, &error)) {
            result.error = QString::fromStdString(error);
        } else if (!runEventsUntil(
                       [&] {
                           return SocketCount(form) > 1
                               && Socket(form, 1)->state() == SocketControl::sckConnected;
                       },
                       Clock::now() + blockTimeout)) {
            result.error = QStringLiteral("the main window did not accept the peer");
        } else {
            // The handler is called here, timed, instead of from the socket's own event.
            Socket(form, 1)->blockSignals(true);
            const Clock::time_point deadline = Clock::now() + budget;
            for (std::size_t size : blockSizes) {
                BlockCost cost;
                cost.blockSize = size;
                const Clock::time_point share = Clock::now() + (deadline - Clock::now()) / 2;
                result.error = driveBlocks(form, peer, pattern, warmup, blocks, share, cost);
                result.sizes.append(cost);
                if (!result.error.isEmpty())
                    break;
            }
            Socket(form, 1)->blockSignals(false);
            if (result.error.isEmpty())
                result.steps = timeSteps(form, pattern, 500);
        }
        peer.close();
        Socket(form, 0)->close();
        UnloadMainForm();
    }
    SetMessageBoxFunction(previous);
    SetProgramFolder(QString());
    return result;
}
