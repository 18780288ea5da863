#include "platform/IniProfile.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

class tst_IniProfile : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void readMissingFile();
    void readLongLine();
    void write_data();
    void write();
    void writeCreatesFile();
    void writeFailsWithoutFolder();
    void writeFailsOnDirectory();
    void failedWriteKeepsOldFile();

private:
    QString writeFile(const QByteArray &content);

    QTemporaryDir m_dir;
};

QString tst_IniProfile::writeFile(const QByteArray &content)
{
    const QString path = m_dir.filePath(QStringLiteral("settings.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size())
        qFatal("cannot write the test file");
    return path;
}

// Bytes of a literal that may hold NUL bytes, without the terminator.
template<qsizetype N> static QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

static QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_IniProfile::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray sample = "[Port]\r\nTcpPort=5000\r\n\r\n[Maintenance]\r\nResSetting=1\r\n";
    QTest::newRow("plain") << sample << QByteArray("Port") << QByteArray("TcpPort")
                           << QByteArray("5000");
    QTest::newRow("second section")
        << sample << QByteArray("Maintenance") << QByteArray("ResSetting") << QByteArray("1");
    QTest::newRow("names case-blind")
        << sample << QByteArray("PORT") << QByteArray("tcpport") << QByteArray("5000");
    QTest::newRow("missing section")
        << sample << QByteArray("Other") << QByteArray("TcpPort") << QByteArray();
    QTest::newRow("missing key") << sample << QByteArray("Port") << QByteArray("ResSetting")
                                 << QByteArray();
    QTest::newRow("empty file") << QByteArray() << QByteArray("Port") << QByteArray("TcpPort")
                                << QByteArray();
    QTest::newRow("LF endings") << QByteArray("[Port]\nTcpPort=5000\n") << QByteArray("Port")
                                << QByteArray("TcpPort") << QByteArray("5000");
    QTest::newRow("no final newline") << QByteArray("[Port]\r\nTcpPort=5000") << QByteArray("Port")
                                      << QByteArray("TcpPort") << QByteArray("5000");
    QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF[Port]\r\nTcpPort=5000\r\n")
                         << QByteArray("Port") << QByteArray("TcpPort") << QByteArray("5000");
    QTest::newRow("blanks around")
        << QByteArray("  [ Port ]  \n \t TcpPort \t=  \t5000 \t \n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray("5000");
    QTest::newRow("double quotes")
        << QByteArray("[Port]\nTcpPort= \" 5000 \" \n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray(" 5000 ");
    QTest::newRow("single quotes") << QByteArray("[Port]\nTcpPort='abc'\n") << QByteArray("Port")
                                   << QByteArray("TcpPort") << QByteArray("abc");
    QTest::newRow("one pair only")
        << QByteArray("[Port]\nTcpPort=\"\"abc\"\"\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray("\"abc\"");
    QTest::newRow("unmatched quotes")
        << QByteArray("[Port]\nTcpPort=\"abc'\n") << QByteArray("Port") << QByteArray("TcpPort")
        << QByteArray("\"abc'");
    QTest::newRow("lone quote") << QByteArray("[Port]\nTcpPort=\"\n") << QByteArray("Port")
                                << QByteArray("TcpPort") << QByteArray("\"");
    QTest::newRow("empty value") << QByteArray("[Port]\nTcpPort=\n") << QByteArray("Port")
                                 << QByteArray("TcpPort") << QByteArray();
    QTest::newRow("equals in value") << QByteArray("[Port]\nTcpPort=a=b\n") << QByteArray("Port")
                                     << QByteArray("TcpPort") << QByteArray("a=b");
    QTest::newRow("first section wins")
        << QByteArray("[Port]\nOther=1\n[Port]\nTcpPort=2\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray();
    QTest::newRow("first key wins")
        << QByteArray("[Port]\nTcpPort=1\ntcpport=2\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray("1");
    QTest::newRow("key before any section")
        << QByteArray("TcpPort=1\n[Port]\nTcpPort=2\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray("2");
    QTest::newRow("key only before sections")
        << QByteArray("TcpPort=1\n[Port]\n") << QByteArray("Port") << QByteArray("TcpPort")
        << QByteArray();
    QTest::newRow("key of the next section")
        << QByteArray("[Port]\n[Maintenance]\nTcpPort=1\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray();
    QTest::newRow("comment ignored")
        << QByteArray("[Port]\n;TcpPort=1\nTcpPort=2\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray("2");
    QTest::newRow("line without equals")
        << QByteArray("[Port]\nTcpPort\nTcpPort=2\n") << QByteArray("Port") << QByteArray("TcpPort")
        << QByteArray("2");
    QTest::newRow("NUL ends the value")
        << bytes("[Port]\nTcpPort=50\0"
                 "00\n[Next]\n")
        << QByteArray("Port") << QByteArray("TcpPort") << QByteArray("50");
    QTest::newRow("NUL in other lines")
        << bytes("\0\0junk\n[Port]\nJunk=\0\0\n\0=1\nTcpPort=7\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray("7");
    QTest::newRow("UTF-8 names and value")
        << QByteArray("[設定]\nポート=値\n") << QByteArray("設定") << QByteArray("ポート")
        << QByteArray("値");
}

void tst_IniProfile::read()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);

    QCOMPARE(ReadProfileString(section, key, writeFile(content)), expected);
}

void tst_IniProfile::readMissingFile()
{
    QCOMPARE(ReadProfileString("Port", "TcpPort", m_dir.filePath(QStringLiteral("none.ini"))),
             QByteArray());
    QCOMPARE(ReadProfileString("Port", "TcpPort", m_dir.path()), QByteArray());
}

void tst_IniProfile::readLongLine()
{
    const QByteArray longValue(1024 * 1024, 'x');
    const QString path = writeFile("[Port]\r\nLong=" + longValue + "\r\nTcpPort=5000\r\n");
    QCOMPARE(ReadProfileString("Port", "Long", path), longValue);
    QCOMPARE(ReadProfileString("Port", "TcpPort", path), QByteArray("5000"));
}

void tst_IniProfile::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("replace keeps other lines")
        << QByteArray("; note \r\n[Port]\r\n  Other = x \r\nTcpPort = 1 \r\n\r\n[Maintenance]\r\n"
                      "ResSetting=1\r\n")
        << QByteArray("Port") << QByteArray("TcpPort") << QByteArray("5000")
        << QByteArray("; note \r\n[Port]\r\n  Other = x \r\nTcpPort=5000\r\n\r\n[Maintenance]\r\n"
                      "ResSetting=1\r\n");
    QTest::newRow("LF file stays LF")
        << QByteArray("[Port]\nTcpPort=1\n") << QByteArray("Port") << QByteArray("Extra")
        << QByteArray("2") << QByteArray("[Port]\nTcpPort=1\nExtra=2\n");
    QTest::newRow("BOM kept") << QByteArray("\xEF\xBB\xBF[Port]\r\nTcpPort=1\r\n")
                              << QByteArray("Port") << QByteArray("TcpPort") << QByteArray("2")
                              << QByteArray("\xEF\xBB\xBF[Port]\r\nTcpPort=2\r\n");
    QTest::newRow("case-blind match")
        << QByteArray("[port]\r\ntcpport=1\r\n") << QByteArray("Port") << QByteArray("TcpPort")
        << QByteArray("2") << QByteArray("[port]\r\nTcpPort=2\r\n");
    QTest::newRow("missing key after last non-blank line")
        << QByteArray("[Port]\r\nTcpPort=1\r\n\r\n\r\n[Maintenance]\r\nResSetting=1\r\n")
        << QByteArray("Port") << QByteArray("New") << QByteArray("v")
        << QByteArray("[Port]\r\nTcpPort=1\r\nNew=v\r\n\r\n\r\n[Maintenance]\r\nResSetting=1\r\n");
    QTest::newRow("missing key in empty section")
        << QByteArray("[Port]\r\n[Maintenance]\r\n") << QByteArray("Port") << QByteArray("TcpPort")
        << QByteArray("1") << QByteArray("[Port]\r\nTcpPort=1\r\n[Maintenance]\r\n");
    QTest::newRow("missing key, no final newline")
        << QByteArray("[Port]\r\nTcpPort=1") << QByteArray("Port") << QByteArray("New")
        << QByteArray("v") << QByteArray("[Port]\r\nTcpPort=1\r\nNew=v\r\n");
    QTest::newRow("replace, no final newline")
        << QByteArray("[Port]\nTcpPort=1") << QByteArray("Port") << QByteArray("TcpPort")
        << QByteArray("22") << QByteArray("[Port]\nTcpPort=22");
    QTest::newRow("missing section")
        << QByteArray("[Port]\r\nTcpPort=1\r\n") << QByteArray("Maintenance")
        << QByteArray("ResSetting") << QByteArray("0")
        << QByteArray("[Port]\r\nTcpPort=1\r\n\r\n[Maintenance]\r\n"
                      "ResSetting=0\r\n");
    QTest::newRow("missing section, no final newline")
        << QByteArray("[Port]\nTcpPort=1") << QByteArray("Maintenance") << QByteArray("ResSetting")
        << QByteArray("0") << QByteArray("[Port]\nTcpPort=1\n\n[Maintenance]\nResSetting=0\n");
    QTest::newRow("empty file") << QByteArray() << QByteArray("Port") << QByteArray("TcpPort")
                                << QByteArray("5000") << QByteArray("[Port]\r\nTcpPort=5000\r\n");
    QTest::newRow("duplicate sections: first")
        << QByteArray("[Port]\nA=1\n[Port]\nTcpPort=1\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray("2")
        << QByteArray("[Port]\nA=1\nTcpPort=2\n[Port]\nTcpPort=1\n");
    QTest::newRow("duplicate keys: first")
        << QByteArray("[Port]\nTcpPort=1\nTcpPort=3\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray("2") << QByteArray("[Port]\nTcpPort=2\nTcpPort=3\n");
    QTest::newRow("key before any section untouched")
        << QByteArray("TcpPort=1\n[Port]\n") << QByteArray("Port") << QByteArray("TcpPort")
        << QByteArray("2") << QByteArray("TcpPort=1\n[Port]\nTcpPort=2\n");
    QTest::newRow("comment not replaced")
        << QByteArray("[Port]\n;TcpPort=1\n") << QByteArray("Port") << QByteArray("TcpPort")
        << QByteArray("2") << QByteArray("[Port]\n;TcpPort=1\nTcpPort=2\n");
    QTest::newRow("odd bytes kept")
        << bytes("[Port]\r\nTcpPort=1\r\nJunk\0\xFF\xFE\r\n") << QByteArray("Port")
        << QByteArray("TcpPort") << QByteArray("2")
        << bytes("[Port]\r\nTcpPort=2\r\nJunk\0\xFF\xFE\r\n");
}

void tst_IniProfile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, after);

    const QString path = writeFile(before);
    QVERIFY(WriteProfileString(section, key, value, path));
    QCOMPARE(readAll(path), after);
    QCOMPARE(ReadProfileString(section, key, path), value);
}

void tst_IniProfile::writeCreatesFile()
{
    const QString path = m_dir.filePath(QStringLiteral("new.ini"));
    QVERIFY(WriteProfileString("Port", "TcpPort", "5000", path));
    QVERIFY(WriteProfileString("Maintenance", "ResSetting", "1", path));
    QCOMPARE(readAll(path),
             QByteArray("[Port]\r\nTcpPort=5000\r\n\r\n[Maintenance]\r\nResSetting=1\r\n"));
}

void tst_IniProfile::writeFailsWithoutFolder()
{
    const QString path = m_dir.filePath(QStringLiteral("missing/settings.ini"));
    QCOMPARE(WriteProfileString("Port", "TcpPort", "5000", path).failure, ErrorText::pathNotFound);
    QVERIFY(!QFile::exists(path));
}

void tst_IniProfile::writeFailsOnDirectory()
{
    const QString path = m_dir.filePath(QStringLiteral("folder.ini"));
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.ini")));
    QCOMPARE(WriteProfileString("Port", "TcpPort", "5000", path).failure, ErrorText::fileAccess);
    QVERIFY(QFileInfo(path).isDir());
}

void tst_IniProfile::failedWriteKeepsOldFile()
{
    // A file size limit below the new content makes the write itself fail part way.
    const QByteArray before = "[Port]\r\nTcpPort=1\r\n; " + QByteArray(200, 'x') + "\r\n";
    const QString path = writeFile(before);
    const QStringList entriesBefore = QDir(m_dir.path()).entryList(QDir::Files);

    rlimit previousLimit {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit smallLimit = previousLimit;
    smallLimit.rlim_cur = 64;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &smallLimit), 0);
    const WriteResult written = WriteProfileString("Port", "TcpPort", "5000", path);
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(written.failure, ErrorText::fileTooLarge);
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), entriesBefore);
}

QTEST_GUILESS_MAIN(tst_IniProfile)
#include "tst_iniprofile.moc"
