#include "support/Controls.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"

#include "forms/frmMain.h"
#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "forms/ui/StatusPanel.h"
#include "lib/CustomReply.h"
#include "lib/HexGridModel.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

namespace {
const QString writeFailed = QStringLiteral("設定ファイルの書き込みに失敗しました。");
} // namespace

// The custom option's reply through the real window: set in its dialog, answering every block.
class tst_CustomData : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void replyIsSavedAndAnswersEveryBlock();
    void badReplyIsRefused_data();
    void badReplyIsRefused();
    void failedWriteChangesNothing();

private:
    // What the dialog showed and did when its text was set and 設定 pressed.
    struct DialogRun
    {
        bool opened = false;
        QString caption;
        QString shown;
        bool closed = false;
        QString selected;
    };
    // Opens the dialog from the menu, types text, presses 設定, and cancels a dialog left open.
    DialogRun applyInDialog(const QString &text);
    QRadioButton *option(const char *name) { return Ctl<QRadioButton>(m_window->form, name); }
    QStringList messages() const { return m_window->folder.logMessages(); }

    std::unique_ptr<ListeningWindow> m_window;
    std::unique_ptr<LoopbackClient> m_client;
};

void tst_CustomData::init()
{
    m_window = std::make_unique<ListeningWindow>();
    QVERIFY(m_window->isValid());
    QVERIFY(m_window->startListening());
    m_client = std::make_unique<LoopbackClient>();
    QVERIFY(m_client->connectTo(m_window->port));
}

void tst_CustomData::cleanup()
{
    m_client.reset();
    m_window.reset();
}

tst_CustomData::DialogRun tst_CustomData::applyInDialog(const QString &text)
{
    DialogRun run;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("frmTcpRcvCustomData"))
            return;
        run.opened = true;
        run.caption = dialog->windowTitle();
        auto *box = Ctl<QPlainTextEdit>(*dialog, "txtCustomData");
        run.shown = box->toPlainText();
        box->setPlainText(text);
        // Return on the focused button applies, as a click does.
        auto *apply = Ctl<QPushButton>(*dialog, "cmdApply");
        apply->setFocus();
        QTest::keyClick(apply, Qt::Key_Return);
        run.closed = !dialog->isVisible();
        run.selected = box->textCursor().selectedText();
        if (!run.closed)
            Ctl<QPushButton>(*dialog, "cmdCancel")->click();
    });
    QTimer::singleShot(20000, this, [] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    Ctl<QAction>(m_window->form, "CustomData")->trigger();
    return run;
}

void tst_CustomData::replyIsSavedAndAnswersEveryBlock()
{
    QVERIFY(!option("optCustom")->isEnabled());
    const QByteArray settings = m_window->folder.readSettings();
    DialogRun run = applyInDialog(QStringLiteral("02 41\t42 03"));
    QVERIFY(run.opened);
    QCOMPARE(run.caption, QStringLiteral("応答データ設定"));
    QCOMPARE(run.shown, QString());
    QVERIFY(run.closed);
    QVERIFY(m_window->boxes.boxes.isEmpty());
    QCOMPARE(m_window->folder.readSettings(), settings + "CustomData=02 41 42 03\r\n");
    QVERIFY(option("optCustom")->isEnabled());
    QVERIFY(option("optRcvData")->isChecked());

    // Chosen while listening, it answers the very next block.
    option("optCustom")->setChecked(true);
    m_client->send("poll");
    QVERIFY(m_client->waitForReceived(4));
    QCOMPARE(m_client->received, QByteArray("\x02\x41\x42\x03"));
    QCOMPARE(
        messages(),
        QStringList({QStringLiteral("4バイトのデータ受信"), QStringLiteral("4バイトの応答送信")}));
    frmMain &form = m_window->form;
    QTRY_COMPARE(Ctl<StatusPanel>(form, "sbSent")->fullText(), QStringLiteral("送信 1件 4バイト"));
    QCOMPARE(Ctl<Lamp>(form, "shpSendLed")->fillColor(), 65280u);
    QCOMPARE(Ctl<HexGrid>(form, "fgrdSendData")->hexModel().bytes(),
             QByteArray("\x02\x41\x42\x03"));

    // Cleared while chosen: no option stays selected, and nothing is answered.
    run = applyInDialog(QString());
    QCOMPARE(run.shown, QStringLiteral("02 41 42 03"));
    QVERIFY(run.closed);
    QCOMPARE(m_window->folder.readSettings(), settings + "CustomData=\r\n");
    QVERIFY(!option("optCustom")->isEnabled());
    for (const char *name : {"optNothing", "optRcvData", "optCustom"})
        QVERIFY2(!option(name)->isChecked(), name);
    m_client->send("unanswered");
    QTRY_COMPARE(messages().size(), 3);
    QCOMPARE(messages().last(), QStringLiteral("10バイトのデータ受信"));
    QTRY_COMPARE(Ctl<Lamp>(form, "shpSendLed")->fillColor(), 0u);
    QCOMPARE(m_client->received.size(), 4);
}

void tst_CustomData::badReplyIsRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("selected");

    QTest::newRow("odd count") << "06 0"
                               << "応答データの4文字目の桁が2桁の組になっていません。"
                                  "16進数は2桁ずつ入力してください。"
                               << "0";
    QTest::newRow("bad character") << "06 0G"
                                   << "応答データの5文字目「G」は16進数ではありません。"
                                   << "G";
    const QString tooLong = QStringLiteral("06").repeated(2049);
    QTest::newRow("2049 bytes")
        << tooLong << "応答データは2048バイトまでです。4097文字目から後を削ってください。"
        << "06";
}

void tst_CustomData::badReplyIsRefused()
{
    QFETCH(QString, text);
    QFETCH(QString, box);
    QFETCH(QString, selected);

    const QByteArray settings = m_window->folder.readSettings();
    const DialogRun run = applyInDialog(text);
    QVERIFY(run.opened);
    QVERIFY(!run.closed);
    QCOMPARE(m_window->boxes.texts(), QStringList({box}));
    QCOMPARE(m_window->boxes.boxes.first().style, 0);
    QCOMPARE(run.selected, selected);
    QCOMPARE(m_window->folder.readSettings(), settings);
    QVERIFY(!option("optCustom")->isEnabled());
}

void tst_CustomData::failedWriteChangesNothing()
{
    // A folder where the settings file was: it cannot be replaced.
    const QString settings = m_window->folder.settingsFile();
    QVERIFY(QFile::remove(settings));
    QVERIFY(QDir().mkdir(settings));
    const DialogRun run = applyInDialog(QStringLiteral("06"));
    QVERIFY(!run.closed);
    QCOMPARE(run.selected, QStringLiteral("06"));
    QCOMPARE(m_window->boxes.texts(), QStringList({writeFailed}));
    QCOMPARE(m_window->boxes.boxes.first().style, 16);
    QCOMPARE(messages().size(), 1);
    QVERIFY(messages().first().endsWith(QStringLiteral("(CustomData_Click)")));
    QVERIFY(!option("optCustom")->isEnabled());
}

QTEST_MAIN(tst_CustomData)
#include "tst_customdata.moc"
