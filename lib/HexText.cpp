#include "lib/HexText.h"

namespace {
// A copy's index has at most this many digits: far past any block, far from any overflow.
constexpr qsizetype maxIndexDigits = 7;

int HexDigitValue(QChar character)
{
    const char16_t c = character.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

bool IsBlank(QChar character)
{
    return character == u' ' || character == u'\t' || character == u'\r' || character == u'\n';
}

bool IsDecimalDigit(QChar character)
{
    return character >= u'0' && character <= u'9';
}

HexText Fault(HexTextFault fault, qsizetype position)
{
    HexText result;
    result.fault = fault;
    result.position = position;
    return result;
}

// Reads decimal digits from index on; -1 when there are none or too many.
qsizetype ReadIndex(const QString &text, qsizetype &index)
{
    const qsizetype start = index;
    qsizetype value = 0;
    while (index < text.size() && IsDecimalDigit(text.at(index))) {
        value = value * 10 + (text.at(index).unicode() - u'0');
        ++index;
    }
    const qsizetype digits = index - start;
    return digits == 0 || digits > maxIndexDigits ? -1 : value;
}

// Reads "[i]" or "[i-j]" starting at the "[" at index; index ends on its "]".
HexText::Copy ReadCopy(const QString &text, qsizetype &index, HexTextFault &fault)
{
    HexText::Copy copy;
    ++index;
    copy.first = copy.last = ReadIndex(text, index);
    if (copy.first >= 0 && index < text.size() && text.at(index) == u'-') {
        ++index;
        copy.last = ReadIndex(text, index);
    }
    if (copy.first < 0 || copy.last < 0 || index >= text.size() || text.at(index) != u']')
        fault = HexTextFault::BadCopy;
    else if (copy.first > copy.last)
        fault = HexTextFault::ReversedCopy;
    return copy;
}
} // namespace

HexText ParseHexText(const QString &text, HexExtras extras, qsizetype maxBytes)
{
    HexText result;
    qsizetype firstDigitAt = -1; // the first digit of a pair still waiting for its second
    int high = 0;
    for (qsizetype index = 0; index < text.size(); ++index) {
        const QChar character = text.at(index);
        const int value = HexDigitValue(character);
        if (value >= 0 && firstDigitAt >= 0) {
            result.bytes.append(char(high << 4 | value));
            if (!result.wildcards.isEmpty())
                result.wildcards.append('\0');
            ++result.size;
            firstDigitAt = -1;
            continue;
        }
        const bool isWildcard = character == u'?' && extras == HexExtras::Wildcards;
        const bool isCopy = character == u'[' && extras == HexExtras::Copies;
        if (value < 0 && !IsBlank(character) && !isWildcard && !isCopy)
            return Fault(HexTextFault::BadCharacter, index);
        if (firstDigitAt >= 0)
            return Fault(HexTextFault::OddDigits, firstDigitAt);
        if (IsBlank(character))
            continue;
        if (isWildcard) {
            if (index + 1 >= text.size() || text.at(index + 1) != u'?')
                return Fault(HexTextFault::BadWildcard, index);
            if (result.size == maxBytes)
                return Fault(HexTextFault::TooLong, index);
            if (result.wildcards.isEmpty())
                result.wildcards.fill('\0', result.bytes.size());
            result.bytes.append('\0');
            result.wildcards.append('\1');
            ++result.size;
            ++index;
        } else if (isCopy) {
            const qsizetype start = index;
            HexTextFault fault = HexTextFault::None;
            HexText::Copy copy = ReadCopy(text, index, fault);
            if (fault != HexTextFault::None)
                return Fault(fault, start);
            if (copy.last - copy.first + 1 > maxBytes - result.size)
                return Fault(HexTextFault::TooLong, start);
            copy.at = result.bytes.size();
            result.copies.append(copy);
            result.size += copy.last - copy.first + 1;
        } else {
            if (result.size == maxBytes)
                return Fault(HexTextFault::TooLong, index);
            firstDigitAt = index;
            high = value;
        }
    }
    if (firstDigitAt >= 0)
        return Fault(HexTextFault::OddDigits, firstDigitAt);
    return result;
}

QString FormatHexText(const HexText &parsed)
{
    QStringList units;
    qsizetype nextCopy = 0;
    const auto copiesBefore = [&](qsizetype at) {
        for (; nextCopy < parsed.copies.size() && parsed.copies.at(nextCopy).at == at; ++nextCopy) {
            const HexText::Copy &copy = parsed.copies.at(nextCopy);
            units.append(copy.first == copy.last
                             ? QStringLiteral("[%1]").arg(copy.first)
                             : QStringLiteral("[%1-%2]").arg(copy.first).arg(copy.last));
        }
    };
    for (qsizetype index = 0; index < parsed.bytes.size(); ++index) {
        copiesBefore(index);
        if (!parsed.wildcards.isEmpty() && parsed.wildcards.at(index))
            units.append(QStringLiteral("??"));
        else
            units.append(QString::fromLatin1(parsed.bytes.mid(index, 1).toHex().toUpper()));
    }
    copiesBefore(parsed.bytes.size());
    return units.join(u' ');
}

QString DescribeHexFault(const QString &subject, HexTextFault fault, qsizetype position,
                         const QString &text, qsizetype maxBytes)
{
    const QString place = QString::number(position + 1);
    switch (fault) {
    case HexTextFault::BadCharacter:
        return QStringLiteral("%1の%2文字目「%3」は16進数ではありません。")
            .arg(subject, place, text.at(position));
    case HexTextFault::OddDigits:
        return QStringLiteral("%1の%2文字目の桁が2桁の組になっていません。"
                              "16進数は2桁ずつ入力してください。")
            .arg(subject, place);
    case HexTextFault::TooLong:
        return QStringLiteral("%1は%2バイトまでです。%3文字目から後を削ってください。")
            .arg(subject, QString::number(maxBytes), place);
    case HexTextFault::BadWildcard:
        return QStringLiteral("%1の%2文字目の「?」は、任意の1バイトなら「??」と書いてください。")
            .arg(subject, place);
    case HexTextFault::BadCopy:
        return QStringLiteral("%1の%2文字目の「[」は、受信データのコピーなら[3]や[2-5]のように"
                              "番号を書いてください。")
            .arg(subject, place);
    case HexTextFault::ReversedCopy:
        return QStringLiteral("%1の%2文字目のコピーは、始めの番号が終わりの番号より大きくなって"
                              "います。")
            .arg(subject, place);
    case HexTextFault::Empty:
        return QStringLiteral("%1がありません。1バイト以上入力してください。").arg(subject);
    case HexTextFault::None:
        break;
    }
    return {};
}
