#include "Bench.h"

#include "app/modTcpRecv.h"
#include "forms/frmMain.h"
#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "forms/ui/MessageBox.h"
#include "lib/DisplayTime.h"
#include "lib/HexGridModel.h"
#include "lib/ReceiverSession.h"
#include "lib/modLogging.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QThread>

#include <cmath>
#include <sys/socket.h>
#include <utility>

namespace {
double microsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// What the event deliveries showed: the display pass is the outermost delivery in which the
// receive grid changed (the window's frame timer running it); then its viewport's paint.
struct Deliveries
{
    QWidget *gridViewport = nullptr;
    bool gridChanged = false;
    double displayMicros = NAN;
    bool painted = false;
    int depth = 0;
} deliveries;

class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        const bool outermost = deliveries.depth++ == 0;
        const bool paint = event->type() == QEvent::Paint && receiver == deliveries.gridViewport;
        if (outermost)
            deliveries.gridChanged = false;
        const Clock::time_point start = Clock::now();
        const bool handled = QApplication::notify(receiver, event);
        --deliveries.depth;
        if (outermost && deliveries.gridChanged) {
            deliveries.displayMicros = microsSince(start);
            deliveries.painted = false;
        }
        deliveries.painted = deliveries.painted || paint;
        return handled;
    }
};

// Runs the event loop until done() holds; false when the deadline came first.
template<typename Done> bool pump(Done done, Clock::duration timeout = 5s)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

// Reads the echo of a block from the peer; false unless it came back whole and byte-exact.
bool echoed(Connection &peer, const BytePattern &pattern, std::uint64_t offset, std::size_t size,
            std::vector<char> &echo, std::size_t &got)
{
    const ssize_t n = ::recv(peer.fd(), echo.data() + got, size - got, 0);
    got += std::size_t(std::max<ssize_t>(0, n));
    return got == size && pattern.matches(offset, echo.data(), size);
}

// The data path alone on a receiver session of the benchmark's own, as the window's data event
// runs it: each block is handed to the session once all of it waits in the socket.
QString measureDataPath(const BytePattern &pattern, int blocks, QList<BlockCosts> &sizes)
{
    ReceiverSession session;
    session.setAnswerMode(AnswerMode::Echo);
    qint64 waiting = 0;
    ReceiverSession::SocketEventRoute route;
    route.dataArrival = [&waiting](int, qint64 bytesTotal) {
        waiting = bytesTotal;
    };
    session.routeSocketEvents(route);
    Connection peer;
    std::string error;
    try {
        session.start(0);
    } catch (const std::exception &failure) {
        return QString::fromUtf8(failure.what());
    }
    if (!peer.open(session.listeningPort(), &error)
        || !pump([&] { return session.peerPort() != 0; }))
        return QStringLiteral("no connection: ") + QString::fromStdString(error);
    std::uint64_t offset = 0;
    for (BlockCosts &costs : sizes) {
        std::vector<char> echo(costs.size);
        for (int block = -200; block < blocks; ++block) { // 200 unrecorded
            offset = BytePattern::next(offset, costs.size);
            ::send(peer.fd(), pattern.at(offset), costs.size, MSG_NOSIGNAL);
            if (!pump([&] { return waiting >= qint64(costs.size); }))
                return QStringLiteral("a block did not arrive");
            const Clock::time_point start = Clock::now();
            session.DataArrival(1, std::exchange(waiting, 0));
            if (block >= 0)
                costs.handler.push_back(microsSince(start));
            std::size_t got = 0;
            if (!pump([&] { return echoed(peer, pattern, offset, costs.size, echo, got); }))
                return QStringLiteral("the echo of a block did not come back whole");
        }
    }
    return {};
}

// Blocks from a loopback peer to the shown window, a frame and more apart, so that each is
// shown at once (after a quiet spell), as blocks sent by hand are.
QString measureWindow(const BytePattern &pattern, quint16 port, int blocks,
                      QList<BlockCosts> &sizes)
{
    Connection peer;
    std::string error;
    if (!peer.open(port, &error))
        return QString::fromStdString(error);
    const HexGridModel &grid
        = MainForm().findChild<HexGrid *>(QStringLiteral("fgrdRecvData"))->hexModel();
    std::uint64_t offset = 0;
    Clock::time_point lastShown = Clock::now();
    for (BlockCosts &costs : sizes) {
        std::vector<char> echo(costs.size);
        for (int block = -5; block < blocks; ++block) { // five unrecorded
            while (Clock::now() < lastShown + 50ms) {
                QCoreApplication::processEvents();
                QThread::usleep(200);
            }
            offset = BytePattern::next(offset, costs.size);
            const QByteArray shown(pattern.at(offset), qMin<qsizetype>(costs.size, 2048));
            deliveries.displayMicros = NAN;
            deliveries.painted = false;
            std::size_t got = 0;
            const Clock::time_point sent = Clock::now();
            ::send(peer.fd(), pattern.at(offset), costs.size, MSG_NOSIGNAL);
            if (!pump([&] {
                    return echoed(peer, pattern, offset, costs.size, echo, got)
                        && deliveries.painted && grid.bytes() == shown;
                }))
                return QStringLiteral("the window did not echo and show a block whole");
            lastShown = Clock::now();
            if (block >= 0) {
                costs.cycle.push_back(microsSince(sent));
                costs.display.push_back(deliveries.displayMicros);
            }
        }
    }
    return {};
}

// The pieces of the data path and the display pass one by one, on the window's own controls.
QList<QPair<QString, double>> timeSteps(const BytePattern &pattern)
{
    const auto median = [](auto step) {
        std::vector<double> micros;
        for (int call = 0; call < 500; ++call) {
            const Clock::time_point start = Clock::now();
            step(call);
            micros.push_back(microsSince(start));
        }
        std::nth_element(micros.begin(), micros.begin() + 250, micros.end());
        return micros[250];
    };
    frmMain &form = MainForm();
    auto *grid = form.findChild<HexGrid *>(QStringLiteral("fgrdRecvData"));
    auto *stamp = form.findChild<QLabel *>(QStringLiteral("lblLastRecvDateTimeData"));
    auto *recvLamp = form.findChild<Lamp *>(QStringLiteral("shpRecvLed"));
    auto *sendLamp = form.findChild<Lamp *>(QStringLiteral("shpSendLed"));
    const QByteArray blocks[]
        = {QByteArray(pattern.at(0), 2048), QByteArray(pattern.at(4099), 2048)};
    return {
        {QStringLiteral("one log line: open, append, close"),
         median([](int) { WriteLog(intToolIndex, QStringLiteral("2048バイトのデータ受信")); })},
        {QStringLiteral("rotation check"),
         median([](int) { RotateLog(strLogFile[1], intLogMaxSize, intLogGenerations); })},
        {QStringLiteral("one time stamp into a label"),
         median([&](int) { stamp->setText(FormatDisplayTime(CurrentDateTime())); })},
        {QStringLiteral("both lamps"), median([&](int call) {
             CtrlLed(*recvLamp, qint16(call % 2));
             CtrlLed(*sendLamp, qint16(1 - call % 2));
         })},
        {QStringLiteral("one grid model, 2048 new bytes"), median([&](int call) {
             grid->setUpdatesEnabled(false);
             SetGridFromByteArray(grid->hexModel(), blocks[call % 2]);
             grid->setUpdatesEnabled(true);
         })},
        {QStringLiteral("one grid repainted"), median([&](int call) {
             SetGridFromByteArray(grid->hexModel(), blocks[call % 2]);
             grid->repaint();
         })},
    };
}
} // namespace

std::unique_ptr<QApplication> MakeTimedApplication(int &argc, char **argv)
{
    return std::make_unique<TimedApplication>(argc, argv);
}

InProcessResult MeasureInProcess(const BytePattern &pattern, int blocks, int windowBlocks)
{
    InProcessResult result;
    QTemporaryDir folder;
    const quint16 port = FreePort();
    if (!WriteSettings(folder.path(), port, false)) {
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
    QPushButton *start = MainFormExists()
        ? MainForm().findChild<QPushButton *>(QStringLiteral("cmdRecvData"))
        : nullptr;
    if (start && MainForm().isVisible()) {
        start->click();
        auto *grid = MainForm().findChild<HexGrid *>(QStringLiteral("fgrdRecvData"));
        deliveries.gridViewport = grid->viewport();
        const auto changed = [] {
            deliveries.gridChanged = true;
        };
        QObject::connect(&grid->hexModel(), &QAbstractItemModel::dataChanged, changed);
        QObject::connect(&grid->hexModel(), &QAbstractItemModel::rowsInserted, changed);
        for (std::size_t size : {16, 2048})
            result.sizes.append({size, {}, {}, {}});
        result.error = measureDataPath(pattern, blocks, result.sizes);
        if (result.error.isEmpty())
            result.error = measureWindow(pattern, port, windowBlocks, result.sizes);
        if (result.error.isEmpty())
            result.steps = timeSteps(pattern);
        UnloadMainForm();
    } else {
        result.error = QStringLiteral("the main window did not open: ") + boxes.join(u' ');
    }
    SetMessageBoxFunction(previous);
    SetProgramFolder(QString());
    return result;
}
