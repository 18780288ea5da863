#pragma once

#include <QFont>
#include <QString>

// A font asking for the given family first, then its metric twins among the IPA fonts, so that
// the Japanese texts keep their widths on a machine without the original fonts.
QFont JapaneseFont(const QString &family, double pointSize, bool bold = false);
