#include "lib/modFileLib.h"

QString AddPathSeparator(const QString &path)
{
    if (path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}
