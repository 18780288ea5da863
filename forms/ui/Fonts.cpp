#include "forms/ui/Fonts.h"

#include <QStringList>

QFont JapaneseFont(const QString &family, double pointSize, bool bold)
{
    // Proportional families fall back to IPA's proportional Gothic, fixed ones to the fixed one.
    const bool proportional = family.contains(QChar(0xFF30)); // full-width "P"
    QFont font;
    font.setFamilies({family,
                      proportional ? QStringLiteral("IPAPGothic") : QStringLiteral("IPAGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")});
    if (!proportional)
        font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}
