#include "lib/modGeneralLib.h"
#include "platform/RuntimeError.h"

#include <QtTest>

#include <functional>

class tst_Numeric : public QObject
{
    Q_OBJECT

private slots:
    void isNumeric_data();
    void isNumeric();
    void convert_data();
    void convert();
};

void tst_Numeric::isNumeric_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");

    const char *const accepted[]
        = {"0",   "5000",  " 5000 ", "\t5\t", "+5",   "-5",     "5.",    ".5",
           "-.5", "+5.25", "00012",  "1e10",  "1E+3", "2.5e-3", "1e400", "65535.4"};
    const char *const refused[]
        = {"",    " ",     "+",     "-",    ".",     "+.",       "1e", "1e+", "e5",
           ".e5", "&H10",  "&O17",  "0x10", "1,000", "abc",      "5a", "5 5", "--5",
           "+-5", "1e5.5", "1.2.3", "inf",  "nan",   "Infinity", "$5", "5\n"};
    for (const char *text : accepted)
        QTest::addRow("accepts '%s'", text) << QString::fromLatin1(text) << true;
    for (const char *text : refused)
        QTest::addRow("refuses '%s'", text) << QString::fromLatin1(text) << false;
    QTest::newRow("refuses full-width digits") << QStringLiteral("１２") << false;
    QTest::newRow("refuses Arabic-Indic digits") << QStringLiteral("\u0661\u0662") << false;
}

void tst_Numeric::isNumeric()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);

    QCOMPARE(IsNumeric(text), numeric);
}

void tst_Numeric::convert_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("expected");
    QTest::addColumn<QString>("error"); // empty when the conversion succeeds

    const QString none;
    const QString overflow = ErrorText::overflow;
    const QString mismatch = ErrorText::typeMismatch;
    const struct
    {
        int width;
        const char *text;
        qint32 expected;
        const QString &error;
    } rows[] = {
        {32, "5000", 5000, none},
        {32, " 5000 ", 5000, none},
        {32, "2.5", 2, none},
        {32, "3.5", 4, none},
        {32, "0.5", 0, none},
        {32, "1.5", 2, none},
        {32, "-2.5", -2, none},
        {32, "-3.5", -4, none},
        {32, "2.6", 3, none},
        {32, "-0.4", 0, none},
        {32, "65535.4", 65535, none},
        {32, "65535.5", 65536, none},
        {32, "1e3", 1000, none},
        {32, "1e-400", 0, none},
        {32, "2147483647", 2147483647, none},
        {32, "2147483646.5", 2147483646, none},
        {32, "-2147483648", -2147483647 - 1, none},
        {32, "-2147483648.5", -2147483647 - 1, none},
        {32, "2147483648", 0, overflow},
        {32, "2147483647.5", 0, overflow},
        {32, "-2147483649", 0, overflow},
        {32, "1e10", 0, overflow},
        {32, "1e400", 0, overflow},
        {32, "-1e400", 0, overflow},
        {32, "&H10", 0, mismatch},
        {32, "1,000", 0, mismatch},
        {32, "abc", 0, mismatch},
        {32, "", 0, mismatch},
        {16, "32767", 32767, none},
        {16, "-32768", -32768, none},
        {16, "32766.5", 32766, none},
        {16, "-32768.5", -32768, none},
        {16, "2.5", 2, none},
        {16, "3.5", 4, none},
        {16, "32768", 0, overflow},
        {16, "32767.5", 0, overflow},
        {16, "-32769", 0, overflow},
        {16, "65535", 0, overflow},
        {16, "1e10", 0, overflow},
        {16, "abc", 0, mismatch},
    };
    for (const auto &row : rows)
        QTest::addRow("%s%d '%s'", row.width == 32 ? "CLng" : "CInt", row.width, row.text)
            << row.width << QString::fromLatin1(row.text) << row.expected << row.error;
}

void tst_Numeric::convert()
{
    QFETCH(int, width);
    QFETCH(QString, text);
    QFETCH(qint32, expected);
    QFETCH(QString, error);

    const std::function<qint32()> conversion = width == 32
        ? std::function<qint32()>([&] { return CLng(text); })
        : std::function<qint32()>([&] { return qint32(CInt(text)); });
    QString thrown;
    qint32 result = 0;
    try {
        result = conversion();
    } catch (const RuntimeError &runtimeError) {
        thrown = runtimeError.description();
    }
    QCOMPARE(thrown, error);
    QCOMPARE(result, expected);
}

QTEST_GUILESS_MAIN(tst_Numeric)
#include "tst_numeric.moc"
