#pragma once

#include "platform/IniProfile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The receiver's settings as one value: what the settings file holds, read in one place.
struct ReceiverSettings
{
    qint32 port = 0; // [Port] TcpPort
    QString bindAddress; // [Port] BindAddress; empty for every address
    qint16 response = 0; // [Maintenance] ResSetting: 0 nothing, 1 echo, 2 the custom reply
    qint16 logMaxSize = 0; // [Maintenance] LogMaxSize, MiB
    qint16 logGenerations = 0; // [Maintenance] LogGenerations, the live file included
    bool capture = false; // [Maintenance] CaptureData
    bool receiveLoneByte = false; // [Maintenance] ReceiveLoneByte
    QByteArray customReply; // [Maintenance] CustomData; empty while none is set
};

// Where a reading stopped: the key, and the run-time error behind it (an overflow); the
// description is empty for a value that is missing or not a number. No key: every key was read.
struct SettingsReadFault
{
    QString key;
    QString description;
    bool stopped() const { return !key.isEmpty(); }
};

// Reads the keys in their order into settings, showing and logging nothing. A port or response
// mode that is not a number is left alone; the reading stops at a response mode that is empty,
// a log size or generation count that is empty or not a number, or a value beyond its width, and
// the keys after it keep what settings held. Capture and the custom reply are read in any case;
// a missing or odd value of theirs leaves capture off and no reply set.
SettingsReadFault ReadReceiverSettings(const QString &iniFile, ReceiverSettings &settings);

// What the user is told of a stop, in order: the box texts of the window, the lines of the
// terminal.
QStringList SettingsFaultMessages(const SettingsReadFault &fault);

// The port as text, as start-up's trial listen and the port dialog read and compare it.
QString ReadPortText(const QString &iniFile);
// Where the receiver listens, as the settings keep it: empty for every address.
QString ReadBindAddress(const QString &iniFile);
WriteResult WritePortText(const QString &iniFile, const QString &portText);
