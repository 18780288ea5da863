// Header only for the constexpr parts: a byte as text, one rule everywhere (the grid, the capture
// file, the custom reply).
#pragma once

#include <QString>
#include <array>

// The uppercase hexadecimal digit of a nibble (0 to 15).
constexpr char HexDigit(int nibble)
{
    return "0123456789ABCDEF"[nibble & 15];
}

// The two uppercase digits of a byte, "00" to "FF", as characters.
constexpr std::array<char, 2> HexDigits(quint8 value)
{
    return {HexDigit(value >> 4), HexDigit(value)};
}

// The value of one hexadecimal digit in either case; -1 for any other character.
constexpr int HexDigitValue(char16_t character)
{
    if (character >= u'0' && character <= u'9')
        return character - u'0';
    if (character >= u'A' && character <= u'F')
        return character - u'A' + 10;
    if (character >= u'a' && character <= u'f')
        return character - u'a' + 10;
    return -1;
}

// A byte that text shows as itself: printable ASCII, blank to tilde.
constexpr bool IsPrintableByte(quint8 value)
{
    return value >= 0x20 && value <= 0x7E;
}

// The two digits of a byte as a shared text, made once per value.
const QString &HexByteText(quint8 value);

// Bytes as pairs of digits separated by one blank, "02 41 42 03".
QString HexBytesText(const QByteArray &bytes);
