#pragma once

#include <QString>

// path unchanged when it already ends in "/", else path + "/"; an empty path becomes "/".
QString AddPathSeparator(const QString &path);
