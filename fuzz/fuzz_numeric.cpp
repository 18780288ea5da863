// The numeric test and the whole-number conversions against a plain reference: a pattern for
// the accepted forms, the C library's strtod and round-half-even for the values.

#include "lib/modGeneralLib.h"
#include "lib/modSimGeneral.h"
#include "platform/RuntimeError.h"

#include <QRegularExpression>
#include <QString>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {
void require(bool condition, const char *what, const QString &text)
{
    if (!condition) {
        std::fprintf(stderr, "%s: \"%s\"\n", what, text.toUtf8().constData());
        std::abort();
    }
}

// Blanks are spaces and tabs; digits are ASCII only.
bool referenceIsNumeric(const QString &text)
{
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QStringLiteral("[ \\t]*[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?[ \\t]*")));
    return form.match(text).hasMatch();
}

// The conversion's outcome: the number, or the description of the error it raised.
template<typename Integer, typename Convert>
void checkConversion(const QString &text, bool numeric, Convert convert)
{
    QString error;
    Integer result = 0;
    try {
        result = convert(text);
    } catch (const RuntimeError &raised) {
        error = raised.description();
    }
    if (!numeric) {
        require(error == ErrorText::typeMismatch, "non-numeric text not refused", text);
        return;
    }
    const double value = std::strtod(text.trimmed().toLatin1().constData(), nullptr);
    const double whole = std::nearbyint(value); // the default rounding: a half to even
    const bool fits = whole >= double(std::numeric_limits<Integer>::min())
        && whole <= double(std::numeric_limits<Integer>::max());
    if (fits)
        require(error.isEmpty() && double(result) == whole, "wrong whole number", text);
    else
        require(error == ErrorText::overflow, "overflow not raised", text);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    std::fesetround(FE_TONEAREST);

    const bool numeric = IsNumeric(text);
    require(numeric == referenceIsNumeric(text), "numeric test disagrees", text);
    checkConversion<qint32>(text, numeric, CLng);
    checkConversion<qint16>(text, numeric, CInt);

    // A port number is a numeric text whose 32-bit conversion lies in 0 to 65535.
    bool port = false;
    try {
        const qint32 number = CLng(text);
        port = number >= 0 && number <= 65535;
    } catch (const RuntimeError &) { }
    require(CheckPortNo(text) == port, "port check disagrees", text);

    const QString trimmed = TrimSpaces(text);
    require(!trimmed.startsWith(QLatin1Char(' ')) && !trimmed.endsWith(QLatin1Char(' '))
                && text.contains(trimmed) && text.trimmed() == trimmed.trimmed(),
            "blanks trimmed wrongly", text);
    return 0;
}
