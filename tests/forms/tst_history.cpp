#include "support/Controls.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"
#include "support/SettingsFileText.h"
#include "support/WindowFolder.h"

#include "forms/frmHistory.h"
#include "forms/frmMain.h"
#include "lib/ExchangeHistory.h"
#include "lib/ExchangeHistoryModel.h"
#include "lib/modUtility.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {
const QString peer = QStringLiteral("127.0.0.1:50123");

QList<quint64> AllSerials(const ExchangeHistory &history)
{
    QList<quint64> serials;
    for (quint64 serial = history.firstSerial(); serial < history.endSerial(); ++serial)
        serials += serial;
    return serials;
}
} // namespace

// The history window shows what the history holds: rows, the selected block whole, the filter,
// copy and save in the capture file's layout; it remembers its size.
class tst_History : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsSelectsFiltersAndSaves();
    void menuOpensItBesideTheWindow();
    void fillsFromARealPeer();

private:
    std::unique_ptr<WindowFolder> m_window;
};

void tst_History::init()
{
    m_window = std::make_unique<WindowFolder>();
    QVERIFY(m_window->folder.isValid());
    m_window->folder.writeSettings(SettingsFileText(5000));
}

void tst_History::cleanup()
{
    m_window.reset();
}

void tst_History::showsSelectsFiltersAndSaves()
{
    ExchangeHistory history;
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    history.appendEvent(ExchangeKind::Connected, at, peer);
    history.appendBlock(ExchangeKind::Received, at + 1, peer, "STATUS?\r\n");
    history.appendBlock(ExchangeKind::Sent, at + 2, peer, "STATUS?\r\n");
    history.appendBlock(ExchangeKind::Received, at + 3, peer, QByteArray(3000, '\x07'));
    auto window = std::make_unique<frmHistory>(history, m_window->folder.settingsFile(), nullptr);
    window->open();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    auto *rows = Ctl<QTableView>(*window, "tblHistory");
    QCOMPARE(rows->model()->rowCount(), 4);

    // A row that came after the window opened shows at the next catch-up.
    history.appendEvent(ExchangeKind::ByteHeld, at + 4, peer, 1);
    QCOMPARE(rows->model()->rowCount(), 4);
    window->catchUp();
    QCOMPARE(rows->model()->index(4, ExchangeHistoryModel::HexColumn).data().toString(),
             QStringLiteral("1バイト保留中"));

    // The long block shows whole up to its cap; the keyboard reaches its bytes.
    auto *detail = Ctl<QTableView>(*window, "tblDetail");
    rows->setFocus();
    rows->setCurrentIndex(rows->model()->index(3, 0));
    QCOMPARE(detail->model()->rowCount(), 128);
    QCOMPARE(detail->model()->index(127, 31).data().toString(), QStringLiteral("."));
    QVERIFY(detail->model()
                ->index(0, 16)
                .data(Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("BEL")));
    QTest::keyClick(rows, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), detail);

    // Copy takes the selected rows in the capture file's layout.
    rows->selectRow(1);
    QTest::keyClick(rows, Qt::Key_Down, Qt::ShiftModifier);
    Ctl<QPushButton>(*window, "cmdCopy")->click();
    QCOMPARE(
        QGuiApplication::clipboard()->text().toUtf8(),
        ExchangeCaptureText(history, {history.firstSerial() + 1, history.firstSerial() + 2}, true));

    // The filter keeps the rows whose bytes hold the pattern, in the direction chosen.
    QTest::keyClicks(Ctl<QLineEdit>(*window, "txtFilter"), QStringLiteral("0d 0a"));
    QCOMPARE(rows->model()->rowCount(), 2);
    Ctl<QComboBox>(*window, "cboDirection")->setCurrentIndex(2);
    QCOMPARE(rows->model()->rowCount(), 1);
    QCOMPARE(rows->model()->index(0, ExchangeHistoryModel::DirectionColumn).data().toString(),
             QStringLiteral("送信"));

    // 保存... writes every block, whatever the filter shows.
    const QString saved = m_window->folder.path() + QStringLiteral("/saved.txt");
    const auto previous = frmHistory::setSavePathFunction([&](QWidget *) { return saved; });
    Ctl<QPushButton>(*window, "cmdSave")->click();
    frmHistory::setSavePathFunction(previous);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), ExchangeCaptureText(history, AllSerials(history), false));
    // A place that cannot be written is owned up to.
    QVERIFY(!window->saveTo(m_window->folder.path() + QStringLiteral("/missing/saved.txt")));
    QCOMPARE(m_window->boxes.boxes.size(), 1);
    QVERIFY(m_window->boxes.texts().first().startsWith(
        QStringLiteral("通信履歴を保存できませんでした。")));

    // Its size stays for the next time, also for the next run.
    window->resize(700, 420);
    window->close();
    window = std::make_unique<frmHistory>(history, m_window->folder.settingsFile(), nullptr);
    window->open();
    QCOMPARE(window->size(), QSize(700, 420));
}

void tst_History::menuOpensItBesideTheWindow()
{
    frmMain &form = MainForm();
    form.ReadSetting(m_window->folder.settingsFile());
    form.Show();
    Ctl<QAction>(form, "History")->trigger();
    auto *window = form.findChild<frmHistory *>();
    QVERIFY(window && window->isVisible());
    QVERIFY(!window->isModal());
    QCOMPARE(window->windowTitle(), QStringLiteral("通信履歴"));
    // The main window stays usable while it is open.
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(Ctl<QPushButton>(form, "cmdRecvData")->isEnabled());
}

void tst_History::fillsFromARealPeer()
{
    cleanup();
    ListeningWindow window;
    QVERIFY(window.isValid());
    QVERIFY(window.startListening());
    Ctl<QAction>(window.form, "History")->trigger();
    auto *history = window.form.findChild<frmHistory *>();
    QVERIFY(history);
    LoopbackClient peer;
    QVERIFY(peer.connectTo(window.port));
    peer.send("STATUS?\r\n");
    QVERIFY(peer.waitForReceived(9));
    // The window catches up on its display pass: connection, block and echo.
    auto *rows = Ctl<QTableView>(*history, "tblHistory");
    QTRY_COMPARE(rows->model()->rowCount(), 3);
    const QString who = QStringLiteral("127.0.0.1:%1").arg(peer.socket().localPort());
    for (int row = 0; row < 3; ++row)
        QCOMPARE(rows->model()->index(row, ExchangeHistoryModel::PeerColumn).data().toString(),
                 who);
    QCOMPARE(rows->model()->index(1, ExchangeHistoryModel::TextColumn).data().toString(),
             QStringLiteral("STATUS?.."));
    rows->setCurrentIndex(rows->model()->index(2, 0));
    auto *detail = Ctl<QTableView>(*history, "tblDetail");
    QCOMPARE(detail->model()->index(0, 0).data().toString(), QStringLiteral("53"));
    QCOMPARE(detail->model()->index(0, 16 + 8).data().toString(), QStringLiteral("."));
    QVERIFY(detail->model()
                ->index(0, 16 + 7)
                .data(Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("CR（復帰）")));
}

QTEST_MAIN(tst_History)
#include "tst_history.moc"
