#include "lib/ResponseRules.h"

#include <QRandomGenerator>
#include <QtTest>

Q_DECLARE_METATYPE(RuleFault::Field)
Q_DECLARE_METATYPE(HexTextFault)

namespace {
ResponseRule Rule(RuleKind kind, const QString &pattern, const QString &reply, bool on = true)
{
    return {on, kind, pattern, reply};
}

// The plain reference: every offset the kind allows, every byte compared under its mask.
bool ReferenceMatches(RuleKind kind, const QByteArray &pattern, const QByteArray &wild,
                      const QByteArray &block)
{
    const auto at = [&](qsizetype offset) {
        for (qsizetype index = 0; index < pattern.size(); ++index) {
            if (!wild.at(index) && block.at(offset + index) != pattern.at(index))
                return false;
        }
        return true;
    };
    const qsizetype last = block.size() - pattern.size();
    if (last < 0)
        return false;
    switch (kind) {
    case RuleKind::Equals:
        return last == 0 && at(0);
    case RuleKind::Starts:
        return at(0);
    case RuleKind::Ends:
        return at(last);
    case RuleKind::Contains:
        for (qsizetype offset = 0; offset <= last; ++offset) {
            if (at(offset))
                return true;
        }
    }
    return false;
}
} // namespace

// The rules on their own: which rule answers a block, with which bytes, and what a rule's texts
// may not hold.
class tst_ResponseRules : public QObject
{
    Q_OBJECT

private slots:
    void answer_data();
    void answer();
    void matchesAsTheReferenceDoes();
    void fault_data();
    void fault();
    void faultyRuleLeavesNoRules();
};

void tst_ResponseRules::answer_data()
{
    QTest::addColumn<QList<ResponseRule>>("rules");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("rule");
    QTest::addColumn<QByteArray>("answer");

    const auto row
        = [](const char *name, const ResponseRule &rule, const QByteArray &block, bool hit) {
              QTest::newRow(name) << QList<ResponseRule> {rule} << block << (hit ? 0 : -1)
                                  << (hit ? QByteArray("\x06") : QByteArray());
          };
    const ResponseRule equals = Rule(RuleKind::Equals, "02 41 03", "06");
    row("equals: hit", equals, "\x02\x41\x03", true);
    row("equals: longer block", equals, QByteArray("\x02\x41\x03\x03"), false);
    row("equals: other byte", equals, "\x02\x42\x03", false);
    row("equals: ??", Rule(RuleKind::Equals, "02 ?? 03", "06"), "\x02\xFF\x03", true);
    row("equals: pattern longer than block", equals, "\x02\x41", false);
    const ResponseRule starts = Rule(RuleKind::Starts, "02 30", "06");
    row("starts: hit", starts, "\x02\x30\x31", true);
    row("starts: miss", starts, "\x03\x02\x30", false);
    row("starts: ??", Rule(RuleKind::Starts, "?? 30", "06"), "\x7F\x30\x31", true);
    row("starts: pattern longer than block", starts, "\x02", false);
    const ResponseRule ends = Rule(RuleKind::Ends, "0d 0A", "06");
    row("ends: hit", ends, "OK\r\n", true);
    row("ends: miss", ends, "OK\n\r", false);
    row("ends: ??", Rule(RuleKind::Ends, "?? 0A", "06"), "OK\r\n", true);
    row("ends: pattern longer than block", ends, "\n", false);
    const ResponseRule contains = Rule(RuleKind::Contains, "41 42", "06");
    row("contains: hit", contains, "xxABxx", true);
    row("contains: miss", contains, "xxAxBx", false);
    row("contains: ?? after the first find", Rule(RuleKind::Contains, "?? 41 ?? 43", "06"),
        "AxAyCx", true);
    row("contains: ?? only", Rule(RuleKind::Contains, "?? ??", "06"), "ab", true);
    row("contains: ?? only, block too short", Rule(RuleKind::Contains, "?? ??", "06"), "a", false);
    row("contains: pattern longer than block", contains, "A", false);

    // A transaction number repeated: bytes 1 and 2 of the request.
    QTest::newRow("copies") << QList<ResponseRule> {Rule(RuleKind::Starts, "02",
                                                         "02 [1-2] 06 [0] 03")}
                            << QByteArray("\x02\x10\x20\x31") << 0
                            << QByteArray("\x02\x10\x20\x06\x02\x03");
    QTest::newRow("copy past the block's end")
        << QList<ResponseRule> {Rule(RuleKind::Starts, "02", "06 [3]")}
        << QByteArray("\x02\x30\x31") << -1 << QByteArray();
    QTest::newRow("copy of the last byte")
        << QList<ResponseRule> {Rule(RuleKind::Starts, "02", "06 [3]")}
        << QByteArray("\x02\x30\x31\x32") << 0 << QByteArray("\x06\x32");
    const QList<ResponseRule> two {Rule(RuleKind::Starts, "02", "01"),
                                   Rule(RuleKind::Starts, "02 30", "02")};
    QTest::newRow("first of two matching wins")
        << two << QByteArray("\x02\x30") << 0 << QByteArray("\x01");
    QTest::newRow("second when the first misses")
        << QList<ResponseRule> {two.at(1), two.at(0)} << QByteArray("\x02\x31") << 1
        << QByteArray("\x01");
    QTest::newRow("rule off") << QList<ResponseRule> {Rule(RuleKind::Starts, "02", "01", false),
                                                      two.at(1)}
                              << QByteArray("\x02\x30") << 1 << QByteArray("\x02");
    QTest::newRow("only rule off")
        << QList<ResponseRule> {Rule(RuleKind::Starts, "02", "01", false)} << QByteArray("\x02\x30")
        << -1 << QByteArray();
    QTest::newRow("no rules") << QList<ResponseRule> {} << QByteArray("\x02") << -1 << QByteArray();
}

void tst_ResponseRules::answer()
{
    QFETCH(QList<ResponseRule>, rules);
    QFETCH(QByteArray, block);
    QFETCH(int, rule);
    QFETCH(QByteArray, answer);

    RuleMatcher matcher;
    QVERIFY(!matcher.setRules(rules).isFault());
    const RuleMatcher::Answer answered = matcher.answer(block);
    QCOMPARE(answered.rule, rule);
    QCOMPARE(answered.bytes, answer);
}

// Short patterns over two byte values give hits and near misses at every offset.
void tst_ResponseRules::matchesAsTheReferenceDoes()
{
    QRandomGenerator random(27);
    const auto bytes = [&](int count, QByteArray *wild) {
        QByteArray result;
        for (int index = 0; index < count; ++index) {
            const bool any = wild && random.bounded(4) == 0;
            result.append(any ? '\0' : char(random.bounded(2) ? 0xA5 : 0x00));
            if (wild)
                wild->append(char(any));
        }
        return result;
    };
    for (int round = 0; round < 3000; ++round) {
        const auto kind = RuleKind(random.bounded(4));
        QByteArray wild;
        const QByteArray pattern = bytes(1 + random.bounded(5), &wild);
        const QByteArray block = bytes(random.bounded(9), nullptr);
        QString text;
        for (qsizetype index = 0; index < pattern.size(); ++index)
            text += wild.at(index) ? QStringLiteral("?? ")
                                   : QString::fromLatin1(pattern.mid(index, 1).toHex() + ' ');
        RuleMatcher matcher;
        QVERIFY(!matcher.setRules({Rule(kind, text, "06")}).isFault());
        QVERIFY2(matcher.answer(block).rule
                     == (ReferenceMatches(kind, pattern, wild, block) ? 0 : -1),
                 qPrintable(RuleKindWord(kind) + u' ' + text + u'/'
                            + QString::fromLatin1(block.toHex(' '))));
    }
}

void tst_ResponseRules::fault_data()
{
    using Field = RuleFault::Field;
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<Field>("field");
    QTest::addColumn<HexTextFault>("fault");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");

    QTest::newRow("longest pattern and reply") << QStringLiteral("?? ").repeated(2048) << "[0-2047]"
                                               << Field::Pattern << HexTextFault::None << -1 << "";
    QTest::newRow("bad character")
        << "02 4G"
        << "06" << Field::Pattern << HexTextFault::BadCharacter << 4
        << "ルール 1 の受信パターンの5文字目「G」は16進数ではありません。";
    QTest::newRow("lone ?") << "02 ?"
                            << "06" << Field::Pattern << HexTextFault::BadWildcard << 3
                            << "ルール 1 の受信パターンの4文字目の「?」は、任意の1バイトなら"
                               "「??」と書いてください。";
    QTest::newRow("digit before ??") << "0??"
                                     << "06" << Field::Pattern << HexTextFault::OddDigits << 0
                                     << "ルール 1 の受信パターンの1文字目の桁が2桁の組になっていま"
                                        "せん。16進数は2桁ずつ入力してください。";
    QTest::newRow("empty pattern") << " "
                                   << "06" << Field::Pattern << HexTextFault::Empty << 0
                                   << "ルール 1 の受信パターンがありません。1バイト以上入力して"
                                      "ください。";
    QTest::newRow("copy in a pattern") << "[1]"
                                       << "06" << Field::Pattern << HexTextFault::BadCharacter << 0
                                       << "ルール 1 の受信パターンの1文字目「[」は16進数ではあり"
                                          "ません。";
    QTest::newRow("2049-byte pattern")
        << QStringLiteral("??").repeated(2049) << "06" << Field::Pattern << HexTextFault::TooLong
        << 4096
        << "ルール 1 の受信パターンは2048バイトまでです。4097文字目から後を削ってください。";
    QTest::newRow("?? in a reply") << "02"
                                   << "??" << Field::Reply << HexTextFault::BadCharacter << 0
                                   << "ルール 1 の応答データの1文字目「?」は16進数ではありません。";
    const QString badCopy = QStringLiteral("ルール 1 の応答データの4文字目の「[」は、受信データの"
                                           "コピーなら[3]や[2-5]のように番号を書いてください。");
    QTest::newRow("unclosed copy")
        << "02"
        << "06 [1" << Field::Reply << HexTextFault::BadCopy << 3 << badCopy;
    QTest::newRow("copy without a number")
        << "02"
        << "06 [x]" << Field::Reply << HexTextFault::BadCopy << 3 << badCopy;
    QTest::newRow("copy without its end")
        << "02"
        << "06 [1-]" << Field::Reply << HexTextFault::BadCopy << 3 << badCopy;
    QTest::newRow("copy of eight digits")
        << "02"
        << "06 [12345678]" << Field::Reply << HexTextFault::BadCopy << 3 << badCopy;
    QTest::newRow("reversed copy") << "02"
                                   << "06 [3-1]" << Field::Reply << HexTextFault::ReversedCopy << 3
                                   << "ルール 1 の応答データの4文字目のコピーは、始めの番号が終わ"
                                      "りの番号より大きくなっています。";
    QTest::newRow("copy over 2048 bytes")
        << "02"
        << "06 [0-2047]" << Field::Reply << HexTextFault::TooLong << 3
        << "ルール 1 の応答データは2048バイトまでです。4文字目から後を削ってください。";
    QTest::newRow("empty reply")
        << "02"
        << "" << Field::Reply << HexTextFault::Empty << 0
        << "ルール 1 の応答データがありません。1バイト以上入力してください。";
}

void tst_ResponseRules::fault()
{
    QFETCH(QString, pattern);
    QFETCH(QString, reply);
    QFETCH(RuleFault::Field, field);
    QFETCH(HexTextFault, fault);
    QFETCH(int, position);
    QFETCH(QString, text);

    const ResponseRule rule = Rule(RuleKind::Contains, pattern, reply);
    CompiledRule compiled;
    const RuleFault found = compiled.compile(rule);
    QCOMPARE(found.fault, fault);
    QCOMPARE(found.position, qsizetype(position));
    if (!found.isFault())
        return;
    QCOMPARE(found.field, field);
    QCOMPARE(DescribeRuleFault(QStringLiteral("ルール 1 の"), found, rule), text);
}

void tst_ResponseRules::faultyRuleLeavesNoRules()
{
    RuleMatcher matcher;
    QVERIFY(!matcher.setRules({Rule(RuleKind::Starts, "02", "06")}).isFault());
    int faulty = -1;
    const RuleFault fault = matcher.setRules(
        {Rule(RuleKind::Starts, "02", "06"), Rule(RuleKind::Starts, "02", "0")}, &faulty);
    QCOMPARE(fault.fault, HexTextFault::OddDigits);
    QCOMPARE(faulty, 1);
    QVERIFY(matcher.isEmpty());
    QCOMPARE(matcher.answer("\x02").rule, -1);
}

QTEST_GUILESS_MAIN(tst_ResponseRules)
#include "tst_responserules.moc"
