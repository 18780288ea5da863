#include "support/Controls.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"
#include "support/MessageBoxRecorder.h"

#include "forms/frmMain.h"
#include "forms/frmTcpRcvRules.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

namespace {
const QList<ResponseRule> twoRules {{true, RuleKind::Starts, "02 30", "06 [1]"},
                                    {true, RuleKind::Equals, "05", "15"}};

QString RulesFilePath(const ListeningWindow &window)
{
    return window.folder.path() + QStringLiteral("/Config/Kiv_TcpRecvRules.txt");
}
} // namespace

// The rules dialog on its own (saving, refusing, testing, cancelling), and through the menu the
// rules file and the lone-byte switch it stands beside.
class RulesDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void editsAreKeptInOrder();
    void faultIsRefused_data();
    void faultIsRefused();
    void testLine_data();
    void testLine();
    void cancelKeepsNothing();
    void startUpReadsTheRulesFile();
    void menuWritesTheRulesFile();
    void failedWriteKeepsTheDialogOpen();
    void loneByteSwitchIsStored();

private:
    // A shown dialog over rules whose keeping is recorded.
    struct Run
    {
        explicit Run(const QList<ResponseRule> &rules, bool keepSucceeds = true)
            : dialog(rules, [this, keepSucceeds](const QList<ResponseRule> &kept) {
                  this->kept.append(kept);
                  return keepSucceeds;
              })
        {
            dialog.show();
        }
        template<typename Control> Control *ctl(const char *name)
        {
            return Ctl<Control>(dialog, name);
        }
        // Return on a button, as the keyboard presses it.
        void press(const char *name)
        {
            auto *button = ctl<QPushButton>(name);
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Return);
        }

        MessageBoxRecorder boxes;
        QList<QList<ResponseRule>> kept;
        frmTcpRcvRules dialog;
    };
};

void RulesDialogTest::editsAreKeptInOrder()
{
    Run run(twoRules);
    QCOMPARE(run.dialog.windowTitle(), QStringLiteral("応答ルール設定"));
    QCOMPARE(run.dialog.minimumSize(), run.dialog.maximumSize());
    auto *table = run.ctl<QTableWidget>("grdRules");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("先頭一致"));
    QCOMPARE(run.ctl<QLineEdit>("txtPattern")->text(), QStringLiteral("02 30"));
    QVERIFY(!run.ctl<QPushButton>("cmdUp")->isEnabled());

    // The second rule up, switched off; a third added and written by keyboard.
    QTest::keyClick(table, Qt::Key_Down);
    QCOMPARE(run.ctl<QLineEdit>("txtPattern")->text(), QStringLiteral("05"));
    run.press("cmdUp");
    QTest::keyClick(run.ctl<QCheckBox>("chkOn"), Qt::Key_Space);
    QCOMPARE(table->item(0, 0)->checkState(), Qt::Unchecked);
    run.press("cmdAdd");
    QCOMPARE(run.dialog.focusWidget(), run.ctl<QLineEdit>("txtPattern"));
    QTest::keyClicks(run.ctl<QLineEdit>("txtPattern"), QStringLiteral("0d 0a"));
    QTest::keyClicks(run.ctl<QLineEdit>("txtReply"), QStringLiteral("06"));
    auto *kind = run.ctl<QComboBox>("cboKind");
    kind->setFocus();
    QTest::keyClick(kind, Qt::Key_End);
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("含む"));
    QCOMPARE(table->item(2, 2)->text(), QStringLiteral("0d 0a"));
    QVERIFY(!run.ctl<QPushButton>("cmdDown")->isEnabled());

    run.press("cmdApply");
    QVERIFY(!run.dialog.isVisible());
    QCOMPARE(run.dialog.result(), int(QDialog::Accepted));
    QVERIFY(run.boxes.boxes.isEmpty());
    QCOMPARE(run.kept,
             (QList<QList<ResponseRule>> {{{false, RuleKind::Equals, "05", "15"},
                                           twoRules.at(0),
                                           {true, RuleKind::Contains, "0d 0a", "06"}}}));
}

void RulesDialogTest::faultIsRefused_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("selected");

    QTest::newRow("bad pattern character")
        << "02 3X"
        << "06"
        << "ルール 2 の受信パターンの5文字目「X」は16進数ではありません。"
        << "txtPattern"
        << "X";
    QTest::newRow("odd reply") << "02"
                               << "06 1"
                               << "ルール 2 の応答データの4文字目の桁が2桁の組になっていません。"
                                  "16進数は2桁ずつ入力してください。"
                               << "txtReply"
                               << "1";
    QTest::newRow("no reply") << "02"
                              << ""
                              << "ルール 2 の応答データがありません。1バイト以上入力してください。"
                              << "txtReply"
                              << "";
}

void RulesDialogTest::faultIsRefused()
{
    QFETCH(QString, pattern);
    QFETCH(QString, reply);
    QFETCH(QString, box);
    QFETCH(QString, field);
    QFETCH(QString, selected);

    Run run({twoRules.at(0), {true, RuleKind::Ends, pattern, reply}, twoRules.at(1)});
    run.press("cmdApply");
    QVERIFY(run.dialog.isVisible());
    QVERIFY(run.kept.isEmpty());
    QCOMPARE(run.boxes.texts(), QStringList {box});
    QCOMPARE(run.ctl<QTableWidget>("grdRules")->currentRow(), 1);
    auto *text = run.ctl<QLineEdit>(field.toLatin1().constData());
    QCOMPARE(run.dialog.focusWidget(), text);
    QCOMPARE(text->selectedText(), selected);
}

void RulesDialogTest::testLine_data()
{
    QTest::addColumn<QList<ResponseRule>>("rules");
    QTest::addColumn<QString>("block");
    QTest::addColumn<QString>("result");

    QTest::newRow("second rule, with a copy")
        << QList<ResponseRule> {{true, RuleKind::Equals, "02", "15"}, twoRules.at(0)} << "02 30 7f"
        << "ルール 2 で応答: 06 30";
    QTest::newRow("no rule") << twoRules << "03"
                             << "一致するルールはありません。応答設定のとおりに応答します。";
    QTest::newRow("bad block") << twoRules << "02 3"
                               << "試験データの4文字目の桁が2桁の組になっていません。"
                                  "16進数は2桁ずつ入力してください。";
    QTest::newRow("faulty rule")
        << QList<ResponseRule> {twoRules.at(0), {true, RuleKind::Equals, "?", "15"}} << "02 30"
        << "ルール 2 の受信パターンの1文字目の「?」は、任意の1バイトなら「??」と書いてください。";
}

void RulesDialogTest::testLine()
{
    QFETCH(QList<ResponseRule>, rules);
    QFETCH(QString, block);
    QFETCH(QString, result);

    Run run(rules);
    auto *test = run.ctl<QLineEdit>("txtTest");
    test->setFocus();
    QTest::keyClicks(test, block);
    QTest::keyClick(test, Qt::Key_Return);
    QCOMPARE(run.ctl<QLabel>("lblTestResult")->text(), result);
    QVERIFY(run.dialog.isVisible());
    QVERIFY(run.kept.isEmpty());
    QVERIFY(run.boxes.boxes.isEmpty());
}

void RulesDialogTest::cancelKeepsNothing()
{
    Run run(twoRules);
    run.press("cmdRemove");
    QCOMPARE(run.ctl<QTableWidget>("grdRules")->rowCount(), 1);
    run.press("cmdCancel");
    QCOMPARE(run.dialog.result(), int(QDialog::Rejected));
    QVERIFY(run.kept.isEmpty());
}

void RulesDialogTest::startUpReadsTheRulesFile()
{
    ListeningWindow window;
    {
        QFile rules(RulesFilePath(window));
        QVERIFY(rules.open(QIODevice::WriteOnly));
        rules.write("# status\r\non equals 05 06 -> 15\r\non equals 0G -> 15\r\n");
    }
    // As start-up reads the settings: the rules come with them, a bad line logged once.
    window.form.ReadSetting(window.folder.settingsFile());
    const QString skipped = QStringLiteral("応答ルールファイルの3行目を読み飛ばしました。"
                                           "受信パターンの2文字目「G」は16進数ではありません。");
    QCOMPARE(window.folder.logMessages(), QStringList {skipped});
    QVERIFY(window.startListening());
    LoopbackClient client;
    QVERIFY(client.connectTo(window.port));
    client.send("\x05\x06");
    QVERIFY(client.waitForReceived(1));
    QCOMPARE(client.received, QByteArray("\x15"));
    QCOMPARE(window.folder.logMessages(),
             QStringList({skipped, "2バイトのデータ受信", "1バイトの応答送信"}));
}

void RulesDialogTest::menuWritesTheRulesFile()
{
    ListeningWindow window;
    QVERIFY(window.isValid());
    const QString file = RulesFilePath(window);
    {
        QFile rules(file);
        QVERIFY(rules.open(QIODevice::WriteOnly));
        rules.write("on starts 02 30 -> 06 [1]\nbad line\n");
    }
    QString notice;
    int rows = -1;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("frmTcpRcvRules"))
            return;
        notice = Ctl<QLabel>(*dialog, "lblTestResult")->text();
        rows = Ctl<QTableWidget>(*dialog, "grdRules")->rowCount();
        Ctl<QPushButton>(*dialog, "cmdApply")->click();
        if (dialog->isVisible())
            dialog->reject();
    });
    Ctl<QAction>(window.form, "ResponseRules")->trigger();
    QCOMPARE(rows, 1);
    QCOMPARE(notice,
             QStringLiteral("ファイルの2行目は読めないため表示していません。設定するとファイルから"
                            "消えます。"));
    QFile rules(file);
    QVERIFY(rules.open(QIODevice::ReadOnly));
    const QByteArray written = rules.readAll();
    QVERIFY2(written.endsWith("\non starts 02 30 -> 06 [1]\n") && !written.contains("bad line"),
             written.constData());
    QVERIFY(window.boxes.boxes.isEmpty());

    // Put to use at once: the window names the rule that answered under the send grid.
    QVERIFY(window.startListening());
    LoopbackClient client;
    QVERIFY(client.connectTo(window.port));
    client.send("\x02\x30\x41");
    QVERIFY(client.waitForReceived(2));
    QCOMPARE(client.received, QByteArray("\x06\x30"));
    QTRY_COMPARE(Ctl<QLabel>(window.form, "lblSendShown")->text(),
                 QStringLiteral("ルール 1 で応答"));
    QCOMPARE(window.folder.logMessages(),
             QStringList({"3バイトのデータ受信", "2バイトの応答送信"}));
}

void RulesDialogTest::failedWriteKeepsTheDialogOpen()
{
    ListeningWindow window;
    QVERIFY(QDir().mkdir(RulesFilePath(window)));
    bool stayedOpen = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        Ctl<QPushButton>(*dialog, "cmdAdd")->click();
        Ctl<QLineEdit>(*dialog, "txtPattern")->setText(QStringLiteral("05"));
        Ctl<QLineEdit>(*dialog, "txtReply")->setText(QStringLiteral("06"));
        Ctl<QPushButton>(*dialog, "cmdApply")->click();
        stayedOpen = dialog->isVisible();
        dialog->reject();
    });
    Ctl<QAction>(window.form, "ResponseRules")->trigger();
    QVERIFY(stayedOpen);
    QCOMPARE(window.boxes.texts(), QStringList {"応答ルールファイルの書き込みに失敗しました。"});
    QCOMPARE(window.boxes.boxes.first().style, 16);
    const QStringList log = window.folder.logMessages();
    QCOMPARE(log.size(), 1);
    QVERIFY2(log.first().startsWith(QStringLiteral("応答ルールファイルを書き込めません: "))
                 && log.first().endsWith(QStringLiteral("(ResponseRules_Click)")),
             qPrintable(log.first()));
}

void RulesDialogTest::loneByteSwitchIsStored()
{
    ListeningWindow window;
    auto *option = Ctl<QAction>(window.form, "ReceiveLoneByte");
    QVERIFY(option->isCheckable() && !option->isChecked());
    const QByteArray settings = window.folder.readSettings();
    option->trigger();
    QCOMPARE(window.folder.readSettings(), settings + "ReceiveLoneByte=1\r\n");
    // A lone byte is answered at once now.
    QVERIFY(window.startListening());
    LoopbackClient client;
    QVERIFY(client.connectTo(window.port));
    client.send("\x05");
    QVERIFY(client.waitForReceived(1));
    QCOMPARE(window.folder.logMessages(),
             QStringList({"1バイトのデータ受信", "1バイトの応答送信"}));
    option->trigger();
    QCOMPARE(window.folder.readSettings(), settings + "ReceiveLoneByte=0\r\n");
    QVERIFY(!option->isChecked());
}

QTEST_MAIN(RulesDialogTest)
#include "tst_rulesdialog.moc"
