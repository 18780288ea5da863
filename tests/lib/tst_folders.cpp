#include "app/modTcpRecv.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"
#include "platform/ProgramFolder.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
bool FailingSetDefine()
{
    return false;
}
} // namespace

class tst_Folders : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void ensureFolder_data();
    void ensureFolder();
    void clearFolder_data();
    void clearFolder();

    void initApplicationFirstStart();
    void initApplicationEmptiesTemp();
    void linkedTempIsLeftAlone_data();
    void linkedTempIsLeftAlone();
    void initApplicationFails_data();
    void initApplicationFails();

private:
    QString path(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }
    void createFile(const QString &name) const;
    // Every entry below the temporary folder, relative, folders ending in "/".
    QStringList tree() const;

    QTemporaryDir m_dir;
};

void tst_Folders::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir.path()));
}

void tst_Folders::cleanup()
{
    SetProgramFolder(QString());
}

void tst_Folders::createFile(const QString &name) const
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(name.toUtf8());
}

QStringList tst_Folders::tree() const
{
    QStringList entries;
    QDirIterator it(m_dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString relative = QDir(m_dir.path()).relativeFilePath(it.filePath());
        entries.append(it.fileInfo().isDir() ? relative + QLatin1Char('/') : relative);
    }
    entries.sort();
    return entries;
}

void tst_Folders::ensureFolder_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("created") << QStringList {} << QStringList {} << QStringLiteral("Log")
                             << QString() << QStringList {"Log/"};
    QTest::newRow("folder kept with its content")
        << QStringList {"Log"} << QStringList {"Log/a.txt"} << QStringLiteral("Log") << QString()
        << QStringList {"Log/", "Log/a.txt"};
    QTest::newRow("file of that name left alone")
        << QStringList {} << QStringList {"Log"} << QStringLiteral("Log") << QString()
        << QStringList {"Log"};
    QTest::newRow("one level only") << QStringList {} << QStringList {} << QStringLiteral("a/Log")
                                    << ErrorText::pathNotFound << QStringList {};
}

void tst_Folders::ensureFolder()
{
    QFETCH(QStringList, folders);
    QFETCH(QStringList, files);
    QFETCH(QString, target);
    QFETCH(QString, error);
    QFETCH(QStringList, expected);

    for (const QString &folder : folders)
        QVERIFY(QDir().mkdir(path(folder)));
    for (const QString &file : files)
        createFile(file);

    QString description;
    try {
        EnsureFolder(path(target));
    } catch (const RuntimeError &thrown) {
        description = thrown.description();
    }
    QCOMPARE(description, error);
    QCOMPARE(tree(), expected);
    if (!expected.isEmpty() && files.isEmpty())
        QVERIFY(QFileInfo(path(target)).isDir());
}

void tst_Folders::clearFolder_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("keepFolder");
    QTest::addColumn<QStringList>("expected");

    const QStringList someFiles = {"Temp/a.txt", "Temp/noext", "Temp/.hidden"};
    QTest::newRow("files deleted, folder kept")
        << QStringList {"Temp"} << someFiles << 1 << QStringList {"Temp/"};
    QTest::newRow("sub-folders untouched")
        << QStringList {"Temp", "Temp/sub"} << someFiles + QStringList {"Temp/sub/b.txt"} << 1
        << QStringList {"Temp/", "Temp/sub/", "Temp/sub/b.txt"};
    QTest::newRow("files deleted, folder removed")
        << QStringList {"Temp"} << someFiles << 0 << QStringList {};
    QTest::newRow("empty folder removed")
        << QStringList {"Temp"} << QStringList {} << 2 << QStringList {};
    QTest::newRow("folder with sub-folder stays")
        << QStringList {"Temp", "Temp/sub"} << someFiles << 0 << QStringList {"Temp/", "Temp/sub/"};
    QTest::newRow("missing folder") << QStringList {} << QStringList {} << 1 << QStringList {};
    QTest::newRow("missing folder, not kept")
        << QStringList {} << QStringList {} << 0 << QStringList {};
}

void tst_Folders::clearFolder()
{
    QFETCH(QStringList, folders);
    QFETCH(QStringList, files);
    QFETCH(int, keepFolder);
    QFETCH(QStringList, expected);

    for (const QString &folder : folders)
        QVERIFY(QDir().mkdir(path(folder)));
    for (const QString &file : files)
        createFile(file);

    QVERIFY(ClearFolder(path(QStringLiteral("Temp")), quint8(keepFolder)));
    QCOMPARE(tree(), expected);
}

void tst_Folders::initApplicationFirstStart()
{
    SetProgramFolder(m_dir.path());
    QVERIFY(InitApplication(1, SetDefine));

    QCOMPARE(tree(), (QStringList {"Config/", "Log/", "Temp/"}));
    QCOMPARE(intToolIndex, qint16(1));
    QCOMPARE(strLogFile[1], path(QStringLiteral("Log/Kiv_TcpRcvLog.txt")));
    QCOMPARE(strSettingFile[1], path(QStringLiteral("Config/Kiv_TcpRecvSetting.ini")));
    QVERIFY(!strHostName.isEmpty());

    // A second start finds everything in place and leaves the log alone.
    WriteLog(1, QStringLiteral("first"));
    QVERIFY(InitApplication(1, SetDefine));
    QCOMPARE(tree(), (QStringList {"Config/", "Log/", "Log/Kiv_TcpRcvLog.txt", "Temp/"}));
}

void tst_Folders::initApplicationEmptiesTemp()
{
    for (const char *folder : {"Config", "Temp", "Temp/keep"})
        QVERIFY(QDir().mkdir(path(QLatin1String(folder))));
    for (const char *file : {"Config/Kiv_TcpRecvSetting.ini", "Temp/scratch.bin", "Temp/keep/x"})
        createFile(QLatin1String(file));

    SetProgramFolder(m_dir.path());
    QVERIFY(InitApplication(1, SetDefine));

    QCOMPARE(tree(),
             (QStringList {"Config/", "Config/Kiv_TcpRecvSetting.ini", "Log/", "Temp/",
                           "Temp/keep/", "Temp/keep/x"}));
}

void tst_Folders::linkedTempIsLeftAlone_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("Temp linked to a folder elsewhere") << QStringLiteral("../elsewhere");
    QTest::newRow("Temp linked to the program folder") << QStringLiteral(".");
}

void tst_Folders::linkedTempIsLeftAlone()
{
    QFETCH(QString, target);
    for (const char *folder : {"bin", "elsewhere"})
        QVERIFY(QDir().mkdir(path(QLatin1String(folder))));
    for (const char *file : {"bin/parvel", "elsewhere/data.txt", "elsewhere/.hidden"})
        createFile(QLatin1String(file));
    QVERIFY(QFile::link(target, path(QStringLiteral("bin/Temp"))));

    SetProgramFolder(path(QStringLiteral("bin")));
    QVERIFY(InitApplication(1, SetDefine));
    for (const char *file : {"bin/parvel", "elsewhere/data.txt", "elsewhere/.hidden"})
        QVERIFY2(QFile::exists(path(QLatin1String(file))), file);
    QVERIFY(QFileInfo(path(QStringLiteral("bin/Temp"))).isSymLink());

    QFile log(strLogFile[1]);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray lines = log.readAll();
    QCOMPARE(lines.count('\n'), 1);
    QVERIFY2(lines.endsWith(" Tempフォルダがプログラムフォルダ内の実フォルダではないため、"
                            "空にしませんでした。\r\n"),
             lines.constData());
}

void tst_Folders::initApplicationFails_data()
{
    QTest::addColumn<bool>("setDefineFails");
    QTest::addColumn<bool>("programFolderMissing");

    QTest::newRow("SetDefine fails") << true << false;
    QTest::newRow("program folder missing") << false << true;
}

void tst_Folders::initApplicationFails()
{
    QFETCH(bool, setDefineFails);
    QFETCH(bool, programFolderMissing);

    const QString programFolder = path(QStringLiteral("bin"));
    if (!programFolderMissing)
        QVERIFY(QDir().mkdir(programFolder));
    SetProgramFolder(programFolder);

    QVERIFY(!InitApplication(7, setDefineFails ? FailingSetDefine : SetDefine));
    QCOMPARE(intToolIndex, qint16(7));
    QCOMPARE(tree(), programFolderMissing ? QStringList {} : QStringList {"bin/"});
}

QTEST_GUILESS_MAIN(tst_Folders)
#include "tst_folders.moc"
