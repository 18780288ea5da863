#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The labels' time stamp: yy/MM/dd HH:mm:ss.
QString FormatDisplayTime(const QDateTime &time);

// What a time label shows before its first stamp.
inline const QString displayTimePlaceholder = QStringLiteral("--/--/-- --:--:--");

// The status bar's date: the locale's short date form, its year widened to four digits.
QString FormatStatusDate(const QDate &date, const QLocale &locale = QLocale());
// The status bar's time: HH:mm.
QString FormatStatusTime(const QTime &time);
