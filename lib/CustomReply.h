#pragma once

#include "lib/HexText.h"
#include "platform/IniProfile.h"

#include <QByteArray>
#include <QString>

// The fixed reply the カスタム option answers every block with, kept in the settings file as hex
// text ([Maintenance] CustomData=02 41 42 03).
constexpr qsizetype maxCustomReplyBytes = 2048;

struct CustomReplyText
{
    using Fault = HexTextFault; // None, BadCharacter, OddDigits or TooLong

    QByteArray bytes; // empty for a text of blanks only, and whenever there is a fault
    Fault fault = Fault::None;
    qsizetype position = -1; // index of the character at fault in the text
};

// Pairs of hex digits in either case; blanks (spaces, tabs, line breaks) may stand between the
// pairs. An odd count is put on the digit left without a partner; a text over
// maxCustomReplyBytes on the first digit past the limit.
CustomReplyText ParseCustomReply(const QString &text);

// Upper-case pairs separated by one blank, "02 41 42 03": the form the settings file keeps.
QString FormatCustomReply(const QByteArray &reply);

// What is wrong with text, as the dialog says it:
// "応答データの5文字目「G」は16進数ではありません。"
QString DescribeCustomReplyFault(const CustomReplyText &parsed, const QString &text);

// The reply set in the settings file; empty when none is set or the value is not a valid reply.
QByteArray ReadCustomReply(const QString &iniFile);
// Writes the reply in its kept form (no reply: an empty value); the result says why the settings
// file could not be replaced.
WriteResult WriteCustomReply(const QString &iniFile, const QByteArray &reply);
