#include "lib/modGeneralLib.h"

#include "platform/RuntimeError.h"

#include <cmath>
#include <limits>

namespace {
// The blanks the numeric test allows around a number: spaces and tabs.
bool isNumberPadding(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Counts the ASCII digits from position on and moves position past them.
qsizetype skipDigits(const QString &text, qsizetype &position)
{
    const qsizetype start = position;
    while (position < text.size() && isDigit(text.at(position)))
        ++position;
    return position - start;
}

bool isSign(const QString &text, qsizetype position)
{
    return position < text.size()
        && (text.at(position) == QLatin1Char('+') || text.at(position) == QLatin1Char('-'));
}

template<typename IsTrimmed> QString trimmed(const QString &text, IsTrimmed isTrimmed)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmed(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString withoutNumberPadding(const QString &text)
{
    return trimmed(text, isNumberPadding);
}

// Nearest whole number, a half going to the even neighbour; never -0.
double roundHalfEven(double value)
{
    const double lower = std::floor(value);
    const double fraction = value - lower;
    double result = lower;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0))
        result = lower + 1.0;
    return result + 0.0;
}

template<typename Integer> Integer convert(const QString &text)
{
    if (!IsNumeric(text))
        throw RuntimeError(ErrorText::typeMismatch);
    const double value = withoutNumberPadding(text).toDouble();
    if (!std::isfinite(value))
        throw RuntimeError(ErrorText::overflow);
    const double whole = roundHalfEven(value);
    if (whole < std::numeric_limits<Integer>::min() || whole > std::numeric_limits<Integer>::max())
        throw RuntimeError(ErrorText::overflow);
    return static_cast<Integer>(whole);
}
} // namespace

bool IsNumeric(const QString &text)
{
    const QString number = withoutNumberPadding(text);
    qsizetype position = 0;
    if (isSign(number, position))
        ++position;
    qsizetype digits = skipDigits(number, position);
    if (position < number.size() && number.at(position) == QLatin1Char('.')) {
        ++position;
        digits += skipDigits(number, position);
    }
    if (digits == 0)
        return false;
    if (position < number.size()
        && (number.at(position) == QLatin1Char('e') || number.at(position) == QLatin1Char('E'))) {
        ++position;
        if (isSign(number, position))
            ++position;
        if (skipDigits(number, position) == 0)
            return false;
    }
    return position == number.size();
}

qint32 CLng(const QString &text)
{
    return convert<qint32>(text);
}

qint16 CInt(const QString &text)
{
    return convert<qint16>(text);
}

QString TrimSpaces(const QString &text)
{
    return trimmed(text, [](QChar c) { return c == QLatin1Char(' '); });
}
