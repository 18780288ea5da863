#include "lib/DisplayTime.h"

#include <QRegularExpression>

QString FormatDisplayTime(const QDateTime &time)
{
    return time.toString(QStringLiteral("yy/MM/dd HH:mm:ss"));
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
