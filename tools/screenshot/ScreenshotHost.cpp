// Shows the real main window in a throw-away program folder, lets a loopback peer send one block
// that the window receives and echoes, and saves the window as a PNG. Optionally saves the port
// dialog too, and with PARVEL_HISTORY_SHOT=file the history window over a polling device's
// exchanges. scripts/screenshot.sh runs it under Xvfb, so fonts and style are a desktop's.
#include "../../tests/support/Controls.h"
#include "app/modTcpRecv.h"
#include "forms/frmHistory.h"
#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"
#include "lib/DisplayTime.h"
#include "lib/ExchangeHistory.h"
#include "lib/modFileIO.h"
#include "lib/modUtility.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

namespace {
// A framed command with a checksum and some binary, as a device on the bench might send it.
QByteArray sampleBlock()
{
    QByteArray block("\x02"
                     "CMD,0001,READ,TEMP=23.5C,HUM=41%"
                     "\x03");
    quint8 sum = 0;
    for (const char byte : block)
        sum += quint8(byte);
    block.append(char(sum));
    block.append(QByteArray::fromHex("0D0A00FF7F80A55A"));
    return block;
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Runs the event loop until done() holds; false after timeoutMs.
template<typename Condition> bool waitFor(Condition done, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// A device polled every 100 ms, answered by rule, then a frame, a lone byte and the end.
void fillHistory(ExchangeHistory &history, const QString &peer, const QByteArray &block)
{
    qint64 at = QDateTime::currentMSecsSinceEpoch() - 2000;
    history.appendEvent(ExchangeKind::Connected, at, peer);
    for (int poll = 0; poll < 6; ++poll) {
        at += 100 + poll % 3;
        history.appendBlock(ExchangeKind::Received, at, peer, "STATUS?\r\n");
        history.appendBlock(ExchangeKind::Sent, at + 1, peer,
                            QByteArray("OK TEMP=23.") + char('0' + poll) + "C\r\n");
    }
    at += 137;
    history.appendBlock(ExchangeKind::Received, at, peer, block);
    history.appendBlock(ExchangeKind::Sent, at + 1, peer, block);
    history.appendEvent(ExchangeKind::ByteHeld, at + 240, peer, 1);
    history.appendEvent(ExchangeKind::Disconnected, at + 512, peer);
}

bool save(QWidget &window, const QString &file)
{
    if (!window.grab().save(file, "PNG", 9)) {
        QTextStream(stderr) << "cannot write " << file << '\n';
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvel"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        QTextStream(stderr) << "usage: parvel_screenshot MAIN.png [DIALOG.png]\n";
        return 2;
    }

    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    if (!folder.isValid() || !InitApplication(1, SetDefine))
        return 1;
    const quint16 port = freeLoopbackPort();
    {
        QFile settings(strSettingFile[1]);
        if (!settings.open(QIODevice::WriteOnly))
            return 1;
        settings.write(QStringLiteral("[Port]\r\nTcpPort=%1\r\n\r\n[Maintenance]\r\n"
                                      "ResSetting=1\r\nLogMaxSize=3\r\nLogGenerations=10\r\n")
                           .arg(port)
                           .toUtf8());
    }

    frmMain &form = MainForm();
    form.ReadSetting(strSettingFile[1]);
    form.Show();
    Ctl<QPushButton>(form, "cmdRecvData")->click();

    const QByteArray block = sampleBlock();
    QByteArray echoed;
    QTcpSocket peer;
    QObject::connect(&peer, &QTcpSocket::readyRead, [&] { echoed += peer.readAll(); });
    peer.connectToHost(QHostAddress::LocalHost, port);
    if (!waitFor([&] { return peer.state() == QAbstractSocket::ConnectedState; }))
        return 1;
    peer.write(block);
    // The echo has come back and the clock shows the time rather than its placeholder.
    const bool shown = waitFor([&] {
        return echoed.size() >= block.size()
            && Ctl<QLabel>(form, "lblNowDateTimeForRecvData")->text() != displayTimePlaceholder;
    });
    if (!shown || echoed != block) {
        QTextStream(stderr) << "the block was not echoed\n";
        return 1;
    }
    if (!save(form, arguments.at(1)))
        return 1;

    if (arguments.size() > 2) {
        frmTcpRcvComSetting &dialog = ComSettingForm();
        dialog.show();
        waitFor([&] { return dialog.isVisible(); });
        if (!save(dialog, arguments.at(2)))
            return 1;
        UnloadComSettingForm();
    }
    const QString historyShot = qEnvironmentVariable("PARVEL_HISTORY_SHOT");
    if (!historyShot.isEmpty()) {
        ExchangeHistory history;
        fillHistory(history, QStringLiteral("127.0.0.1:%1").arg(peer.localPort()), block);
        frmHistory window(history, {}, nullptr);
        window.resize(960, 620);
        window.open();
        auto *rows = Ctl<QTableView>(window, "tblHistory");
        rows->selectRow(history.size() - 4);
        waitFor([&] { return window.isVisible(); });
        if (!save(window, historyShot))
            return 1;
    }
    UnloadMainForm();
    return 0;
}
