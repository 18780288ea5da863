#include "lib/modFileIO.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_ModFileIO : public QObject
{
    Q_OBJECT

private slots:
    void readIniString_data();
    void readIniString();
    void leftAnsiBytes_data();
    void leftAnsiBytes();
    void writeThenRead();

private:
    QString settingsPath() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    QTemporaryDir m_dir;
};

void tst_ModFileIO::readIniString_data()
{
    QTest::addColumn<QByteArray>("line"); // the key line under [Port]
    QTest::addColumn<QString>("expected");

    // The profile reader's own rules (names, quotes, missing keys) are its own test's; these rows
    // are the 255-byte cut, the trimming after it and the decoding.
    const QString japanese = QStringLiteral("あ");
    QTest::newRow("300 bytes cut to 255")
        << "TcpPort=" + QByteArray(300, 'x') << QString(255, QLatin1Char('x'));
    QTest::newRow("cut before a split character")
        << "TcpPort=a" + japanese.repeated(100).toUtf8() << "a" + japanese.repeated(84);
    QTest::newRow("255 bytes of whole characters")
        << "TcpPort=" + japanese.repeated(85).toUtf8() << japanese.repeated(85);
    QTest::newRow("blanks at the cut trimmed")
        << "TcpPort=" + QByteArray(250, 'x') + QByteArray(10, ' ') + QByteArray(40, 'y')
        << QString(250, QLatin1Char('x'));
    QTest::newRow("quotes and blanks")
        << QByteArray("TcpPort = \" 5000 \" ") << QStringLiteral("5000");
    QTest::newRow("tab kept inside quotes")
        << QByteArray("TcpPort=\"\t5000\"") << QStringLiteral("\t5000");
    QTest::newRow("Japanese value")
        << QByteArray("TcpPort=受信ポート") << QStringLiteral("受信ポート");
}

void tst_ModFileIO::readIniString()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);

    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[port]\r\n" + line + "\r\n");
    file.close();
    QCOMPARE(ReadIniString(QStringLiteral("Port"), QStringLiteral("TcpPort"), settingsPath()),
             expected);
}

void tst_ModFileIO::leftAnsiBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byteCount");
    QTest::addColumn<QString>("expected");

    QTest::newRow("shorter") << QStringLiteral("abc") << 2 << QStringLiteral("ab");
    QTest::newRow("all") << QStringLiteral("abc") << 3 << QStringLiteral("abc");
    QTest::newRow("fewer bytes than asked") << QStringLiteral("abc") << 10 << QStringLiteral("abc");
    QTest::newRow("zero") << QStringLiteral("abc") << 0 << QString();
    QTest::newRow("negative") << QStringLiteral("abc") << -1 << QString();
    QTest::newRow("empty") << QString() << 5 << QString();
    QTest::newRow("whole character") << QStringLiteral("あい") << 3 << QStringLiteral("あ");
    QTest::newRow("inside the second") << QStringLiteral("あい") << 5 << QStringLiteral("あ");
    QTest::newRow("inside the first") << QStringLiteral("あい") << 2 << QString();
    QTest::newRow("two-byte character") << QStringLiteral("aé") << 2 << QStringLiteral("a");
    QTest::newRow("four-byte character")
        << QStringLiteral("x\U0001F600y") << 4 << QStringLiteral("x");
    QTest::newRow("after four-byte character")
        << QStringLiteral("x\U0001F600y") << 5 << QStringLiteral("x\U0001F600");
}

void tst_ModFileIO::leftAnsiBytes()
{
    QFETCH(QString, text);
    QFETCH(int, byteCount);
    QFETCH(QString, expected);

    QCOMPARE(LeftAnsiBytes(text, byteCount), expected);
}

void tst_ModFileIO::writeThenRead()
{
    const QString path = m_dir.filePath(QStringLiteral("written.ini"));
    const QString port = QStringLiteral("Port");
    const QString key = QStringLiteral("TcpPort");
    QVERIFY(WriteIniString(port, key, path, QStringLiteral("5000")));
    QCOMPARE(ReadIniString(port, key, path), QStringLiteral("5000"));
    QVERIFY(WriteIniString(port, key, path, QStringLiteral("ポート")));
    QCOMPARE(ReadIniString(port, key, path), QStringLiteral("ポート"));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QStringLiteral("[Port]\r\nTcpPort=ポート\r\n").toUtf8());
}

QTEST_GUILESS_MAIN(tst_ModFileIO)
#include "tst_modfileio.moc"
