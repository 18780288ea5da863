#include "forms/ui/Contrast.h"

#include <algorithm>
#include <cmath>

namespace {
double luminance(const QColor &color)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF())
        + 0.0722 * channel(rgb.blueF());
}
} // namespace

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor &background, const QColor &preferred, const QColor &fallback)
{
    if (ContrastRatio(preferred, background) >= 4.5)
        return preferred;
    QColor best = fallback;
    for (const QColor candidate : {QColor(Qt::white), QColor(Qt::black)}) {
        if (ContrastRatio(best, background) < 4.5
            && ContrastRatio(candidate, background) > ContrastRatio(best, background))
            best = candidate;
    }
    return best;
}
