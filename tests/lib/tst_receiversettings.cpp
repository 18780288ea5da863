#include "lib/ReceiverSettings.h"
#include "lib/SettingKeys.h"
#include "platform/RuntimeError.h"

#include "support/SettingsFileText.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace SettingKeys;

// The settings file read into one value and written key by key, without a window.
class tst_ReceiverSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void reading_data();
    void reading();
    void capture_data();
    void capture();
    void customReply_data();
    void customReply();

private:
    QString write(const QByteArray &content) const;

    QTemporaryDir m_dir;
};

QString tst_ReceiverSettings::write(const QByteArray &content) const
{
    const QString ini = m_dir.filePath(QStringLiteral("setting.ini"));
    QFile::remove(ini);
    QFile file(ini);
    if (!content.isNull() && file.open(QIODevice::WriteOnly))
        file.write(content);
    return ini;
}

void tst_ReceiverSettings::reading_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<QString>("stoppedAt");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QList<int>>("values"); // port, response mode, log size, generations

    const QString none;
    const QString overflow = ErrorText::overflow;
    const QList<int> allRead {5000, 1, 3, 10};

    QTest::newRow("complete file")
        << SettingsSections("TcpPort=5000", validMaintenance) << none << none << allRead;
    QTest::newRow("file missing") << QByteArray() << resSetting << none
                                  << QList<int> {untouched, untouched, untouched, untouched};
    QTest::newRow("names in lower case")
        << QByteArray("[port]\ntcpport=5000\n[maintenance]\nressetting=1\nlogmaxsize=3\n"
                      "loggenerations=10\n")
        << none << none << allRead;
    QTest::newRow("port with blanks")
        << SettingsSections("TcpPort=  5000  ", validMaintenance) << none << none << allRead;
    QTest::newRow("port abc silent") << SettingsSections("TcpPort=abc", validMaintenance) << none
                                     << none << QList<int> {untouched, 1, 3, 10};
    QTest::newRow("port absent") << SettingsSections("", validMaintenance) << none << none
                                 << QList<int> {untouched, 1, 3, 10};
    QTest::newRow("ranges not tested")
        << SettingsSections("TcpPort=70000", "ResSetting=-1\r\nLogMaxSize=0\r\nLogGenerations=-5")
        << none << none << QList<int> {70000, -1, 0, -5};
    QTest::newRow("response mode absent")
        << SettingsSections("TcpPort=5000", "LogMaxSize=3\r\nLogGenerations=10") << resSetting
        << none << QList<int> {5000, untouched, untouched, untouched};
    QTest::newRow("response mode empty")
        << SettingsSections("TcpPort=5000", "ResSetting=\r\nLogMaxSize=3\r\nLogGenerations=10")
        << resSetting << none << QList<int> {5000, untouched, untouched, untouched};
    QTest::newRow("response mode abc")
        << SettingsSections("TcpPort=5000", "ResSetting=abc\r\nLogMaxSize=3\r\nLogGenerations=10")
        << none << none << QList<int> {5000, untouched, 3, 10};
    QTest::newRow("log size empty")
        << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=\r\nLogGenerations=10")
        << logMaxSize << none << QList<int> {5000, 1, untouched, untouched};
    QTest::newRow("log size abc") << SettingsSections(
        "TcpPort=5000", "ResSetting=1\r\nLogMaxSize=abc\r\nLogGenerations=10")
                                  << logMaxSize << none
                                  << QList<int> {5000, 1, untouched, untouched};
    QTest::newRow("generations absent")
        << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=3") << logGenerations
        << none << QList<int> {5000, 1, 3, untouched};
    QTest::newRow("generations not numeric")
        << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=3\r\nLogGenerations=1,0")
        << logGenerations << none << QList<int> {5000, 1, 3, untouched};
    QTest::newRow("log size 32768 overflows")
        << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=32768\r\nLogGenerations=10")
        << logMaxSize << overflow << QList<int> {5000, 1, untouched, untouched};
    QTest::newRow("port overflows")
        << SettingsSections("TcpPort=2147483648", validMaintenance) << tcpPort << overflow
        << QList<int> {untouched, untouched, untouched, untouched};
    QTest::newRow("response mode overflows")
        << SettingsSections("TcpPort=5000", "ResSetting=1e10\r\nLogMaxSize=3\r\nLogGenerations=10")
        << resSetting << overflow << QList<int> {5000, untouched, untouched, untouched};
    QTest::newRow("generations overflow")
        << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=3\r\nLogGenerations=-32769")
        << logGenerations << overflow << QList<int> {5000, 1, 3, untouched};
    QTest::newRow("log size 2.5 gives 2")
        << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=2.5\r\nLogGenerations=10")
        << none << none << QList<int> {5000, 1, 2, 10};
    QTest::newRow("log size 3.5 gives 4")
        << SettingsSections("TcpPort=5000", "ResSetting=1\r\nLogMaxSize=3.5\r\nLogGenerations=10")
        << none << none << QList<int> {5000, 1, 4, 10};
}

void tst_ReceiverSettings::reading()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, stoppedAt);
    QFETCH(QString, description);
    QFETCH(QList<int>, values);

    ReceiverSettings read;
    read.port = read.response = read.logMaxSize = read.logGenerations = untouched;
    const SettingsReadFault fault = ReadReceiverSettings(write(content), read);
    QCOMPARE(fault.key, stoppedAt);
    QCOMPARE(fault.stopped(), !stoppedAt.isEmpty());
    QCOMPARE(fault.description, description);
    QCOMPARE((QList<int> {read.port, read.response, read.logMaxSize, read.logGenerations}), values);
}

void tst_ReceiverSettings::capture_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("on");

    QTest::newRow("1") << QByteArray("CaptureData=1") << true;
    QTest::newRow("blanks, quotes, lower case") << QByteArray("capturedata = \"1\" ") << true;
    QTest::newRow("0") << QByteArray("CaptureData=0") << false;
    QTest::newRow("empty") << QByteArray("CaptureData=") << false;
    QTest::newRow("text") << QByteArray("CaptureData=on") << false;
    QTest::newRow("1.0 is not 1") << QByteArray("CaptureData=1.0") << false;
    QTest::newRow("missing key") << QByteArray("LogGenerations=10") << false;
    QTest::newRow("no file") << QByteArray() << false;
}

void tst_ReceiverSettings::capture()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, on);

    // Read whatever stops the specified keys: the menu's own setting is apart from them.
    const QString ini
        = write(line.isNull() ? line : "[Port]\r\nTcpPort=5000\r\n[Maintenance]\r\n" + line);
    ReceiverSettings read;
    ReadReceiverSettings(ini, read);
    QCOMPARE(read.capture, on);

    // The menu's write takes effect at once and keeps every other key.
    QVERIFY(WriteCaptureSetting(ini, !on));
    ReadReceiverSettings(ini, read);
    QCOMPARE(read.capture, !on);
    QCOMPARE(ReadPortText(ini), line.isNull() ? "" : "5000");
    QCOMPARE(WriteCaptureSetting(m_dir.filePath(QStringLiteral("gone/setting.ini")), on).failure,
             ErrorText::pathNotFound);
}

void tst_ReceiverSettings::customReply_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("kept form") << QByteArray("CustomData=06") << QByteArray("\x06");
    QTest::newRow("typed form, quoted, key in lower case")
        << QByteArray("customdata = \"0d0A \"") << QByteArray("\x0D\x0A");
    // Longer than the 255 bytes other values are cut to.
    QTest::newRow("2048 bytes") << "CustomData=" + QByteArray("AB ").repeated(2048)
                                << QByteArray(2048, '\xAB');
    QTest::newRow("odd count: none") << QByteArray("CustomData=024") << QByteArray();
    QTest::newRow("2049 bytes: none")
        << "CustomData=" + QByteArray("AB").repeated(2049) << QByteArray();
    QTest::newRow("empty: none") << QByteArray("CustomData=") << QByteArray();
    QTest::newRow("missing key: none") << QByteArray("LogGenerations=10") << QByteArray();
    QTest::newRow("no file: none") << QByteArray() << QByteArray();
}

void tst_ReceiverSettings::customReply()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reply);

    const QByteArray before = "; kept\r\n[Port]\r\nTcpPort=5000\r\n\r\n[Maintenance]\r\n" + line
        + "\r\nLogMaxSize=3\r\n";
    const QString ini = write(line.isNull() ? line : before);
    ReceiverSettings read;
    ReadReceiverSettings(ini, read);
    QCOMPARE(read.customReply, reply);

    // Written in its kept form, every other line as it was.
    QVERIFY(WriteCustomReply(ini, "\x02\xab\x03"));
    ReadReceiverSettings(ini, read);
    QCOMPARE(read.customReply, QByteArray("\x02\xAB\x03"));
    QFile written(ini);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray after = written.readAll();
    if (line.startsWith("CustomData") || line.startsWith("customdata"))
        QCOMPARE(after, QByteArray(before).replace(line, "CustomData=02 AB 03"));
    else
        QVERIFY(after.contains("CustomData=02 AB 03\r\n"));
    QVERIFY(WriteCustomReply(ini, {}));
    ReadReceiverSettings(ini, read);
    QCOMPARE(read.customReply, QByteArray());
    QCOMPARE(ReadPortText(ini), line.isNull() ? "" : "5000");
    QVERIFY(!WriteCustomReply(m_dir.filePath(QStringLiteral("gone/setting.ini")), "\x06"));
}

QTEST_GUILESS_MAIN(tst_ReceiverSettings)
#include "tst_receiversettings.moc"
