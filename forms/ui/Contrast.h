#pragma once

#include <QColor>

// Contrast ratio of two colours as accessibility guidelines define it: 1 (none) to 21.
double ContrastRatio(const QColor &a, const QColor &b);

// preferred when it reads on background (4.5:1), else whichever of fallback, white and black
// reads best.
QColor ReadableOn(const QColor &background, const QColor &preferred, const QColor &fallback);
