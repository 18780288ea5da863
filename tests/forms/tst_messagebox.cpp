#include "forms/ui/MessageBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The real message-box function: a real modal box appears, and a timer answers it as a user would.
class MessageBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void realBoxShowsAndAnswers_data();
    void realBoxShowsAndAnswers();
    void pathIsInAReadOnlyLine();
};

void MessageBoxTest::realBoxShowsAndAnswers_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("expectedTitle");
    QTest::addColumn<int>("expectedIcon");
    QTest::addColumn<QStringList>("expectedButtons");
    QTest::addColumn<QString>("defaultButton");
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("expectedResult");

    QTest::newRow("critical, OK only, application title")
        << int(MsgBoxStyle::Critical) << QString() << QStringLiteral("Parvel")
        << int(QMessageBox::Critical) << QStringList {QStringLiteral("OK")} << QStringLiteral("OK")
        << QStringLiteral("OK") << MsgBoxResult::Ok;
    QTest::newRow("question, Cancel by default, answered Cancel")
        << (MsgBoxStyle::OkCancel | MsgBoxStyle::Question | MsgBoxStyle::DefaultButton2)
        << QStringLiteral("Parvel") << QStringLiteral("Parvel") << int(QMessageBox::Question)
        << QStringList {QStringLiteral("OK"), QStringLiteral("キャンセル")}
        << QStringLiteral("キャンセル") << QStringLiteral("キャンセル") << MsgBoxResult::Cancel;
    QTest::newRow("information, own caption")
        << int(MsgBoxStyle::Information) << QStringLiteral("通信設定") << QStringLiteral("通信設定")
        << int(QMessageBox::Information) << QStringList {QStringLiteral("OK")}
        << QStringLiteral("OK") << QStringLiteral("OK") << MsgBoxResult::Ok;
}

void MessageBoxTest::realBoxShowsAndAnswers()
{
    QFETCH(int, style);
    QFETCH(QString, caption);

    QString title;
    int icon = -1;
    QStringList buttons;
    QString defaultButton;
    QFETCH(QString, press);
    // Runs inside the box's own event loop, once the box is up.
    QTimer answer;
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        answer.stop();
        title = box->windowTitle();
        icon = box->icon();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == press)
                button->click();
        }
    });
    answer.start();

    const int result = ShowQtMessageBox(QStringLiteral("本文"), style, caption);

    QTEST(title, "expectedTitle");
    QTEST(icon, "expectedIcon");
    QTEST(buttons, "expectedButtons");
    QTEST(defaultButton, "defaultButton");
    QTEST(result, "expectedResult");
}

void MessageBoxTest::pathIsInAReadOnlyLine()
{
    // A box ending in a path: the path sits in a read-only line that Tab reaches and that can
    // be copied whole; the text above keeps only the sentence.
    const QString path = QStringLiteral("/home/user/Parvel/Log");
    QString text;
    QString line;
    bool readOnly = false;
    bool reached = false;
    QTimer answer;
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        answer.stop();
        text = box->text();
        if (auto *edit = box->findChild<QLineEdit *>(QStringLiteral("txtPath"))) {
            line = edit->text();
            readOnly = edit->isReadOnly();
            reached = edit->focusPolicy() & Qt::TabFocus;
        }
        box->buttons().first()->click();
    });
    answer.start();
    ShowQtMessageBox(QStringLiteral("ログフォルダを開けませんでした。\r\n") + path,
                     MsgBoxStyle::Exclamation, {});
    QCOMPARE(text, QStringLiteral("ログフォルダを開けませんでした。"));
    QCOMPARE(line, path);
    QVERIFY(readOnly);
    QVERIFY(reached);
}

QTEST_MAIN(MessageBoxTest)
#include "tst_messagebox.moc"
