#include "lib/CustomReply.h"

#include <QtTest>

Q_DECLARE_METATYPE(CustomReplyText::Fault)

// The custom reply's text: what the dialog accepts and the settings file keeps.
class tst_CustomReply : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void tst_CustomReply::parse_data()
{
    using Fault = CustomReplyText::Fault;
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("position");

    const QByteArray stx("\x02\x41\x42\x03");
    QTest::newRow("pairs") << "02 41 42 03" << stx << Fault::None << -1;
    QTest::newRow("no blanks") << "02414203" << stx << Fault::None << -1;
    QTest::newRow("blanks, tabs, lines") << " 02  41\t42\r\n03 " << stx << Fault::None << -1;
    QTest::newRow("lower case") << "0a ff Be" << QByteArray("\x0A\xFF\xBE") << Fault::None << -1;
    QTest::newRow("empty") << "" << QByteArray() << Fault::None << -1;
    QTest::newRow("blanks only") << "  " << QByteArray() << Fault::None << -1;
    QTest::newRow("2048 bytes") << QString(2048, QLatin1Char('7')).repeated(2)
                                << QByteArray(2048, '\x77') << Fault::None << -1;
    QTest::newRow("odd count at the end") << "02 414" << QByteArray() << Fault::OddDigits << 5;
    QTest::newRow("digit alone between pairs")
        << "02 4 41" << QByteArray() << Fault::OddDigits << 3;
    QTest::newRow("blank inside a pair") << "0 2" << QByteArray() << Fault::OddDigits << 0;
    QTest::newRow("bad character") << "02 4G" << QByteArray() << Fault::BadCharacter << 4;
    QTest::newRow("prefix") << "0x02" << QByteArray() << Fault::BadCharacter << 1;
    QTest::newRow("full-width digit") << "０２" << QByteArray() << Fault::BadCharacter << 0;
    QTest::newRow("2049 bytes") << QStringLiteral("00 ").repeated(2048) + "FF" << QByteArray()
                                << Fault::TooLong << 3 * 2048;
}

void tst_CustomReply::parse()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(CustomReplyText::Fault, fault);
    QFETCH(int, position);

    const CustomReplyText parsed = ParseCustomReply(text);
    QCOMPARE(parsed.bytes, bytes);
    QCOMPARE(parsed.fault, fault);
    QCOMPARE(parsed.position, qsizetype(position));
    // The kept form reads back as the same reply.
    QCOMPARE(ParseCustomReply(FormatCustomReply(bytes)).bytes, bytes);
}

QTEST_GUILESS_MAIN(tst_CustomReply)
#include "tst_customreply.moc"
