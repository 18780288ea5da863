#include "lib/ResponseRulesFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The rules file: what is read from each kind of line, and that a written file reads back.
class tst_ResponseRulesFile : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void missingFileHasNoRules();
    void unreadableFileIsReported();
    void writtenRulesReadBack();
    void failedWriteSaysWhy();

private:
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    void writeFile(const QString &file, const QByteArray &content);

    QTemporaryDir m_dir;
};

void tst_ResponseRulesFile::writeFile(const QString &file, const QByteArray &content)
{
    QFile output(file);
    QVERIFY(output.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(output.write(content), content.size());
}

void tst_ResponseRulesFile::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("rules"); // as FormatRuleLine writes them
    QTest::addColumn<QStringList>("log");

    QTest::newRow("valid lines, comments, blanks, CR LF, byte-order mark")
        << QByteArray("\xEF\xBB\xBF# status\r\non starts 02 30 31 ?? -> 02 06 [3] 03\r\n\r\n"
                      "  OFF Contains 0d0a->06\n\t# not a rule\nON ends ff -> [0-1]")
        << QStringList {"on starts 02 30 31 ?? -> 02 06 [3] 03", "off contains 0D 0A -> 06",
                        "on ends FF -> [0-1]"}
        << QStringList();
    const auto bad = [](const char *name, const QByteArray &line, const QString &reason) {
        QTest::newRow(name) << "on equals 05 -> 06\n# comment\n" + line + "\non starts 02 -> 15\n"
                            << QStringList {"on equals 05 -> 06", "on starts 02 -> 15"}
                            << QStringList {"応答ルールファイルの3行目を読み飛ばしました。"
                                            + reason};
    };
    bad("neither on nor off", "yes equals 05 -> 06", "行の始めが on でも off でもありません。");
    bad("unknown kind", "on equal 05 -> 06",
        "条件「equal」は equals, starts, ends, contains のどれでもありません。");
    bad("kind missing", "on", "条件「」は equals, starts, ends, contains のどれでもありません。");
    bad("no arrow", "on equals 05 06", "受信パターンと応答データの間に「->」がありません。");
    bad("bad pattern", "on equals 05 0G -> 06",
        "受信パターンの5文字目「G」は16進数ではありません。");
    bad("no pattern", "on equals -> 06", "受信パターンがありません。1バイト以上入力してください。");
    bad("bad reply", "on equals 05 -> 06 [2",
        "応答データの4文字目の「[」は、受信データのコピーなら"
        "[3]や[2-5]のように番号を書いてください。");
    bad("second arrow", "on equals 05 -> 06 -> 07",
        "応答データの4文字目「-」は16進数ではありません。");

    QByteArray many;
    QStringList kept;
    for (int index = 0; index < 65; ++index) {
        const QString line = QStringLiteral("on equals %1 -> 06")
                                 .arg(QString::number(index, 16).toUpper().rightJustified(2, u'0'));
        many += line.toUtf8() + '\n';
        if (index < 64)
            kept.append(line);
    }
    QTest::newRow("65 rules") << many << kept
                              << QStringList {"応答ルールファイルの65行目を読み飛ばしました。"
                                              "ルールは64件までです。"};
}

void tst_ResponseRulesFile::read()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, rules);
    QFETCH(QStringList, log);

    const QString file = path("rules.txt");
    writeFile(file, content);
    const ResponseRulesRead read = ReadResponseRules(file);
    QStringList lines;
    for (const ResponseRule &rule : read.rules)
        lines.append(FormatRuleLine(rule));
    QCOMPARE(lines, rules);
    QCOMPARE(read.logLines(), log);
}

void tst_ResponseRulesFile::missingFileHasNoRules()
{
    const ResponseRulesRead read = ReadResponseRules(path("none.txt"));
    QVERIFY(read.rules.isEmpty());
    QVERIFY(read.logLines().isEmpty());
}

void tst_ResponseRulesFile::unreadableFileIsReported()
{
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.txt")));
    const ResponseRulesRead read = ReadResponseRules(path("folder.txt"));
    QVERIFY(read.rules.isEmpty());
    QCOMPARE(read.logLines(),
             QStringList {"応答ルールファイルを読めませんでした。通常のファイルではありません。"});
}

void tst_ResponseRulesFile::writtenRulesReadBack()
{
    const QList<ResponseRule> rules {{true, RuleKind::Starts, "02 30\n31 ??", "02 06 [3] 03"},
                                     {false, RuleKind::Contains, "0d0a", "[0-1]06"}};
    const QString file = path("written.txt");
    writeFile(file, "old content\n");
    QCOMPARE(WriteResponseRules(file, rules), QString());
    const ResponseRulesRead read = ReadResponseRules(file);
    QVERIFY(read.skipped.isEmpty());
    QCOMPARE(read.rules,
             (QList<ResponseRule> {{true, RuleKind::Starts, "02 30 31 ??", "02 06 [3] 03"},
                                   {false, RuleKind::Contains, "0D 0A", "[0-1] 06"}}));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter(QStringLiteral("written")),
             QStringList {"written.txt"});
}

void tst_ResponseRulesFile::failedWriteSaysWhy()
{
    const QString file = path("gone/rules.txt");
    QVERIFY(!WriteResponseRules(file, {{true, RuleKind::Equals, "05", "06"}}).isEmpty());
    QVERIFY(!QFile::exists(file));
}

QTEST_GUILESS_MAIN(tst_ResponseRulesFile)
#include "tst_responserulesfile.moc"
