#pragma once

#include <QByteArray>
#include <QString>

class QObject;
class SocketControl;
class HexGridModel;

// True when the text is a port number: numeric, and its 32-bit conversion lies in 0 to 65535.
bool CheckPortNo(const QString &portText);

// Tries a listen on the port with the given trial socket and closes it again. True on success.
bool CheckListenPort(SocketControl &trialSocket, const QString &portText);

// Lamp states: 0 off (black), 1 green, 2 red; any other state changes nothing. The lamp is any
// object with a "fillColor" property taking a 0x00BBGGRR colour.
void CtrlLed(QObject &lamp, qint16 state);

// Shows up to 2048 bytes of data in the grid, 16 a line, blanking cells past the end.
void SetGridFromByteArray(HexGridModel &grid, const QByteArray &data);
