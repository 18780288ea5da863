#pragma once

#include <QHostAddress>
#include <QString>

// The address a text names when it is one numeric address: an IPv4 address as four dotted
// decimals (127.0.0.1) or an IPv6 address (::1). Anything else gives a null address; a host name
// is never looked up, so the address a listener binds never depends on a name service.
QHostAddress NumericAddress(const QString &text);
