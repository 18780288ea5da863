#include "lib/modUtility.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr qint64 MiB = 1048576;
const QString liveName = QStringLiteral("Kiv_TcpRcvLog.txt");
} // namespace

// Every file starts with a marker naming where it was created ("live", ".3"), so the test can
// follow each one through the renames. Sizes beyond the marker are sparse.
class tst_LogRotation : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void rotation_data();
    void rotation();
    void defaultsWrittenBack_data();
    void defaultsWrittenBack();
    void singleGenerationTwice();
    void refusedRename_data();
    void refusedRename();

private:
    QString path(const QString &suffix) const
    {
        return m_dir.path() + QLatin1Char('/') + liveName + suffix;
    }
    void createFile(const QString &suffix, qint64 size) const;
    // "<suffix>=<marker>" for every entry of the folder, sorted; folders as "<suffix>=folder".
    QStringList state() const;

    QTemporaryDir m_dir;
};

void tst_LogRotation::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir.path()));
}

void tst_LogRotation::createFile(const QString &suffix, qint64 size) const
{
    QFile file(path(suffix));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(suffix.isEmpty() ? "live" : suffix.toLatin1());
    QVERIFY(file.resize(size));
}

QStringList tst_LogRotation::state() const
{
    QStringList entries;
    const QFileInfoList infos
        = QDir(m_dir.path()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : infos) {
        const QString suffix = info.fileName().mid(liveName.size());
        QString marker = QStringLiteral("folder");
        if (info.isFile()) {
            QFile file(info.filePath());
            if (file.open(QIODevice::ReadOnly))
                marker = QString::fromLatin1(file.read(16)).section(QLatin1Char('\0'), 0, 0);
        }
        entries.append(suffix + QLatin1Char('=') + marker);
    }
    entries.sort();
    return entries;
}

void tst_LogRotation::rotation_data()
{
    QTest::addColumn<qint16>("sizeLimit");
    QTest::addColumn<qint16>("generations");
    QTest::addColumn<qint64>("liveSize"); // -1: no live file
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("expected");

    const QStringList all = {".1", ".2", ".3", ".4", ".5", ".6", ".7", ".8", ".9"};

    QTest::newRow("exactly the limit stays")
        << qint16(3) << qint16(10) << 3 * MiB << QStringList {".1"}
        << QStringList {"=live", ".1=.1"};
    QTest::newRow("one byte over rotates")
        << qint16(3) << qint16(10) << 3 * MiB + 1 << QStringList {".1"}
        << QStringList {".1=live", ".2=.1"};
    QTest::newRow("limit 0 means 3 MiB: at it")
        << qint16(0) << qint16(10) << 3 * MiB << QStringList {} << QStringList {"=live"};
    QTest::newRow("limit -1 means 3 MiB: over")
        << qint16(-1) << qint16(10) << 3 * MiB + 1 << QStringList {} << QStringList {".1=live"};
    QTest::newRow("count 0 means 10") << qint16(1) << qint16(0) << MiB + 1 << all
                                      << QStringList {".1=live", ".2=.1", ".3=.2", ".4=.3", ".5=.4",
                                                      ".6=.5",   ".7=.6", ".8=.7", ".9=.8"};
    QTest::newRow("full set of 10") << qint16(1) << qint16(10) << MiB + 1 << all
                                    << QStringList {".1=live", ".2=.1", ".3=.2", ".4=.3", ".5=.4",
                                                    ".6=.5",   ".7=.6", ".8=.7", ".9=.8"};
    QTest::newRow("2 generations")
        << qint16(1) << qint16(2) << MiB + 1 << QStringList {".1"} << QStringList {".1=live"};
    QTest::newRow("1 generation replaces .1")
        << qint16(1) << qint16(1) << MiB + 1 << QStringList {".1", ".2"}
        << QStringList {".1=live", ".2=.2"};
    QTest::newRow("gaps move up") << qint16(1) << qint16(10) << MiB + 1
                                  << QStringList {".1", ".2", ".4"}
                                  << QStringList {".1=live", ".2=.1", ".3=.2", ".5=.4"};
    QTest::newRow("numbers from the count on untouched")
        << qint16(1) << qint16(3) << MiB + 1 << QStringList {".1", ".2", ".3", ".7"}
        << QStringList {".1=live", ".2=.1", ".3=.3", ".7=.7"};
    QTest::newRow("2048 MiB, at it")
        << qint16(2048) << qint16(10) << 2048 * MiB << QStringList {} << QStringList {"=live"};
    QTest::newRow("2048 MiB, over") << qint16(2048) << qint16(10) << 2048 * MiB + 1
                                    << QStringList {} << QStringList {".1=live"};
    QTest::newRow("32767 MiB, small live file")
        << qint16(32767) << qint16(10) << qint64(10) << QStringList {} << QStringList {"=live"};
    QTest::newRow("32767 MiB, over") << qint16(32767) << qint16(10) << 32767 * MiB + 1
                                     << QStringList {".1"} << QStringList {".1=live", ".2=.1"};
    QTest::newRow("no live file") << qint16(1) << qint16(10) << qint64(-1)
                                  << QStringList {".1", ".2"} << QStringList {".1=.1", ".2=.2"};
}

void tst_LogRotation::rotation()
{
    QFETCH(qint16, sizeLimit);
    QFETCH(qint16, generations);
    QFETCH(qint64, liveSize);
    QFETCH(QStringList, present);
    QFETCH(QStringList, expected);

    if (liveSize >= 0)
        createFile(QString(), liveSize);
    for (const QString &suffix : present)
        createFile(suffix, 100);

    try {
        RotateLog(path(QString()), sizeLimit, generations);
    } catch (const RuntimeError &error) {
        QFAIL(qPrintable(error.description()));
    }

    expected.sort();
    QCOMPARE(state(), expected);
}

void tst_LogRotation::defaultsWrittenBack_data()
{
    QTest::addColumn<qint16>("sizeLimit");
    QTest::addColumn<qint16>("generations");
    QTest::addColumn<qint16>("sizeLimitAfter");
    QTest::addColumn<qint16>("generationsAfter");

    QTest::newRow("both 0") << qint16(0) << qint16(0) << qint16(3) << qint16(10);
    QTest::newRow("negative") << qint16(-1) << qint16(-1) << qint16(3) << qint16(10);
    QTest::newRow("valid kept") << qint16(1) << qint16(1) << qint16(1) << qint16(1);
    QTest::newRow("largest kept") << qint16(32767) << qint16(32767) << qint16(32767)
                                  << qint16(32767);
}

void tst_LogRotation::defaultsWrittenBack()
{
    QFETCH(qint16, sizeLimit);
    QFETCH(qint16, generations);
    QFETCH(qint16, sizeLimitAfter);
    QFETCH(qint16, generationsAfter);

    // Written back even when there is no live file to look at.
    RotateLog(path(QString()), sizeLimit, generations);
    QCOMPARE(sizeLimit, sizeLimitAfter);
    QCOMPARE(generations, generationsAfter);
    QCOMPARE(state(), QStringList());
}

void tst_LogRotation::singleGenerationTwice()
{
    qint16 sizeLimit = 1;
    qint16 generations = 1;

    createFile(QString(), MiB + 1);
    RotateLog(path(QString()), sizeLimit, generations);
    QCOMPARE(state(), QStringList {".1=live"});

    // The rotated file is now .1; a second live file must replace it without an error.
    QFile file(path(QString()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("second");
    QVERIFY(file.resize(MiB + 1));
    file.close();
    try {
        RotateLog(path(QString()), sizeLimit, generations);
    } catch (const RuntimeError &error) {
        QFAIL(qPrintable(error.description()));
    }
    QCOMPARE(state(), QStringList {".1=second"});
}

void tst_LogRotation::refusedRename_data()
{
    QTest::addColumn<qint16>("generations");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("generation shift blocked")
        << qint16(10) << QStringList {".1", ".2"} << QStringLiteral(".3")
        << QStringList {"=live", ".1=.1", ".2=.2", ".3=folder"};
    QTest::newRow("stops where it failed")
        << qint16(10) << QStringList {".1", ".3"} << QStringLiteral(".2")
        << QStringList {"=live", ".1=.1", ".2=folder", ".4=.3"};
    QTest::newRow("live file blocked") << qint16(2) << QStringList {} << QStringLiteral(".1")
                                       << QStringList {"=live", ".1=folder"};
    QTest::newRow("live file blocked, 1 generation")
        << qint16(1) << QStringList {} << QStringLiteral(".1")
        << QStringList {"=live", ".1=folder"};
}

void tst_LogRotation::refusedRename()
{
    QFETCH(qint16, generations);
    QFETCH(QStringList, present);
    QFETCH(QString, folder);
    QFETCH(QStringList, expected);

    createFile(QString(), MiB + 1);
    for (const QString &suffix : present)
        createFile(suffix, 100);
    QVERIFY(QDir().mkdir(path(folder)));

    qint16 sizeLimit = 1;
    QString description;
    try {
        RotateLog(path(QString()), sizeLimit, generations);
    } catch (const RuntimeError &error) {
        description = error.description();
    }
    QCOMPARE(description, ErrorText::fileExists);
    expected.sort();
    QCOMPARE(state(), expected);
}

QTEST_GUILESS_MAIN(tst_LogRotation)
#include "tst_logrotation.moc"
