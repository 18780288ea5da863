#include "lib/DisplayTime.h"

#include <QRegularExpression>

QString FormatDisplayTime(const QDateTime &time)
{
    // By hand: the locale-aware formatter costs more than a block's other bookkeeping.
    if (!time.isValid())
        return {};
    const QDate date = time.date();
    const QTime clock = time.time();
    const int parts[] = {date.year() % 100, date.month(),   date.day(),
                         clock.hour(),      clock.minute(), clock.second()};
    static const char separators[] = "// ::";
    char text[17];
    for (int i = 0; i < 6; ++i) {
        text[i * 3] = char('0' + parts[i] / 10);
        text[i * 3 + 1] = char('0' + parts[i] % 10);
        if (i < 5)
            text[i * 3 + 2] = separators[i];
    }
    return QString::fromLatin1(text, 17);
}

QString FormatStatusDate(const QDate &date, const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression year(QStringLiteral("y+"));
    format.replace(year, QStringLiteral("yyyy"));
    return locale.toString(date, format);
}

QString FormatStatusTime(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm"));
}
