#include "lib/ByteText.h"

#include <QByteArray>

namespace {
std::array<QString, 256> MakeHexByteTexts()
{
    std::array<QString, 256> texts;
    for (int value = 0; value < 256; ++value) {
        const std::array<char, 2> digits = HexDigits(quint8(value));
        texts[std::size_t(value)] = QString::fromLatin1(digits.data(), 2);
    }
    return texts;
}
} // namespace

const QString &HexByteText(quint8 value)
{
    static const std::array<QString, 256> texts = MakeHexByteTexts();
    return texts[value];
}

QString HexBytesText(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += HexByteText(quint8(byte));
    }
    return text;
}
