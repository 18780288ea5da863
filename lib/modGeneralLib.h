#pragma once

#include <QString>

// The numeric test: blanks around, an optional sign, digits with an optional decimal point and
// fraction, an optional exponent. Nothing else (no hexadecimal, no thousands separators).
bool IsNumeric(const QString &text);

// Conversions of a numeric text to a whole number: nearest, a half to the even neighbour.
// Throw RuntimeError(overflow) outside the width, RuntimeError(type mismatch) for non-numeric text.
qint32 CLng(const QString &text);
qint16 CInt(const QString &text);

// The text without the blanks (spaces) at both ends; other white space is kept.
QString TrimSpaces(const QString &text);
