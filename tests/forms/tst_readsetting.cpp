#include "forms/frmMain.h"
#include "lib/modLogging.h"
#include "platform/RuntimeError.h"
#include "support/ExpectedTexts.h"
#include "support/MessageBoxRecorder.h"
#include "support/ProgramFolderFixture.h"
#include "support/SettingsFileText.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString sizeInvalid = QStringLiteral("ログ最大サイズが不正です。");
const QString generationsInvalid = QStringLiteral("ログ最大世代数が不正です。");
using ExpectedText::readFailed;
const QString tagAlone = QStringLiteral("(ReadSetting)");
const QString overflowLogged = ErrorText::overflow + tagAlone;
} // namespace

// What the window shows and logs for each way the reading can stop; the reading itself is the
// settings' own (tst_receiversettings).
class tst_ReadSetting : public QObject
{
    Q_OBJECT

private slots:
    void outcomes_data();
    void outcomes();
    void boxComesBeforeLogLine();
    void notARegularFileReadsAsUnreadable_data();
    void notARegularFileReadsAsUnreadable();
};

void tst_ReadSetting::outcomes_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("logged");
    QTest::addColumn<QList<int>>("values"); // port, response mode, log size, generations

    const QStringList none;
    const QList<int> allRead {5000, 1, 3, 10};

    QTest::newRow("complete file")
        << true << SettingsSections("TcpPort=5000", validMaintenance) << none << none << allRead;
    QTest::newRow("file missing") << false << QByteArray() << QStringList {readFailed}
                                  << QStringList {tagAlone}
                                  << QList<int> {untouched, untouched, untouched, untouched};
    QTest::newRow("log size empty")
        << true
        << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=\r\nLogGenerations=10")
        << QStringList {sizeInvalid, readFailed} << QStringList {tagAlone}
        << QList<int> {5000, 1, untouched, untouched};
    QTest::newRow("generations absent")
        << true << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=3")
        << QStringList {generationsInvalid, readFailed} << QStringList {tagAlone}
        << QList<int> {5000, 1, 3, untouched};
    QTest::newRow("log size 32768 overflows")
        << true
        << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=32768\r\nLogGenerations=10")
        << QStringList {readFailed} << QStringList {overflowLogged}
        << QList<int> {5000, 1, untouched, untouched};
}

void tst_ReadSetting::outcomes()
{
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, logged);
    QFETCH(QList<int>, values);

    ProgramFolderFixture folder;
    QVERIFY(folder.isValid());
    frmMain form;
    // Every target holds a value of its own before the read under test.
    folder.writeSettings(
        SettingsFileText(QByteArray::number(untouched), untouched, untouched)
            .replace("ResSetting=1", "ResSetting=" + QByteArray::number(untouched)));
    form.ReadSetting(folder.settingsFile());
    QCOMPARE(form.ResSetting(), untouched);
    if (fileExists)
        folder.writeSettings(content);
    else
        QVERIFY(QFile::remove(folder.settingsFile()));
    MessageBoxRecorder recorder;
    form.ReadSetting(folder.settingsFile());

    QCOMPARE(recorder.texts(), boxes);
    for (const MessageBoxRecorder::Box &box : recorder.boxes) {
        QCOMPARE(box.style, MsgBoxStyle::Critical);
        QCOMPARE(box.caption, QString());
    }
    QCOMPARE(folder.logMessages(), logged);
    QCOMPARE((QList<int> {form.RcvPort(), form.ResSetting(), intLogMaxSize, intLogGenerations}),
             values);
    QVERIFY(!form.isVisible());
}

void tst_ReadSetting::boxComesBeforeLogLine()
{
    ProgramFolderFixture folder;
    QVERIFY(folder.isValid());
    folder.writeSettings(SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=32768"));
    QList<qsizetype> logLinesAtBox;
    MessageBoxFunction previous = SetMessageBoxFunction([&](const QString &, int, const QString &) {
        logLinesAtBox.append(folder.logLines().size());
        return MsgBoxResult::Ok;
    });

    frmMain form;
    form.ReadSetting(folder.settingsFile());
    SetMessageBoxFunction(std::move(previous));

    QCOMPARE(logLinesAtBox, QList<qsizetype> {0});
    QCOMPARE(folder.logMessages(), QStringList {overflowLogged});
}

void tst_ReadSetting::notARegularFileReadsAsUnreadable_data()
{
    QTest::addColumn<bool>("fifo");
    QTest::newRow("a FIFO, which would block the opening") << true;
    QTest::newRow("a link to /dev/zero, which never ends") << false;
}

void tst_ReadSetting::notARegularFileReadsAsUnreadable()
{
    QFETCH(bool, fifo);
    ProgramFolderFixture folder;
    QVERIFY(folder.isValid());
    const QByteArray file = QFile::encodeName(folder.settingsFile());
    QCOMPARE(fifo ? ::mkfifo(file.constData(), 0600) : ::symlink("/dev/zero", file.constData()), 0);
    MessageBoxRecorder recorder;

    frmMain form;
    QElapsedTimer clock;
    clock.start();
    ::alarm(3); // a reader stuck for good ends the test instead of hanging it
    form.ReadSetting(folder.settingsFile());
    ::alarm(0);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(recorder.texts(), QStringList {readFailed});
    QCOMPARE(folder.logMessages(), QStringList {tagAlone});
}

QTEST_MAIN(tst_ReadSetting)
#include "tst_readsetting.moc"
