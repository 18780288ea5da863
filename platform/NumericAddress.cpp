#include "platform/NumericAddress.h"

#include <QRegularExpression>

QHostAddress NumericAddress(const QString &text)
{
    // The parser alone would take the short forms inet_aton knows (127.1, 0x7f.1), which read as
    // other addresses than they seem to.
    static const QRegularExpression dottedQuad(
        QStringLiteral("^[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}$"));
    const bool ipv6 = text.contains(QLatin1Char(':'));
    if (!ipv6 && !dottedQuad.match(text).hasMatch())
        return {};
    QHostAddress address;
    if (!address.setAddress(text))
        return {};
    return address;
}
