#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Byte texts as people type them: pairs of hex digits in either case, blanks (spaces, tabs, line
// breaks) between the pairs. The custom reply holds pairs only; a rule's pattern may also hold
// `??` (any one byte) and a rule's reply `[i]` or `[i-j]` (bytes copied from the received block,
// counted from 0, both ends included).

enum class HexTextFault {
    None,
    BadCharacter, // a character that starts no pair (nor ?? or a copy, where those are allowed)
    OddDigits, // a digit without its partner
    TooLong, // more bytes than allowed
    BadWildcard, // a lone "?"
    BadCopy, // "[" not followed by digits, an optional "-" and digits, and "]"
    ReversedCopy, // [i-j] with i above j
    Empty, // no byte at all where one is needed
};

// What the text may hold besides pairs.
enum class HexExtras { None, Wildcards, Copies };

struct HexText
{
    // Bytes copied from the received block, inserted before literal byte `at`.
    struct Copy
    {
        qsizetype at = 0;
        qsizetype first = 0;
        qsizetype last = 0;
    };

    QByteArray bytes; // the literal bytes; a wildcard holds 0 in its place
    QByteArray wildcards; // empty without ??; else one entry a byte, 1 where ?? stands
    QList<Copy> copies;
    qsizetype size = 0; // literal and copied bytes together
    HexTextFault fault = HexTextFault::None;
    qsizetype position = -1; // index of the character at fault in the text

    bool isValid() const { return fault == HexTextFault::None; }
};

// Reads text; the first fault ends the reading and leaves everything but fault and position
// empty. An odd digit is put on the digit left without a partner; a text over maxBytes on the
// first unit past the limit.
HexText ParseHexText(const QString &text, HexExtras extras, qsizetype maxBytes);

// Upper-case pairs separated by one blank (?? and copies in their places): the kept form.
QString FormatHexText(const HexText &parsed);

// What is wrong, naming the character at position by its place counted from 1: "<subject>の5文字目
// 「G」は16進数ではありません。" (subject: 応答データ, ルール 3 の受信パターン, ...). text is what
// was read.
QString DescribeHexFault(const QString &subject, HexTextFault fault, qsizetype position,
                         const QString &text, qsizetype maxBytes);
