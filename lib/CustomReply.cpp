#include "lib/CustomReply.h"

#include "lib/ByteText.h"

CustomReplyText ParseCustomReply(const QString &text)
{
    const HexText parsed = ParseHexText(text, HexExtras::None, maxCustomReplyBytes);
    CustomReplyText result;
    result.bytes = parsed.bytes;
    result.fault = parsed.fault;
    result.position = parsed.position;
    return result;
}

QString FormatCustomReply(const QByteArray &reply)
{
    return HexBytesText(reply);
}

QString DescribeCustomReplyFault(const CustomReplyText &parsed, const QString &text)
{
    return DescribeHexFault(QStringLiteral("応答データ"), parsed.fault, parsed.position, text,
                            maxCustomReplyBytes);
}
